#include "AuAgent.h"
#include "common/SignedAnswer.h"
#include "common/Unicode.h"
#include "common/modMain.h"
#include "platform/UtilityLibrary.h"
#include "store/AuProductInfo.h"
#include "store/dlgCheckMessages.h"

namespace KDAutoUpdate {

namespace {
constexpr const char* kCheckTimer = "Check";
constexpr const char* kIdleTimer = "IsProcessing";
} // namespace

Outcome<bool> AuAgent::CheckMessages(std::optional<bool> bSilent, std::optional<bool> bAsync,
                                     std::optional<bool> bAuto) {
    if (IsProcessing())
        return AutomationError{kObjectErrorBase, "AuAgent.CheckMessages", kBusyDescription};
    if (ProductCode().empty())
        return false;
    if (!EnsureConnection())
        return false;

    const bool silent = bSilent.value_or(false);
    const bool async = bAsync.value_or(true);
    const bool automatic = bAuto.value_or(true);

    if (!m_oTimer || !m_platform.xml)
        return AutomationError{kObjectErrorBase + 6, "AuAgent.CheckMessages",
                               "The timer or XML component is not available."};
    m_oTimer->EnableTimer(kIdleTimer, true);
    m_oTimer->EnableTimer(kCheckTimer, false);

    m_bSilent = silent;
    m_bAsync = async;
    m_bAuto = automatic;

    m_xmlCheck = m_platform.xml->CreateDocument();
    if (!m_xmlCheck)
        return AutomationError{kObjectErrorBase + 6, "AuAgent.CheckMessages",
                               "The XML component could not create a document."};
    m_xmlCheck->setAsync(async);
    m_xmlCheck->setOnReadyStateChange([this] { m_xmlCheck_onreadystatechange(); });

    const std::string url =
        BaseURL() + "/CheckUpdate.aspx" + BuildQueryString(automatic ? "checkatstartup" : "check");
    m_xmlCheck->load(url);

    if (async) {
        m_oTimer->EnableTimer(kCheckTimer, true);
        return false;
    }

    bool result = false;
    if (m_xmlCheck && m_xmlCheck->parseErrorCode() == 0)
        result = ProcessCheckResponse();
    ReleaseCheckDocument();
    return result;
}

bool AuAgent::EnsureConnection() {
    const auto state = IsConnected();
    bool connected = state.ok() && state.value();
    if (!connected && AutoConnect() && m_platform.utility) {
        const auto made = m_platform.utility->ConnectNetwork(0, std::string(), 0);
        connected = made.value_or(false);
    }
    return connected;
}

void AuAgent::ReleaseCheckDocument() {
    if (!m_xmlCheck)
        return;
    m_xmlCheck->setOnReadyStateChange({});
    m_xmlCheck.reset();
}

void AuAgent::m_xmlCheck_onreadystatechange() {
    if (!m_bAsync || !m_xmlCheck)
        return;
    if (m_xmlCheck->readyState() != XmlReadyState::Complete)
        return;
    if (m_xmlCheck->parseErrorCode() == 0)
        ProcessCheckResponse();
    if (m_oTimer)
        m_oTimer->EnableTimer(kCheckTimer, false);
    m_lCheckTicks = 0;
    ReleaseCheckDocument();
}

bool AuAgent::ProcessCheckResponse() {
    if (!m_xmlCheck)
        return false;
    const XmlElementPtr root = m_xmlCheck->documentElement();
    long count = 0;
    std::string stamp;
    std::string markup;
    if (root) {
        count = VarToLong(Variant::FromAttribute(root->getAttribute("count")), 0);
        stamp = VarToStr(Variant::FromAttribute(root->getAttribute("msgs")), std::string());
        markup = root->xml();
    }
    // With the vendor's keys, an answer that is not theirs is treated as unreadable.
    if (!AnswerAccepted(*this, root, CheckAnswerContent))
        return false;

    std::unique_ptr<AuProductInfo> info = GetProductInfo();
    if (info)
        info->LastCheckedDate = AutomationDate{Now()};

    bool announce = false;
    if (count <= 0) {
        announce = false;
    } else if (info && info->DoNotNotifyLastMessage && m_bAuto) {
        if (LowerCase(stamp) != LowerCase(info->LastMessageStamp)) {
            announce = true;
            info->DoNotNotifyLastMessage = false;
            info->LastMessageStamp = stamp;
        }
    } else {
        announce = true;
    }

    if (announce) {
        if (m_bAsync) {
            bool skip = m_bSilent;
            if (m_events)
                m_events->NewMessages(count, stamp, markup, skip);
            if (!skip)
                dlgCheckMessages::Open(Ptr());
        } else if (!m_bSilent) {
            dlgCheckMessages::Open(Ptr());
        }
    }

    if (info)
        info->WriteToStore();
    return announce;
}

} // namespace KDAutoUpdate
