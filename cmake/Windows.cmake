# The Windows build: the same core and portable backends as on Linux, with the Win32 backends of
# platform/win32 (message loop, window timers, MSXML 6, WinHTTP, Win32 dialogs, processes), the
# resource library _AuResLib.dll and the core's unit tests run under a Windows runtime.
add_library(kdau_platform INTERFACE)
target_include_directories(kdau_platform INTERFACE ${CMAKE_SOURCE_DIR})

file(GLOB kdau_portable_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/portable/*.cpp)
add_library(kdau_portable STATIC ${kdau_portable_sources})
target_link_libraries(kdau_portable PUBLIC kdau_platform PRIVATE kdau_warnings)

file(GLOB kdau_console_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/console/*.cpp)
add_library(kdau_console STATIC ${kdau_console_sources})
target_link_libraries(kdau_console PUBLIC kdau_platform kdau_portable PRIVATE kdau_warnings)

# Signatures and hashes on libsodium, built for this target from Debian's sources by
# scripts/build-windows-libsodium.sh (build-windows.sh runs it first).
set(KDAU_SODIUM_PREFIX ${CMAKE_BINARY_DIR}/third_party/libsodium CACHE PATH
  "Where the Windows build of libsodium is installed")
if(NOT EXISTS ${KDAU_SODIUM_PREFIX}/lib/libsodium.a)
  message(FATAL_ERROR "No libsodium for Windows in ${KDAU_SODIUM_PREFIX}: run scripts/build-windows-libsodium.sh")
endif()
add_library(kdau_libsodium STATIC IMPORTED)
set_target_properties(kdau_libsodium PROPERTIES
  IMPORTED_LOCATION ${KDAU_SODIUM_PREFIX}/lib/libsodium.a
  INTERFACE_INCLUDE_DIRECTORIES ${KDAU_SODIUM_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC)
file(GLOB kdau_sodium_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/sodium/*.cpp)
add_library(kdau_sodium STATIC ${kdau_sodium_sources})
target_link_libraries(kdau_sodium PUBLIC kdau_platform PRIVATE kdau_libsodium kdau_warnings)

# Delta packages on libzstd, built the same way by scripts/build-windows-libzstd.sh.
set(KDAU_ZSTD_PREFIX ${CMAKE_BINARY_DIR}/third_party/libzstd CACHE PATH
  "Where the Windows build of libzstd is installed")
if(NOT EXISTS ${KDAU_ZSTD_PREFIX}/lib/libzstd.a)
  message(FATAL_ERROR "No libzstd for Windows in ${KDAU_ZSTD_PREFIX}: run scripts/build-windows-libzstd.sh")
endif()
add_library(kdau_libzstd STATIC IMPORTED)
set_target_properties(kdau_libzstd PROPERTIES
  IMPORTED_LOCATION ${KDAU_ZSTD_PREFIX}/lib/libzstd.a
  INTERFACE_INCLUDE_DIRECTORIES ${KDAU_ZSTD_PREFIX}/include)
file(GLOB kdau_zstd_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/zstd/*.cpp)
add_library(kdau_zstd STATIC ${kdau_zstd_sources})
target_link_libraries(kdau_zstd PUBLIC kdau_platform PRIVATE kdau_libzstd kdau_warnings)

foreach(folder IN LISTS KDAU_CORE_FOLDERS)
  add_subdirectory(${folder})
endforeach()
# On Linux the core's objects go into libkdautoupdate; here they make a static library.
kdau_core_objects(kdau_core_sources)
add_library(kdau_core STATIC ${kdau_core_sources})
target_link_libraries(kdau_core PUBLIC kdau_platform)
add_subdirectory(automation)
add_subdirectory(com)
add_subdirectory(platform/win32)
add_subdirectory(resources/win32)
add_subdirectory(apps/win32)

if(KDAU_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/win32)
endif()

# The Windows Installer package (wixl).
add_subdirectory(installer/windows)
