#pragma once
// AuAgent: the object a host creates for one installed product. It owns the update store, the
// two named timers and, while a check runs, the check's XML document.

#include <memory>
#include <optional>
#include <string>

#include "AgentEvents.h"
#include "common/AgentPtr.h"
#include "common/AutomationError.h"
#include "common/IAgent.h"
#include "platform/HiResTimer.h"
#include "platform/Platform.h"
#include "platform/XmlDocument.h"
#include "store/UpdateStore.h"

namespace KDAutoUpdate {

class AuProductInfo;
class frmMessages;
class dlgCheckMessages;

// Operation types published to hosts; the agent itself passes them as text.
enum kdAuOperationTypeConstants { auInit = 0, auCheck = 1, auCheckAtStartUp = 2 };

class AuAgent : public IAgent {
public:
    // Creation: defaults, resource library, store, timers.
    explicit AuAgent(Platform& platform, IAuAgentEvents* events = nullptr);
    // Destruction: timers, windows, store save, running check, resource library.
    ~AuAgent() override;
    AuAgent(const AuAgent&) = delete;
    AuAgent& operator=(const AuAgent&) = delete;

    void SetEventSink(IAuAgentEvents* events) { m_events = events; }

    // Properties.
    bool IsProcessing();
    std::string BaseURL() const override { return m_sBaseURL; }
    void SetBaseURL(const std::string& value);
    std::string ProductCode() const override { return m_sProductCode; }
    void SetProductCode(const std::string& value);
    long MajorVer() const override { return m_lMajorVer; }
    void SetMajorVer(long value) { m_lMajorVer = value; }
    long MinorVer() const override { return m_lMinorVer; }
    void SetMinorVer(long value) { m_lMinorVer = value; }
    long Revision() const override { return m_lRevision; }
    void SetRevision(long value) { m_lRevision = value; }
    std::string CampaignID() const { return m_sCampaignID; }
    void SetCampaignID(const std::string& value) { m_sCampaignID = value; }
    std::string LicKey() const { return m_sLicKey; }
    void SetLicKey(const std::string& value) { m_sLicKey = value; }
    long ProductLCID() const { return m_lProductLCID; }
    void SetProductLCID(long value) { m_lProductLCID = value; }
    bool TestMode() const { return m_bTestMode; }
    void SetTestMode(bool value) { m_bTestMode = value; }
    long UILanguageLCID() const { return m_lUILanguageLCID; }
    void SetUILanguageLCID(long value) { m_lUILanguageLCID = value; }
    Outcome<bool> IsConnected();
    bool AutoConnect() const { return m_bAutoConnect; }
    void SetAutoConnect(bool value) { m_bAutoConnect = value; }
    long hwndOwner() const override { return m_lHwndOwner; }
    void SethwndOwner(long value) { m_lHwndOwner = value; }
    long CompatMode() const { return m_lCompatMode; }
    void SetCompatMode(long value) { m_lCompatMode = value; }

    // Operations.
    Outcome<bool> CheckMessages(std::optional<bool> bSilent = std::nullopt,
                                std::optional<bool> bAsync = std::nullopt,
                                std::optional<bool> bAuto = std::nullopt);
    Outcome<> DisplayMessages();
    bool CheckInstallableUpdates(std::optional<bool> bSilent = std::nullopt);
    std::unique_ptr<AuProductInfo> GetProductInfo();
    std::unique_ptr<AuProductInfo> GetLastInstallableUpdate();

    // Members used by the agent's own records and windows.
    std::string BuildQueryString(const std::string& sOpType) override;
    // The store: its document, and its lookups for the current product code.
    IXmlDocument* UpdateInfoDocument() override { return m_store.Document(); }
    XmlElementPtr GetProductNode() override;
    std::string GetProductAttribute(const std::string& sName) override;
    void SetProductAttribute(const std::string& sName, const std::string& vValue) override;
    UpdateStore& Store() { return m_store; }
    bool EnsureConnection();
    bool ProcessCheckResponse();
    KDHiResTimer* Timer() { return m_oTimer.get(); }
    Platform& GetPlatform() override { return m_platform; }
    AgentPtr Ptr() const override { return AgentPtr(const_cast<AuAgent*>(this), m_alive); }
    // The current local date and time.
    double Now() const;

    // The path of a file in the program's folder.
    std::string ProgramFilePath(const std::string& fileName) const override;

private:
    void LoadUpdateInfo();
    void SaveUpdateInfo();
    void m_xmlCheck_onreadystatechange();
    void m_oTimer_Timer(const std::string& sKey);
    void ReleaseCheckDocument();
    bool IsFormLoaded(const std::string& name);

    Platform& m_platform;
    IAuAgentEvents* m_events = nullptr;
    std::shared_ptr<const void> m_alive;

    long m_lHwndOwner = 0;
    std::string m_sBaseURL;
    long m_lUILanguageLCID = 0;
    bool m_bTestMode = false;
    bool m_bAutoConnect = false;
    bool m_bSilent = false;
    bool m_bAsync = false;
    bool m_bAuto = false;
    std::string m_sProductCode;
    long m_lMajorVer = 0;
    long m_lMinorVer = 0;
    long m_lRevision = 0;
    long m_lProductLCID = 0;
    std::string m_sCampaignID;
    std::string m_sLicKey;
    long m_lCompatMode = 0;
    UpdateStore m_store;
    std::unique_ptr<IXmlDocument> m_xmlCheck;
    std::unique_ptr<KDHiResTimer> m_oTimer;
    long m_lCheckTicks = 0;
};

// The service address a new agent uses until the host sets its own.
constexpr const char* kDefaultBaseURL = "http://127.0.0.1:8080/services/autoupdate";

} // namespace KDAutoUpdate
