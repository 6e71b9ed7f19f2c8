#include "platform/qt/QtHtmlDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/headless/HtmlClick.h"
#include "platform/headless/HtmlNames.h"
#include "platform/qt/QtHtmlElement.h"
#include "platform/qt/QtWebPage.h"

namespace KDAutoUpdate {

namespace {

std::vector<HeadlessElementPtr> ElementChildren(const HeadlessElement& element) {
    std::vector<HeadlessElementPtr> children;
    for (const auto& child : element.Children())
        if (const auto* node = std::get_if<HeadlessElementPtr>(&child))
            children.push_back(*node);
    return children;
}

QJsonValue ToJson(quint64 generation) {
    return QJsonValue(static_cast<double>(generation));
}

// The attributes a click report gives of the element as the page has it now.
std::vector<HeadlessElement::Attribute> LiveAttributes(const QJsonArray& pairs) {
    std::vector<HeadlessElement::Attribute> attributes;
    for (const QJsonValue& pair : pairs)
        attributes.push_back({pair.toArray().at(0).toString().toStdString(),
                              pair.toArray().at(1).toString().toStdString()});
    return attributes;
}

bool SameAttributes(const HeadlessElement& element,
                    const std::vector<HeadlessElement::Attribute>& live) {
    if (element.Attributes().size() != live.size())
        return false;
    for (const HeadlessElement::Attribute& attribute : live) {
        const std::optional<std::string> value = element.GetAttribute(attribute.name);
        if (!value || *value != attribute.value)
            return false;
    }
    return true;
}

} // namespace

QtHtmlDocument::QtHtmlDocument(std::string url, std::string source, QtWebPage* page,
                               quint64 generation)
    : m_mirror(std::move(url), std::move(source)), m_page(page), m_generation(generation) {}

QtHtmlDocument::~QtHtmlDocument() = default;

HtmlElementPtr QtHtmlDocument::GetElementById(const std::string& id) {
    if (id.empty())
        return nullptr;
    const auto found = m_mirror.Find([&id](const HeadlessElement& e) { return e.Id() == id; }, 1);
    if (!m_live)
        return found.empty() ? nullptr : Wrap(found.front());
    const auto live = m_live->find(id);
    if (live == m_live->end())
        return nullptr;
    if (!found.empty() && found.front()->LocalName() == live->second.tag)
        return Wrap(found.front());
    return Wrap(ScriptElement(id, live->second));
}

QString QtHtmlDocument::LiveElementsScript() {
    return QStringLiteral(R"js((function () {
  var report = [];
  var all = document.querySelectorAll('[id]');
  for (var i = 0; i < all.length; ++i) {
    var attributes = [];
    for (var j = 0; j < all[i].attributes.length; ++j)
      attributes.push([all[i].attributes[j].name, all[i].attributes[j].value]);
    report.push({ id: all[i].id, tag: all[i].localName, attributes: attributes });
  }
  return JSON.stringify(report);
})())js");
}

void QtHtmlDocument::SetLiveElements(const QString& json) {
    const QJsonDocument parsed = QJsonDocument::fromJson(json.toUtf8());
    if (!parsed.isArray())
        return;
    std::map<std::string, LiveElement> live;
    for (const QJsonValue& entry : parsed.array()) {
        const QJsonObject element = entry.toObject();
        LiveElement item;
        item.tag = element.value(QStringLiteral("tag")).toString().toStdString();
        for (const QJsonValue& pair : element.value(QStringLiteral("attributes")).toArray())
            item.attributes.emplace_back(pair.toArray().at(0).toString().toStdString(),
                                         pair.toArray().at(1).toString().toStdString());
        // The first element of an id is the one the id names.
        live.emplace(element.value(QStringLiteral("id")).toString().toStdString(), std::move(item));
    }
    m_live = std::move(live);
}

HeadlessElementPtr QtHtmlDocument::ScriptElement(const std::string& id, const LiveElement& live) {
    HeadlessElementPtr& element = m_scriptElements[id];
    if (!element || element->LocalName() != live.tag) {
        element = std::make_shared<HeadlessElement>(live.tag);
        for (const auto& [name, value] : live.attributes)
            element->AppendAttribute(name, value);
        element->InitCheckedFromAttributes();
    }
    return element;
}

void QtHtmlDocument::SetOnClick(ClickHandler handler) {
    const bool wantsClicks = static_cast<bool>(handler);
    m_onClick = std::move(handler);
    if (wantsClicks)
        StartListening();
}

void QtHtmlDocument::Bind() {
    Run(QtWebPage::Call(QStringLiteral("bind"), QJsonArray{ToJson(m_generation)}));
    if (m_listening)
        Run(QtWebPage::Call(QStringLiteral("listen"), QJsonArray{ToJson(m_generation)}));
}

void QtHtmlDocument::Detach() {
    m_attached = false;
}

void QtHtmlDocument::StartListening() {
    if (m_listening)
        return;
    m_listening = true;
    Run(QtWebPage::Call(QStringLiteral("listen"), QJsonArray{ToJson(m_generation)}));
}

void QtHtmlDocument::Run(const QString& script) {
    if (m_attached && m_page)
        m_page->RunInControlWorld(script);
}

std::shared_ptr<QtHtmlElement> QtHtmlDocument::Wrap(const HeadlessElementPtr& element) {
    if (!element)
        return nullptr;
    auto& slot = m_wrappers[element.get()];
    if (auto existing = slot.lock())
        return existing;
    auto wrapper = std::make_shared<QtHtmlElement>(shared_from_this(), element);
    slot = wrapper;
    // Elements replaced by SetInnerHTML leave expired entries; drop them now and then.
    if (m_wrappers.size() > 256)
        std::erase_if(m_wrappers, [](const auto& entry) { return entry.second.expired(); });
    return wrapper;
}

std::optional<QtHtmlDocument::Address>
QtHtmlDocument::AddressOf(const HeadlessElement& element) const {
    if (!m_mirror.Contains(element)) {
        // An element the page's scripts made is reached by its id.
        for (const auto& [id, made] : m_scriptElements)
            if (made.get() == &element)
                return Address{id, {}};
        return std::nullopt;
    }
    Address address;
    const std::string id = element.Id();
    if (!id.empty()) {
        // An id names the element only when it is the first one carrying it.
        const auto first =
            m_mirror.Find([&id](const HeadlessElement& e) { return e.Id() == id; }, 1);
        if (!first.empty() && first.front().get() == &element) {
            address.id = id;
            return address;
        }
    }
    const HeadlessElement* node = &element;
    for (HeadlessElementPtr parent = node->Parent(); parent; parent = parent->Parent()) {
        int index = 0;
        for (const auto& child : ElementChildren(*parent)) {
            if (child.get() == node)
                break;
            ++index;
        }
        address.path.insert(address.path.begin(), index);
        node = parent.get();
    }
    return address;
}

void QtHtmlDocument::Push(const Address& address, const QString& operation,
                          const QJsonValue& value) {
    QJsonArray path;
    for (const int index : address.path)
        path.append(index);
    Run(QtWebPage::Call(QStringLiteral("apply"),
                        QJsonArray{ToJson(m_generation), QString::fromStdString(address.id), path,
                                   operation, value}));
}

HeadlessElementPtr QtHtmlDocument::Resolve(const Address& address, const std::string& tag) const {
    const auto matches = [&](const HeadlessElementPtr& element) {
        return element && HtmlNames::EqualsIgnoreCase(element->LocalName(), tag) &&
               element->Id() == address.id;
    };
    // The place first: it tells apart elements that share an id.
    HeadlessElementPtr node = m_mirror.Root();
    for (const int index : address.path) {
        const auto children = ElementChildren(*node);
        if (index < 0 || static_cast<std::size_t>(index) >= children.size()) {
            node = nullptr;
            break;
        }
        node = children[static_cast<std::size_t>(index)];
    }
    if (matches(node))
        return node;
    // Scripts of the page may have moved it, or made it.
    if (!address.id.empty()) {
        const auto found =
            m_mirror.Find([&address](const HeadlessElement& e) { return e.Id() == address.id; }, 1);
        if (!found.empty() && matches(found.front()))
            return found.front();
        const auto made = m_scriptElements.find(address.id);
        if (made != m_scriptElements.end() &&
            HtmlNames::EqualsIgnoreCase(made->second->LocalName(), tag))
            return made->second;
    }
    return nullptr;
}

void QtHtmlDocument::HandleClickReport(const QString& json) {
    const QJsonObject report = QJsonDocument::fromJson(json.toUtf8()).object();
    if (report.isEmpty() ||
        static_cast<quint64>(report.value(QStringLiteral("generation")).toDouble()) != m_generation)
        return;
    // Handlers may let go of this document; it stays until the page has its answer.
    const std::shared_ptr<QtHtmlDocument> self = shared_from_this();

    const int seq = report.value(QStringLiteral("seq")).toInt();
    const std::string tag = report.value(QStringLiteral("tag")).toString().toStdString();
    const bool toggles = report.value(QStringLiteral("toggles")).toBool();
    const bool checked = report.value(QStringLiteral("checked")).toBool();
    Address address;
    address.id = report.value(QStringLiteral("id")).toString().toStdString();
    const QJsonValue path = report.value(QStringLiteral("path"));
    for (const QJsonValue& index : path.toArray())
        address.path.push_back(index.toInt());

    // The buttons are read from the element as the page has it now: its scripts may have set
    // attributes, or inserted elements that moved others to the place the mirror knows.
    const std::vector<HeadlessElement::Attribute> live =
        LiveAttributes(report.value(QStringLiteral("attributes")).toArray());
    HeadlessElementPtr element = path.isArray() ? Resolve(address, tag) : nullptr;
    if (element && !SameAttributes(*element, live)) {
        if (!address.id.empty() && element->Id() == address.id)
            element->ReplaceAttributes(live); // the same element, changed by a script
        else
            element = nullptr; // another element at that place: not this one
    }
    std::shared_ptr<QtHtmlElement> source;
    if (element) {
        source = Wrap(element);
    } else {
        // Made or moved by the page's scripts: a detached copy of what the page reported.
        auto copy = std::make_shared<HeadlessElement>(HtmlNames::ToLowerAscii(tag));
        for (const HeadlessElement::Attribute& attribute : live)
            copy->AppendAttribute(attribute.name, attribute.value);
        copy->InitCheckedFromAttributes();
        // Its place in the page now; its id might name another element of the page.
        std::optional<Address> fixed;
        if (path.isArray())
            fixed = Address{std::string(), address.path};
        source = std::make_shared<QtHtmlElement>(self, copy, fixed);
    }
    const HeadlessElementPtr& clicked = source->Mirror();

    if (seq == 0) {
        // Nobody decides about this click; only its state was news.
        if (toggles)
            clicked->SetChecked(checked);
        return;
    }
    const bool kept = HtmlClick::Dispatch(
        clicked, source, toggles ? std::optional<bool>(checked) : std::nullopt, m_onClick);
    Run(QtWebPage::Call(QStringLiteral("answer"), QJsonArray{ToJson(m_generation), seq, kept}));
}

} // namespace KDAutoUpdate
