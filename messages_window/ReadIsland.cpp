// The service page's data island: found by id, parsed, and read into message and feature
// records that the page's buttons name by key.

#include <cctype>
#include <string_view>
#include <vector>

#include "IslandReader.h"
#include "common/IAgent.h"
#include "common/SignedAnswer.h"
#include "common/Unicode.h"
#include "frmMessages.h"

namespace KDAutoUpdate {

namespace {

constexpr const char* kIslandId = "KdAutoUpdate";
constexpr long kIslandErrorNumber = kObjectErrorBase + 1;

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The island's XML, cut out of `raw` in place. Some browsers give the island element's source
// with its own start and end tag: that <xml id="KdAutoUpdate"> wrapper is the island's
// container, not its document element, which may itself be named "xml".
std::string IslandContent(std::string raw) {
    std::size_t start = 0;
    while (start < raw.size() && IsSpace(raw[start]))
        ++start;
    const bool wrapped =
        raw.size() >= start + 5 && LowerCase(raw.substr(start, 4)) == "<xml" &&
        (IsSpace(raw[start + 4]) || raw[start + 4] == '>' || raw[start + 4] == '/');
    // End of the start tag; attribute values may hold '>'.
    char quote = 0;
    std::size_t pos = start + 4;
    for (; wrapped && pos < raw.size(); ++pos) {
        const char c = raw[pos];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        }
    }
    if (!wrapped || pos >= raw.size() ||
        LowerCase(raw.substr(start, pos - start)).find(LowerCase(kIslandId)) == std::string::npos) {
        raw.erase(0, start); // the island's own root element
        return raw;
    }
    if (raw[pos - 1] == '/')
        return {};
    const std::size_t end = raw.rfind("</");
    if (end == std::string::npos || end <= pos)
        return {};
    std::size_t first = pos + 1;
    while (first < end && IsSpace(raw[first]))
        ++first;
    raw.resize(end);
    raw.erase(0, first);
    return raw;
}

// ASCII lower case without blanks around, for the words of a tag and its attributes.
std::string Word(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsSpace(text[first]))
        ++first;
    while (last > first && IsSpace(text[last - 1]))
        --last;
    std::string word(text.substr(first, last - first));
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

// Only an island element carries a data island: <xml>, or a script whose language is XML
// (language="xml" of older pages, or an XML type, which our own service writes). A div or a
// JavaScript block that happens to bear the island's id is page content, not data.
bool IsIslandElement(const IHtmlElement& element) {
    const std::string tag = Word(element.TagName());
    if (tag == "xml")
        return true;
    if (tag != "script")
        return false;
    if (Word(element.GetAttribute("language").value_or(std::string())) == "xml")
        return true;
    const std::string type = element.GetAttribute("type").value_or(std::string());
    const std::string mime = Word(std::string_view(type).substr(0, type.find(';')));
    return mime == "text/xml" || mime == "application/xml";
}

} // namespace

bool frmMessages::ParseIsland(const HtmlDocumentPtr& doc) {
    const HtmlElementPtr element = doc->GetElementById(kIslandId);
    if (!element || !IsIslandElement(*element))
        return false;
    std::optional<std::string> raw = element->RawSource();
    IXmlService* xml = GetPlatform().xml;
    if (!raw || !xml)
        return false;
    std::unique_ptr<IXmlDocument> island = xml->CreateDocument();
    if (!island)
        return false;
    island->setAsync(false);
    // The records are read as the document is checked after parsing: one walk for both.
    IslandReader reader(m_lAgentPtr);
    const bool loaded =
        island->loadXMLVisiting(IslandContent(std::move(*raw)),
                                [&reader](IXmlElement& visited, std::string_view name, int depth) {
                                    reader.Visit(visited, name, depth);
                                });
    if (!loaded || island->parseErrorCode() != 0)
        return false;
    // With the vendor's keys, an island that is not theirs counts as unreadable.
    const XmlElementPtr root = island->documentElement();
    if (IAgent* agent = Agent(); agent && !AnswerAccepted(*agent, root, IslandContentToSign))
        return false;
    m_xmlIsland = std::move(island);
    m_islandMessages = reader.Finish();
    return true;
}

void frmMessages::RecordIslandError() {
    m_lastError = AutomationError{kIslandErrorNumber, "KDAutoUpdate.frmMessages",
                                  "Error while parsing XML-Island."};
}

void frmMessages::ReadIsland() {
    std::vector<std::unique_ptr<AuMessage>> messages = std::move(m_islandMessages);
    m_islandMessages.clear();
    if (!m_xmlIsland || !m_colMessages || !m_xmlIsland->documentElement())
        return;
    // Counted first, so that the collection grows, and indexes, only once.
    std::size_t keyBytes = 0;
    for (const std::unique_ptr<AuMessage>& message : messages)
        keyBytes += message->ID().size();
    m_colMessages->Reserve(messages.size(), keyBytes);
    for (std::unique_ptr<AuMessage>& message : messages) {
        const std::string id = message->ID();
        m_colMessages->Add(id, std::move(message)); // a repeated id is dropped
    }
}

} // namespace KDAutoUpdate
