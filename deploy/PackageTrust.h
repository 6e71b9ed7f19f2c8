#pragma once
// Whether a package may be installed: its hash and, when the trust file holds keys for the
// product, the vendor's signature and a version newer than the running one. A refused
// package is removed and the user is told why; nothing is started or recorded for it.

#include <string>

#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class IAgent;
class AuMessage;

// With keys: the message's toVersion must be newer than the agent's running version, unless the
// signed page allows this message to lead back (allowDowngrade).
bool AcceptOfferedVersion(AuMessage& message);
// The downloaded file at the message's LocalPath against its sha256 and signature.
bool AcceptDownloadedPackage(AuMessage& message);
// The same check of the file at `path`, without removing it or telling anyone.
bool PackageProven(AuMessage& message, const std::string& path);
// Beside a pending record: the file and its proof, so the reminder can check it again. All
// three are replaced together, or removed together when the message carries no proof.
void RecordPackageProof(const XmlElementPtr& product, const AuMessage& message);
void ForgetPackageProof(IAgent& agent);
// The reminder's check of the recorded file, just before its command is started.
bool AcceptRecordedPackage(IAgent& agent, const std::string& updateName);

} // namespace KDAutoUpdate
