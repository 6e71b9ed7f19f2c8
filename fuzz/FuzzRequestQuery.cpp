// The service's reading of a request query and the version in it.

#include <cstdint>

#include "service/ProductVersion.h"
#include "service/ServiceQuery.h"

using namespace KDAutoUpdate;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ServiceQuery query(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    query.Value(u"ProductCode");
    query.Has(u"OpType");
    ProductVersion::Parse(query.Value(u"Version"));
    return 0;
}
