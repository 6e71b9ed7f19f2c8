#pragma once
// One update message of the service page: a package, how it is deployed, and for a patch the
// features it can install. A plain record except for Deploy and DownloadFileIE.

#include <string>
#include <utility>
#include <vector>

#include "AuFeature.h"
#include "AuMessageTypes.h"
#include "KeyedCollection.h"
#include "PackageDelta.h"
#include "common/AgentPtr.h"

namespace KDAutoUpdate {

class AuMessage {
public:
    AuMessage() = default;
    AuMessage(const AuMessage&) = delete;
    AuMessage& operator=(const AuMessage&) = delete;

    const std::string& ID() const { return m_sID; }
    void SetID(std::string value) { m_sID = std::move(value); }
    const std::string& Name() const { return m_sName; }
    void SetName(std::string value) { m_sName = std::move(value); }
    const std::string& FileName() const { return m_sFileName; }
    void SetFileName(std::string value) { m_sFileName = std::move(value); }
    // Carried only: nothing here decompresses a package.
    bool IsCompressed() const { return m_bIsCompressed; }
    void SetIsCompressed(bool value) { m_bIsCompressed = value; }
    const std::string& Destination() const { return m_sDestination; }
    void SetDestination(std::string value) { m_sDestination = std::move(value); }
    // Where the download dialog put the package.
    const std::string& LocalPath() const { return m_sLocalPath; }
    void SetLocalPath(std::string value) { m_sLocalPath = std::move(value); }
    const std::string& DownloadPath() const { return m_sDownloadPath; }
    void SetDownloadPath(std::string value) { m_sDownloadPath = std::move(value); }
    // Any value is stored; only the listed ones deploy something.
    AuMessageTypes MessageType() const { return m_lMessageType; }
    void SetMessageType(AuMessageTypes value) { m_lMessageType = value; }
    const std::string& Version() const { return m_sVersion; }
    void SetVersion(std::string value) { m_sVersion = std::move(value); }
    const std::string& ProductCode() const { return m_sProductCode; }
    void SetProductCode(std::string value) { m_sProductCode = std::move(value); }
    const std::string& KillProcName() const { return m_sKillProcName; }
    void SetKillProcName(std::string value) { m_sKillProcName = std::move(value); }
    const std::string& CmdLine() const { return m_sCmdLine; }
    void SetCmdLine(std::string value) { m_sCmdLine = std::move(value); }
    bool MustBePaid() const { return m_bMustBePaid; }
    void SetMustBePaid(bool value) { m_bMustBePaid = value; }
    // The package's proof of origin from the page: hex SHA-256 and base64 signature.
    const std::string& PackageSha256() const { return m_sPackageSha256; }
    void SetPackageSha256(const std::string& value) { m_sPackageSha256 = value; }
    const std::string& PackageSignature() const { return m_sPackageSignature; }
    void SetPackageSignature(const std::string& value) { m_sPackageSignature = value; }
    // Patches from earlier packages, in the page's order; inside the system only (a host sees
    // the package, not how it arrives).
    const std::vector<PackageDelta>& Deltas() const { return m_deltas; }
    void AddDelta(PackageDelta delta) { m_deltas.push_back(std::move(delta)); }
    // Whether the vendor's signed page lets this message lead to a version that is not newer.
    bool AllowDowngrade() const { return m_bAllowDowngrade; }
    void SetAllowDowngrade(bool value) { m_bAllowDowngrade = value; }

    // The message's own features, keyed by name; additions through it change the message.
    KeyedCollection<AuFeature>& Features() { return m_colFeatures; }
    const KeyedCollection<AuFeature>& Features() const { return m_colFeatures; }

    // Hands DownloadPath to the desktop's own interactive download and returns at once.
    void DownloadFileIE();
    // Deploys the package as its type says: information goes to the desktop's download,
    // installable packages are downloaded and installed.
    void Deploy();

    // Inside the system only: the non-owning back-reference to the agent that shows the
    // message, and the agent behind it (null when unset or ended).
    void SetAgentPtr(const AgentPtr& value) { m_agentPtr = value; }
    IAgent* Agent() const;

private:
    // Downloads the package with the download dialog; the path of the file, or empty when the
    // user cancelled or the transfer failed.
    std::string DownloadWithDialog();
    // The installer command of a patch with the lists of the features to add and reinstall.
    std::string BuildMsiexecCommandLine() const;

    std::string m_sID;
    std::string m_sName;
    std::string m_sFileName;
    bool m_bIsCompressed = false;
    std::string m_sDestination;
    std::string m_sLocalPath;
    std::string m_sDownloadPath;
    AuMessageTypes m_lMessageType = aumtInfo;
    std::string m_sVersion;
    std::string m_sPackageSha256;
    std::string m_sPackageSignature;
    std::vector<PackageDelta> m_deltas;
    std::string m_sProductCode;
    std::string m_sKillProcName;
    std::string m_sCmdLine;
    bool m_bMustBePaid = false;
    bool m_bAllowDowngrade = false;
    KeyedCollection<AuFeature> m_colFeatures;
    AgentPtr m_agentPtr;
};

} // namespace KDAutoUpdate
