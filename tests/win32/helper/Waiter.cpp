// A program for the process tests: writes the arguments it received, one a line, to the file
// named by its first argument, then stays alive for the milliseconds of its second.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    if (FILE* out = _wfopen(argv[1], L"w")) {
        for (int i = 3; i < argc; ++i)
            fwprintf(out, L"%ls\n", argv[i]);
        fclose(out);
    }
    WaitForSingleObject(GetCurrentProcess(), static_cast<DWORD>(_wtoi(argv[2])));
    return 0;
}
