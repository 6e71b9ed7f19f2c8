// The update store operations of AuAgent: updateinfo.xml beside the program, one product
// element per product code, state kept in its attributes.

#include "agent/AuAgent.h"
#include "agent/modMain.h"
#include "platform/UtilityLibrary.h"

namespace KDAutoUpdate {

namespace {
constexpr const char* kStoreFileName = "updateinfo.xml";
// A store that does not parse may still hold a pending update: kept under this suffix.
constexpr const char* kUnreadableSuffix = ".bad";
constexpr const char* kEmptyStore = "<?xml version=\"1.0\"?><update-info />";

bool IsBlank(const std::string& s) {
    return s.find_first_not_of(" \t") == std::string::npos;
}
} // namespace

void AuAgent::LoadUpdateInfo() {
    if (!m_xmlUpdateInfo)
        return;
    const std::string path = ProgramFilePath(kStoreFileName);
    if (m_platform.utility && m_platform.utility->FileExists(path)) {
        if (m_xmlUpdateInfo->load(path) && m_xmlUpdateInfo->parseErrorCode() == 0 &&
            m_xmlUpdateInfo->documentElement())
            return;
        m_platform.utility->RenameFile(path, path + kUnreadableSuffix);
    }
    // Missing, unreadable or malformed: start again from an empty store, saved at once.
    m_xmlUpdateInfo->loadXML(kEmptyStore);
    m_xmlUpdateInfo->save(path);
}

void AuAgent::SaveUpdateInfo() {
    if (m_xmlUpdateInfo)
        m_xmlUpdateInfo->save(ProgramFilePath(kStoreFileName));
}

XmlElementPtr AuAgent::GetProductNode() {
    if (ProductCode().empty() || !m_xmlUpdateInfo)
        return nullptr;
    // A host reads and writes one product's fields one after another, and each search walks
    // the products: the one found last serves while it still carries the code. (Products are
    // only ever appended, so it is still the first of that code.)
    if (m_productNode && m_productNode->getAttribute("code") == ProductCode())
        return m_productNode;
    const XmlElementPtr root = m_xmlUpdateInfo->documentElement();
    if (!root)
        return nullptr;
    if (XmlElementPtr found = root->selectSingleNode("product[@code='" + ProductCode() + "']"))
        return m_productNode = found;
    XmlElementPtr product = m_xmlUpdateInfo->createElement("product");
    if (!product)
        return nullptr;
    product->setAttribute("code", ProductCode());
    if (!root->appendChild(product))
        return nullptr;
    return m_productNode = product;
}

std::string AuAgent::GetProductAttribute(const std::string& sName) {
    const XmlElementPtr node = GetProductNode();
    if (!node)
        return {};
    return VarToStr(Variant::FromAttribute(node->getAttribute(sName)), std::string());
}

void AuAgent::SetProductAttribute(const std::string& sName, const std::string& vValue) {
    if (IsBlank(sName))
        return;
    const XmlElementPtr node = GetProductNode();
    if (!node)
        return;
    if (!IsBlank(vValue))
        node->setAttribute(sName, vValue);
    else
        node->removeAttribute(sName);
}

} // namespace KDAutoUpdate
