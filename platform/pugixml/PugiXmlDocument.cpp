#include "platform/pugixml/PugiXmlDocument.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/EventLoop.h"
#include "platform/HttpFetcher.h"
#include "platform/pugixml/DurableFile.h"
#include "platform/pugixml/PugiXmlElement.h"
#include "platform/pugixml/PugiXmlSerializer.h"
#include "platform/pugixml/PugiXmlService.h"
#include "platform/pugixml/PugiXmlStorage.h"
#include "platform/pugixml/WellFormedText.h"

namespace KDAutoUpdate {

namespace {

// Declarations, comments, processing instructions and a doctype are kept, so content the
// agent does not know survives a load and a save. Parsed as a fragment so text beside the root
// stays visible and can be refused below. References are expanded on the walk after the parse,
// where a malformed one is refused (WellFormedText).
constexpr unsigned kParseOptions = (pugi::parse_default & ~pugi::parse_escapes) |
                                   pugi::parse_declaration | pugi::parse_comments |
                                   pugi::parse_pi | pugi::parse_doctype | pugi::parse_fragment;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
    return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsWhitespace(const char* text) {
    for (; *text; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
            return false;
    return true;
}

// A fragment parse accepts several root elements and text beside the root; a document has
// exactly one root element and nothing but markup around it.
long CheckSingleRoot(const pugi::xml_document& doc) {
    int elements = 0;
    for (const pugi::xml_node& child : doc.children()) {
        if (child.type() == pugi::node_element)
            ++elements;
        else if ((child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) &&
                 !IsWhitespace(child.value()))
            return XmlError::kMalformed;
    }
    if (elements == 0)
        return XmlError::kNoRootElement;
    return elements == 1 ? XmlError::kNone : XmlError::kMalformed;
}

// Documents the agent reads (the store, the check answer, the page's data island) are small
// and flat; these bounds keep a hostile one from costing time in every later walk and XPath
// query over it.
constexpr int kMaxDepth = 1000;
constexpr long kMaxElements = 1000000;

// pugixml's own walk: it follows the nodes' links directly, where a walk through xml_node
// calls into the library for every step. On the way, what pugixml let through and a
// well-formed document cannot hold refuses the document (WellFormedText). With a `visit`, each
// element is also handed on.
class WorkBoundsWalker : public pugi::xml_tree_walker {
public:
    WorkBoundsWalker(const std::shared_ptr<PugiXmlStorage>& storage, const XmlElementVisitor* visit,
                     bool references)
        : m_cursor(storage, pugi::xml_node()), m_visit(visit), m_references(references) {}

    bool for_each(pugi::xml_node& node) override {
        // depth() is 0 for the children of the document.
        const pugi::xml_node_type type = node.type();
        const bool element = type == pugi::node_element;
        refused = depth() > kMaxDepth || (element && ++m_elements > kMaxElements) ||
                   (element &&
                    !WellFormedText::CheckAttributes(node, m_references, m_attributes)) ||
                   (type == pugi::node_pcdata && m_references && !WellFormedText::CheckText(node));
        if (refused)
            return false;
        if (element && m_visit) {
            m_cursor.MoveTo(node, &m_attributes);
            (*m_visit)(m_cursor, node.name(), depth());
        }
        return true;
    }
    bool refused = false;

private:
    long m_elements = 0;
    PugiXmlElement m_cursor;
    const XmlElementVisitor* m_visit;
    bool m_references;
    std::vector<WellFormedText::Attribute> m_attributes;
};

long CheckWorkBounds(const std::shared_ptr<PugiXmlStorage>& storage,
                     const XmlElementVisitor* visit, bool references) {
    WorkBoundsWalker walker(storage, visit, references);
    storage->doc.traverse(walker);
    return walker.refused ? XmlError::kMalformed : XmlError::kNone;
}

std::shared_ptr<PugiXmlStorage> EmptyStorage() {
    return std::make_shared<PugiXmlStorage>();
}

} // namespace

PugiXmlDocument::PugiXmlDocument(IHttpFetcher* http, IEventLoop* loop)
    : m_http(http), m_loop(loop), m_storage(EmptyStorage()), m_alive(std::make_shared<int>(0)) {}

PugiXmlDocument::~PugiXmlDocument() {
    // First expire the token so an answer triggered by the abort finds the document gone.
    m_alive.reset();
    if (auto request = std::move(m_request))
        request->Abort();
}

bool PugiXmlDocument::IsHttpUrl(const std::string& source) {
    const std::string lower = Lower(source.substr(0, 8));
    return StartsWith(lower, "http://") || StartsWith(lower, "https://");
}

PugiXmlDocument::Outcome PugiXmlDocument::Parse(std::string text, const XmlElementVisitor* visit,
                                                bool isText) {
    auto storage = EmptyStorage();
    storage->text = std::move(text);
    // Without an "&" byte the text holds no reference in any encoding: none to check.
    const bool references = storage->text.find('&') != std::string::npos;
    const pugi::xml_encoding encoding = isText ? pugi::encoding_utf8 : pugi::encoding_auto;
    return ParseWith(
        [encoding](PugiXmlStorage& s) {
            return s.doc.load_buffer_inplace(s.text.data(), s.text.size(), kParseOptions,
                                             encoding);
        },
        std::move(storage), visit, references);
}

PugiXmlDocument::Outcome
PugiXmlDocument::ParseWith(const std::function<pugi::xml_parse_result(PugiXmlStorage&)>& load,
                           std::shared_ptr<PugiXmlStorage> storage,
                           const XmlElementVisitor* visit, bool references) {
    try {
        const pugi::xml_parse_result result = load(*storage);
        if (!result)
            return {EmptyStorage(), result.status == pugi::status_no_document_element
                                        ? XmlError::kNoRootElement
                                        : XmlError::kMalformed};
        if (const long code = CheckSingleRoot(storage->doc); code != XmlError::kNone)
            return {EmptyStorage(), code};
        if (const long code = CheckWorkBounds(storage, visit, references);
            code != XmlError::kNone)
            return {EmptyStorage(), code};
    } catch (...) {
        return {EmptyStorage(), XmlError::kMalformed};
    }
    return {storage, XmlError::kNone};
}

PugiXmlDocument::Outcome PugiXmlDocument::ReadFile(const std::string& source) {
    try {
        std::string path = source;
        if (StartsWith(Lower(path.substr(0, 7)), "file://"))
            path = path.substr(7);
        std::error_code error;
        if (!path.empty())
            DurableFile::RemoveStaleTemporaries(path);
        if (path.empty() || !std::filesystem::is_regular_file(path, error))
            return {EmptyStorage(), XmlError::kFileNotFound};
        // pugixml reads the file straight into its own buffer: no copy of a large store.
        bool unreadable = false;
        Outcome outcome = ParseWith(
            [&](PugiXmlStorage& s) {
                pugi::xml_parse_result r =
                    s.doc.load_file(path.c_str(), kParseOptions, pugi::encoding_auto);
                unreadable = r.status == pugi::status_file_not_found ||
                             r.status == pugi::status_io_error ||
                             r.status == pugi::status_out_of_memory;
                return r;
            },
            EmptyStorage());
        if (unreadable)
            return {EmptyStorage(), XmlError::kFileNotFound};
        return outcome;
    } catch (...) {
        return {EmptyStorage(), XmlError::kFileNotFound};
    }
}

PugiXmlDocument::Outcome PugiXmlDocument::FromHttp(const HttpResult& result) {
    if (result.error == 0)
        return Parse(result.body);
    return {EmptyStorage(), result.error > 0 ? XmlError::kHttpStatus : XmlError::kUnreachable};
}

bool PugiXmlDocument::load(const std::string& source) {
    CancelRunning();
    const bool http = IsHttpUrl(source);
    if (!m_async) {
        m_readyState = XmlReadyState::Loading;
        Outcome outcome{EmptyStorage(), XmlError::kUnreachable};
        try {
            if (!http)
                outcome = ReadFile(source);
            else if (m_http)
                outcome = FromHttp(m_http->GetSync(source));
        } catch (...) {
        }
        Apply(std::move(outcome));
        return m_errorCode == XmlError::kNone;
    }

    if (!m_loop) {
        Apply({EmptyStorage(), XmlError::kNoEventLoop});
        return false;
    }
    m_storage = EmptyStorage();
    m_errorCode = XmlError::kNone;
    m_readyState = XmlReadyState::Loading;
    const unsigned long generation = m_generation;
    const std::weak_ptr<int> alive = m_alive;

    if (!http) {
        // Read later too, so completion never arrives inside load().
        m_loop->Post([this, alive, generation, source] {
            if (!alive.expired())
                Complete(generation, ReadFile(source));
        });
        return true;
    }
    if (!m_http) {
        m_loop->Post([this, alive, generation] {
            if (!alive.expired())
                Complete(generation, {EmptyStorage(), XmlError::kUnreachable});
        });
        return true;
    }
    try {
        m_inLoad = true;
        auto request = m_http->GetAsync(source, [this, alive, generation](const HttpResult& r) {
            if (!alive.expired())
                OnHttpAnswer(generation, r);
        });
        m_inLoad = false;
        if (generation == m_generation)
            m_request = std::move(request);
    } catch (...) {
        m_inLoad = false;
        Apply({EmptyStorage(), XmlError::kUnreachable});
        return false;
    }
    return true;
}

void PugiXmlDocument::OnHttpAnswer(unsigned long generation, const HttpResult& result) {
    if (generation != m_generation)
        return;
    if (m_inLoad) {
        // A fetcher that answered inside GetAsync: report from the loop instead.
        const std::weak_ptr<int> alive = m_alive;
        m_loop->Post([this, alive, generation, result] {
            if (!alive.expired())
                OnHttpAnswer(generation, result);
        });
        return;
    }
    m_request.reset();
    Complete(generation, FromHttp(result));
}

bool PugiXmlDocument::loadXML(std::string text) {
    CancelRunning();
    Apply(Parse(std::move(text), nullptr, true));
    return m_errorCode == XmlError::kNone;
}

bool PugiXmlDocument::loadXMLVisiting(std::string text, const XmlElementVisitor& visit) {
    CancelRunning();
    Apply(Parse(std::move(text), &visit, true));
    return m_errorCode == XmlError::kNone;
}

void PugiXmlDocument::abort() {
    if (m_readyState != XmlReadyState::Loading)
        return;
    CancelRunning();
    Apply({EmptyStorage(), XmlError::kAborted});
    if (!m_loop)
        return;
    // The one report of the aborted load, from the loop as every asynchronous report.
    const unsigned long generation = m_generation;
    const std::weak_ptr<int> alive = m_alive;
    m_loop->Post([this, alive, generation] {
        if (alive.expired() || generation != m_generation)
            return;
        const std::function<void()> handler = m_handler;
        if (handler)
            handler(); // may destroy the document: nothing follows
    });
}

void PugiXmlDocument::CancelRunning() {
    ++m_generation;
    std::shared_ptr<IHttpRequest> request = std::move(m_request);
    m_request.reset();
    if (request)
        request->Abort();
}

void PugiXmlDocument::Apply(Outcome outcome) {
    m_storage = outcome.first ? std::move(outcome.first) : EmptyStorage();
    m_errorCode = outcome.second;
    m_readyState = XmlReadyState::Complete;
}

void PugiXmlDocument::Complete(unsigned long generation, Outcome outcome) {
    if (generation != m_generation)
        return;
    Apply(std::move(outcome));
    const std::function<void()> handler = m_handler;
    if (handler)
        handler(); // may destroy the document: nothing follows
}

XmlElementPtr PugiXmlDocument::documentElement() {
    const pugi::xml_node root = m_storage->doc.document_element();
    if (!root)
        return nullptr;
    return std::make_shared<PugiXmlElement>(m_storage, root);
}

XmlElementPtr PugiXmlDocument::createElement(const std::string& name) {
    if (!PugiXmlElement::IsValidName(name))
        return nullptr;
    auto fragment = EmptyStorage();
    const pugi::xml_node node = fragment->doc.append_child(name.c_str());
    if (!node)
        return nullptr;
    return std::make_shared<PugiXmlElement>(fragment, node);
}

std::string PugiXmlDocument::xml() const {
    return PugiXmlSerializer::Serialize(m_storage->doc);
}

bool PugiXmlDocument::save(const std::string& path) {
    if (path.empty())
        return false;
    try {
        // A document with its own declaration is written as it stands; otherwise one is added.
        // The bytes are Latin-1 under a Latin-1 declaration, UTF-8 otherwise.
        bool declared = false;
        bool latin1 = false;
        for (const pugi::xml_node& child : m_storage->doc.children()) {
            if (child.type() != pugi::node_declaration)
                continue;
            declared = true;
            pugi::xml_attribute encoding = child.attribute("encoding");
            const std::string name = Lower(encoding.value());
            latin1 = name == "iso-8859-1" || name == "latin1";
            // Read from UTF-16 (or any other encoding), written as UTF-8: say so.
            if (encoding && !latin1 && name != "utf-8")
                encoding.set_value("UTF-8");
        }
        const std::string head = declared ? std::string() : "<?xml version=\"1.0\"?>";

        // UTF-8 goes out piece by piece as it is serialized, so a large store is never held
        // twice; a Latin-1 store is converted whole.
        return DurableFile::Replace(path, [&](const DurableFile::PieceWriter& write) {
            if (latin1)
                return write(PugiXmlSerializer::Utf8ToLatin1(
                    head + PugiXmlSerializer::Serialize(m_storage->doc)));
            return PugiXmlSerializer::Serialize(m_storage->doc, head, write);
        });
    } catch (...) {
        return false;
    }
}

} // namespace KDAutoUpdate
