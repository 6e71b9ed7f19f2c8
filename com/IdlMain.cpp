// Prints the type library's IDL as the automation description gives it, or with "dual" the C++
// of the dual interfaces' vtables (com/ComDualInterfaces.cpp).
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "com/ComDualWriter.h"
#include "com/IdlWriter.h"

int main(int argc, char** argv) {
    const bool dual = argc > 1 && std::strcmp(argv[1], "dual") == 0;
    const std::string text = dual ? KDAutoUpdate::WriteDualInterfaces() : KDAutoUpdate::WriteIdl();
    _setmode(_fileno(stdout), _O_BINARY); // the committed files end lines with \n
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
