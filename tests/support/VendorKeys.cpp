#include "tests/support/VendorKeys.h"

#include "platform/sodium/SodiumSigner.h"
#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {

VendorKeys::VendorKeys() {
    const auto pair = SodiumSigner::GenerateKeyPair();
    m_public = pair->publicKey;
    m_secret = pair->secretKey;
}

void VendorKeys::Trust(TestPlatform& tp, const std::string& productCode) const {
    tp.WriteProgramFile("updatekeys.xml", "<updatekeys><product code=\"" + productCode +
                                              "\"><key ed25519=\"" + m_public +
                                              "\"/></product></updatekeys>");
}

std::string VendorKeys::SignAnswer(const std::string& xml,
                                   const std::function<std::string(const XmlElementPtr&)>& content,
                                   const std::string& expires) const {
    TestXmlService service(nullptr, nullptr);
    const auto document = service.CreateDocument();
    const XmlElementPtr root = document->loadXML(xml) ? document->documentElement() : nullptr;
    if (!root)
        return {};
    if (!expires.empty())
        root->setAttribute("expires", expires);
    root->setAttribute("signature", SodiumSigner::SignData(content(root), m_secret).value());
    return root->xml();
}

std::string VendorKeys::SignFile(const std::string& path) const {
    return SodiumSigner::SignFile(path, m_secret).value_or("");
}

} // namespace KDAutoUpdate
