#pragma once
// Signed answers of the update service. The check answer's and the data island's root element
// carry two optional attributes:
//   expires   - "yyyy-mm-ddThh:mm:ssZ" (UTC); the answer is refused after that moment;
//   signature - base64 Ed25519 signature over the answer's content (below) by a product key.
// The content is exactly what the agent reads from the answer, in a fixed order, each value as
// "name=<byte length>:value\n", so no value can pass for another and nothing the agent acts
// on is left out. Other attributes, text and elements are not covered and not read, save a
// Message's Delta children: they only say where a patch lies, and what a patch rebuilds is
// taken only when it matches the covered sha256 and signature.
//
// Check answer:   "check-answer 1\n", then expires, count, msgs of the root.
// Data island:    "data-island 1\n", expires of the root, then for every Message child in
//                 document order "Message\n" and its id, name, toVersion, fileName, forProduct,
//                 killProcName, downloadPath, compressed, mustBePaid, cmdLine, type,
//                 destination, sha256, signature, and allowDowngrade only where the Message
//                 carries it; then for each of its Features/Feature "Feature\n" and its name,
//                 mandatory, allowUserSelection, checked, type.
// An absent attribute counts as empty (the agent reads both alike). allowDowngrade came later:
// left out where absent, islands signed before it keep their signatures, and a mark added to a
// signed island changes the content, so the signature no longer holds.

#include <optional>
#include <string>

#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

// The attributes of the data island's Message and Feature elements that the agent reads, in
// the order above.
inline constexpr const char* kIslandMessageFields[] = {
    "id",           "name",         "toVersion",  "fileName",   "forProduct",
    "killProcName", "downloadPath", "compressed", "mustBePaid", "cmdLine",
    "type",         "destination",  "sha256",     "signature",  "allowDowngrade"};
inline constexpr const char* kIslandFeatureFields[] = {"name", "mandatory", "allowUserSelection",
                                                       "checked", "type"};

class IAgent;

std::string CheckAnswerContent(const XmlElementPtr& root);
std::string IslandContentToSign(const XmlElementPtr& root);

// Seconds since 1970 UTC of an "expires" text; nullopt when it is not in that form.
std::optional<long long> ParseUtcTimestamp(const std::string& text);

// Whether the agent may act on an answer whose root is `root` and whose content `content`
// builds: always without keys for the product; with keys only when the root's signature is
// theirs and its expiry, if any, has not passed. The content is built only when there are keys:
// for a large page it costs as much as reading the page.
bool AnswerAccepted(IAgent& agent, const XmlElementPtr& root,
                    std::string (*content)(const XmlElementPtr&));

} // namespace KDAutoUpdate
