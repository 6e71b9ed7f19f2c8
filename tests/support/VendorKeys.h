#pragma once
// The vendor's side in a test: a key pair, the agent's trust file naming it for a product, and
// answers and packages signed with it.

#include <functional>
#include <string>

#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class TestPlatform;

class VendorKeys {
public:
    VendorKeys();

    // The trust file beside the program: this key for `productCode`.
    void Trust(TestPlatform& tp, const std::string& productCode) const;
    // `xml` with "expires" (when given) and "signature" on its root over `content`.
    std::string SignAnswer(const std::string& xml,
                           const std::function<std::string(const XmlElementPtr&)>& content,
                           const std::string& expires = {}) const;
    std::string SignFile(const std::string& path) const;

private:
    std::string m_public;
    std::string m_secret;
};

} // namespace KDAutoUpdate
