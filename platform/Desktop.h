#pragma once
// The desktop's own handling of an address (its interactive download or URL opener).

#include <string>

namespace KDAutoUpdate {

class IDesktop {
public:
    virtual ~IDesktop() = default;
    virtual bool OpenUrl(const std::string& url) = 0;
};

} // namespace KDAutoUpdate
