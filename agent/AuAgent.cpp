#include "AuAgent.h"

#include "FormInstances.h"
#include "common/Unicode.h"
#include "messages_window/frmMessages.h"
#include "common/modMain.h"
#include "platform/EventLoop.h"
#include "platform/LoadedForms.h"
#include "platform/ResourceLibrary.h"
#include "platform/UtilityLibrary.h"
#include "store/AuProductInfo.h"
#include "store/dlgCheckMessages.h"

namespace KDAutoUpdate {

namespace {
constexpr const char* kCheckTimer = "Check";
constexpr const char* kIdleTimer = "IsProcessing";
} // namespace

AuAgent::AuAgent(Platform& platform, IAuAgentEvents* events)
    : m_platform(platform), m_events(events), m_alive(std::make_shared<int>(0)),
      m_store(platform) {
    m_sBaseURL = kDefaultBaseURL;
    m_lUILanguageLCID = 1031;
    m_bAutoConnect = true;
    m_lCompatMode = 2;
    HoldTextCase(m_platform.textCase);

    if (auto* res = m_platform.resources)
        res->OpenResourceLibrary(ProgramFilePath(res->FileName()));

    m_store.CreateDocument();
    LoadUpdateInfo();

    if (m_platform.loop) {
        m_oTimer = m_platform.loop->CreateTimer();
        if (m_oTimer) {
            m_oTimer->AddTimer(kCheckTimer, 1000, 0);
            m_oTimer->AddTimer(kIdleTimer, 2000, 0);
            m_oTimer->SetTimerHandler([this](const std::string& key) { m_oTimer_Timer(key); });
        }
    }
}

AuAgent::~AuAgent() {
    if (m_oTimer) {
        m_oTimer->EnableTimer(kCheckTimer, false);
        m_oTimer->RemoveTimer(kCheckTimer);
        m_oTimer->EnableTimer(kIdleTimer, false);
        m_oTimer->RemoveTimer(kIdleTimer);
        m_oTimer.reset();
    }

    FormInstances& forms = FormInstances::ForThread();
    if (IsFormLoaded("dlgCheckMessages") && forms.checkMessages)
        forms.checkMessages->Unload();
    forms.checkMessages.reset();
    if (IsFormLoaded("frmMessages") && forms.messages)
        forms.messages->Unload();
    forms.messages.reset();

    SaveUpdateInfo();
    m_store.Release();

    if (m_xmlCheck) {
        m_xmlCheck->setOnReadyStateChange({});
        m_xmlCheck->abort();
        m_xmlCheck.reset();
    }

    if (auto* res = m_platform.resources)
        res->CloseResourceLibrary();
    ReleaseTextCase(m_platform.textCase);
}

void AuAgent::SetBaseURL(const std::string& value) {
    m_sBaseURL = value;
    if (!m_sBaseURL.empty() && m_sBaseURL.back() == '/')
        m_sBaseURL.pop_back();
}

void AuAgent::SetProductCode(const std::string& value) {
    m_sProductCode = NormalizeGuid(value);
}

bool AuAgent::IsFormLoaded(const std::string& name) {
    if (!m_platform.utility || !m_platform.loadedForms)
        return false;
    return m_platform.utility->IsFormLoaded(name, *m_platform.loadedForms);
}

bool AuAgent::IsProcessing() {
    if (m_xmlCheck)
        return true;
    return IsFormLoaded("dlgCheckMessages") || IsFormLoaded("frmMessages");
}

Outcome<bool> AuAgent::IsConnected() {
    long flags = 0;
    const auto state =
        m_platform.utility ? m_platform.utility->GetConnectedState(flags) : std::optional<bool>{};
    if (!state)
        return AutomationError{kObjectErrorBase + 5, "AuAgent.IsConnected",
                               "The connection state of the machine could not be determined."};
    return *state;
}

double AuAgent::Now() const {
    return m_platform.loop ? DateFromLocalSeconds(m_platform.loop->NowLocalSeconds()).value : 0.0;
}

void AuAgent::LoadUpdateInfo() {
    m_store.Load();
}

void AuAgent::SaveUpdateInfo() {
    m_store.Save();
}

XmlElementPtr AuAgent::GetProductNode() {
    return m_store.ProductNode(ProductCode());
}

std::string AuAgent::GetProductAttribute(const std::string& sName) {
    return m_store.ProductAttribute(ProductCode(), sName);
}

void AuAgent::SetProductAttribute(const std::string& sName, const std::string& vValue) {
    m_store.SetProductAttribute(ProductCode(), sName, vValue);
}

std::unique_ptr<AuProductInfo> AuAgent::GetProductInfo() {
    return AuProductInfo::Read(*this);
}

std::string AuAgent::ProgramFilePath(const std::string& fileName) const {
    return m_platform.programFolder + m_platform.pathSeparator + fileName;
}

void AuAgent::m_oTimer_Timer(const std::string& sKey) {
    if (sKey == kCheckTimer) {
        ++m_lCheckTicks;
        if (!m_xmlCheck || m_xmlCheck->readyState() == XmlReadyState::Complete) {
            m_lCheckTicks = 0;
            m_oTimer->EnableTimer(kCheckTimer, false);
        } else if (m_lCheckTicks == 10) {
            m_lCheckTicks = 0;
            m_xmlCheck->abort();
            m_oTimer->EnableTimer(kCheckTimer, false);
        }
    } else if (sKey == kIdleTimer) {
        if (!IsProcessing()) {
            m_oTimer->EnableTimer(kIdleTimer, false);
            if (m_events)
                m_events->ProcessCompleted();
        }
    }
}

} // namespace KDAutoUpdate
