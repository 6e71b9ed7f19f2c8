#pragma once
// Shared by the fuzz targets: the input as a flag byte and text; the trust file on or off.

#include <cstdint>
#include <string>

#include "tests/support/TestPlatform.h"

namespace KDAutoUpdate {

struct FuzzInput {
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : flags(size ? data[0] : 0),
          text(size ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1)
                    : std::string()) {}
    std::uint8_t flags;
    std::string text;
};

// A trust file with one fixed key for `productCode`, or none.
inline void UseTrustFile(TestPlatform& tp, const std::string& productCode, bool on) {
    tp.WriteProgramFile(
        "updatekeys.xml",
        on ? "<updatekeys><product code=\"" + productCode +
                 "\"><key ed25519=\"11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=\"/>"
                 "</product></updatekeys>"
           : "<updatekeys/>");
}

} // namespace KDAutoUpdate
