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

# Libraries Debian has no mingw build of, built for this target from Debian's own sources by
# scripts/build-windows-<lib>.sh (build-windows.sh runs them first): `lib` is imported as
# kdau_<lib>, and the platform code over it (platform/<folder>) becomes kdau_<folder>. Further
# arguments are properties of the imported library.
function(kdau_windows_source_library lib folder)
  string(TOUPPER ${folder} name)
  set(KDAU_${name}_PREFIX ${CMAKE_BINARY_DIR}/third_party/${lib} CACHE PATH
    "Where the Windows build of ${lib} is installed")
  set(prefix ${KDAU_${name}_PREFIX})
  if(NOT EXISTS ${prefix}/lib/${lib}.a)
    message(FATAL_ERROR "No ${lib} for Windows in ${prefix}: run scripts/build-windows-${lib}.sh")
  endif()
  add_library(kdau_${lib} STATIC IMPORTED)
  set_target_properties(kdau_${lib} PROPERTIES IMPORTED_LOCATION ${prefix}/lib/${lib}.a
    INTERFACE_INCLUDE_DIRECTORIES ${prefix}/include ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/${folder}/*.cpp)
  add_library(kdau_${folder} STATIC ${sources})
  target_link_libraries(kdau_${folder} PUBLIC kdau_platform PRIVATE kdau_${lib} kdau_warnings)
endfunction()
# Signatures and hashes.
kdau_windows_source_library(libsodium sodium INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC)
# Delta packages.
kdau_windows_source_library(libzstd zstd)

kdau_add_core()
add_subdirectory(automation)
# No shared library holds the core here: the automation layer takes it from kdau_core.
target_link_libraries(kdau_automation PUBLIC kdau_core)
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
