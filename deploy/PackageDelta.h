#pragma once
// A patch the page offers for a message's package: applied to a package the agent kept before
// (the base, known by its SHA-256), it gives the package at a fraction of its bytes.

#include <string>

namespace KDAutoUpdate {

struct PackageDelta {
    std::string baseSha256; // hex, as the page gives it
    std::string path;       // the patch's address
    long long size = 0;     // the patch's bytes as the page states them; 0 when not stated
};

} // namespace KDAutoUpdate
