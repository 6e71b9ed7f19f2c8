// Prints the type library's IDL as the automation description gives it.
#include <cstdio>

#include "com/IdlWriter.h"

int main() {
    const std::string idl = KDAutoUpdate::WriteIdl();
    std::fwrite(idl.data(), 1, idl.size(), stdout);
    return 0;
}
