#include "store/UpdateStore.h"

#include <algorithm>

#include "platform/FileLock.h"
#include "platform/UtilityLibrary.h"

namespace KDAutoUpdate {

namespace {
constexpr const char* kStoreFileName = "updateinfo.xml";
constexpr const char* kLockSuffix = ".lock";
// A store that does not parse may still hold a pending update: it is kept under this suffix,
// and the ones kept before it under this suffix and a number, up to this many in all.
constexpr const char* kUnreadableSuffix = ".bad";
constexpr int kUnreadableKept = 5;
constexpr const char* kEmptyStore = "<?xml version=\"1.0\"?><update-info />";

bool IsBlank(const std::string& s) {
    return s.find_first_not_of(" \t") == std::string::npos;
}

std::string KeptName(const std::string& path, int age) {
    return path + kUnreadableSuffix + (age == 0 ? std::string() : "." + std::to_string(age));
}

XmlElementPtr FirstProduct(const XmlElementPtr& root, const std::string& code) {
    return root ? root->selectSingleNode("product[@code='" + code + "']") : nullptr;
}

// Makes `to` carry exactly the attributes of `from`, with their values.
void CopyAttributes(const IXmlElement& from, IXmlElement& to) {
    const std::vector<std::string> names = from.attributeNames();
    for (const std::string& name : to.attributeNames())
        if (std::find(names.begin(), names.end(), name) == names.end())
            to.removeAttribute(name);
    for (const std::string& name : names)
        if (const std::optional<std::string> value = from.getAttribute(name))
            to.setAttribute(name, *value);
}
} // namespace

UpdateStore::~UpdateStore() = default;

void UpdateStore::CreateDocument() {
    if (!m_platform.xml)
        return;
    m_document = m_platform.xml->CreateDocument();
    if (m_document)
        m_document->setAsync(false);
}

std::string UpdateStore::FilePath() const {
    const std::string path =
        m_platform.programFolder + m_platform.pathSeparator + kStoreFileName;
    return m_platform.utility ? m_platform.utility->ResolveLinks(path) : path;
}

std::unique_ptr<IFileLock> UpdateStore::Lock(const std::string& path) const {
    return m_platform.utility ? m_platform.utility->LockFile(path + kLockSuffix) : nullptr;
}

std::string UpdateStore::Stamp(const std::string& path) const {
    return m_platform.utility ? m_platform.utility->FileStamp(path) : std::string();
}

bool UpdateStore::Exists(const std::string& path) const {
    return m_platform.utility && m_platform.utility->FileExists(path);
}

bool UpdateStore::Read(IXmlDocument& document, const std::string& path) {
    return document.load(path) && document.parseErrorCode() == 0 && document.documentElement();
}

void UpdateStore::KeepUnreadable(const std::string& path) const {
    IUtilityLibrary* utility = m_platform.utility;
    if (!utility)
        return;
    // Renaming over the oldest drops it. Keeping copies is a courtesy to whoever looks into a
    // broken store later: one that cannot be moved aside is written over all the same.
    for (int age = kUnreadableKept - 1; age > 0; --age)
        if (utility->FileExists(KeptName(path, age - 1)))
            (void)utility->RenameFile(KeptName(path, age - 1), KeptName(path, age));
    (void)utility->RenameFile(path, KeptName(path, 0));
}

void UpdateStore::Load() {
    if (!m_document)
        return;
    const std::string path = FilePath();
    // Under the lock: a file being rewritten in place is never read half-written, and of two
    // agents that find it unreadable only the first keeps it and starts a new one.
    const std::unique_ptr<IFileLock> lock = Lock(path);
    if (Exists(path)) {
        m_fileStamp = Stamp(path);
        if (Read(*m_document, path))
            return;
        KeepUnreadable(path);
    }
    // Missing, unreadable or malformed: start again from an empty store, saved at once. The
    // empty store always parses; a store that cannot be written is no reason to stop, as the
    // agent works on from the document it holds and tries the file again at its next save.
    (void)m_document->loadXML(kEmptyStore);
    (void)m_document->save(path);
    m_fileStamp = Stamp(path);
}

void UpdateStore::MergeInto(IXmlDocument& disk) {
    const XmlElementPtr ours = m_document->documentElement();
    const XmlElementPtr theirs = disk.documentElement();
    for (const std::string& code : m_usedCodes) {
        const XmlElementPtr product = FirstProduct(ours, code);
        if (!product)
            continue;
        XmlElementPtr target = FirstProduct(theirs, code);
        if (!target) {
            target = disk.createElement("product");
            if (!target || !theirs->appendChild(target))
                continue;
        }
        CopyAttributes(*product, *target);
    }
}

void UpdateStore::Save() {
    if (!m_document)
        return;
    const std::string path = FilePath();
    const std::unique_ptr<IFileLock> lock = Lock(path);
    // Unchanged since it was read here: this document is the file plus this agent's changes,
    // written whole as it is, without reading the file again.
    const std::string stamp = Stamp(path);
    if (stamp.empty() || stamp != m_fileStamp) {
        std::unique_ptr<IXmlDocument> disk =
            m_platform.xml ? m_platform.xml->CreateDocument() : nullptr;
        if (disk) {
            disk->setAsync(false);
            if (Exists(path) && Read(*disk, path)) {
                MergeInto(*disk);
                (void)disk->save(path);
                m_fileStamp = Stamp(path);
                return;
            }
        }
        if (Exists(path))
            KeepUnreadable(path);
    }
    (void)m_document->save(path);
    m_fileStamp = Stamp(path);
}

void UpdateStore::Release() {
    m_productNode.reset();
    m_document.reset();
}

XmlElementPtr UpdateStore::ProductNode(const std::string& code) {
    if (code.empty() || !m_document)
        return nullptr;
    // A host reads and writes one product's fields one after another, and each search walks
    // the products: the one found last serves while it still carries the code. (Products are
    // only ever appended, so it is still the first of that code.)
    if (m_productNode && m_productNode->getAttribute("code") == code)
        return m_productNode;
    const XmlElementPtr root = m_document->documentElement();
    if (!root)
        return nullptr;
    XmlElementPtr product = FirstProduct(root, code);
    if (!product) {
        product = m_document->createElement("product");
        if (!product)
            return nullptr;
        product->setAttribute("code", code);
        if (!root->appendChild(product))
            return nullptr;
    }
    if (std::find(m_usedCodes.begin(), m_usedCodes.end(), code) == m_usedCodes.end())
        m_usedCodes.push_back(code);
    return m_productNode = product;
}

std::string UpdateStore::ProductAttribute(const std::string& code, const std::string& name) {
    const XmlElementPtr node = ProductNode(code);
    if (!node)
        return {};
    return node->getAttribute(name).value_or(std::string());
}

void UpdateStore::SetProductAttribute(const std::string& code, const std::string& name,
                                      const std::string& value) {
    if (IsBlank(name))
        return;
    const XmlElementPtr node = ProductNode(code);
    if (!node)
        return;
    if (!IsBlank(value))
        node->setAttribute(name, value);
    else
        node->removeAttribute(name);
}

} // namespace KDAutoUpdate
