# Cross-builds for 64-bit Windows with Debian's mingw-w64 (POSIX thread model, so the standard
# library's threads and mutexes exist). Programs link the compiler's runtime statically: they
# run from any folder, under wine too, without DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(kdau_mingw x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${kdau_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${kdau_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${kdau_mingw}-windres)
set(KDAU_WIDL ${kdau_mingw}-widl CACHE STRING "IDL compiler")

set(CMAKE_FIND_ROOT_PATH /usr/${kdau_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# Unicode entry points and Win32 headers: Windows 7 and later, no min/max macros.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
