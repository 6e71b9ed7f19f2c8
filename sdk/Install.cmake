# What `cmake --install` places, and the .deb CPack makes of it:
#   bin/kdautoupdate                          the program
#   <libdir>/libkdautoupdate.so.*             the agent: core and Qt Core/Network backends
#   <libdir>/libkdautoupdate-desktop.so.*     real windows and the browser (loaded on first use)
#   <libdir>/kdautoupdate/                    the program's plugins (serve, demo, ...)
#   include/kdautoupdate/{agent,store,...}/   public headers
#   <libdir>/cmake/KDAutoUpdate/              find_package(KDAutoUpdate)
#   <libdir>/pkgconfig/kdautoupdate.pc        pkg-config
#   share/kdautoupdate/_AuResLib.rcc          the resource library, used when a host has none
#                                             beside itself
#   share/kdautoupdate/catalogue/             the sample catalogue of `kdautoupdate serve`
include(CMakePackageConfigHelpers)

set(kdau_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/KDAutoUpdate)

install(TARGETS kdau_library kdau_desktop EXPORT KDAutoUpdateTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# Headers of the core, the platform interfaces and the backends, in their folders.
foreach(folder ${KDAU_CORE_FOLDERS} platform)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/${folder}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kdautoupdate/${folder} COMPONENT Development
    FILES_MATCHING PATTERN "*.h")
endforeach()

install(EXPORT KDAutoUpdateTargets NAMESPACE KDAutoUpdate:: DESTINATION ${kdau_cmake_dir}
  COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/KDAutoUpdateConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KDAutoUpdateConfig.cmake INSTALL_DESTINATION ${kdau_cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KDAutoUpdateConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KDAutoUpdateConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/KDAutoUpdateConfigVersion.cmake DESTINATION ${kdau_cmake_dir}
  COMPONENT Development)

# Relative to the file itself, so the prefix can change at install time (cmake --install --prefix).
file(RELATIVE_PATH kdau_pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/kdautoupdate.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/kdautoupdate.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kdautoupdate.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)

install(FILES ${CMAKE_BINARY_DIR}/bin/_AuResLib.rcc
  DESTINATION ${CMAKE_INSTALL_DATADIR}/kdautoupdate COMPONENT Runtime OPTIONAL)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/service/catalogue/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/kdautoupdate/catalogue COMPONENT Runtime
  USE_SOURCE_PERMISSIONS)

# Installed programs find the libraries relative to themselves, so a prefix can move
# (cmake --install --prefix) and needs no LD_LIBRARY_PATH.
set(KDAU_INSTALL_RPATH_BIN "$ORIGIN/${kdau_bin_to_lib}" PARENT_SCOPE)
set(KDAU_INSTALL_RPATH_PLUGIN "$ORIGIN/.." PARENT_SCOPE)

# cpack -G DEB: one package with the program, the libraries, the headers and the CMake package.
set(CPACK_PACKAGE_NAME kdautoupdate)
set(CPACK_PACKAGE_VENDOR "KDAutoUpdate")
set(CPACK_PACKAGE_CONTACT "KDAutoUpdate developers <kdautoupdate@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Update agent a desktop product embeds, with its SDK")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package holds what this tree was configured for: paths written into installed files
# (the D-Bus service's program) then match where the package puts them.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The libraries the binaries link, as dpkg-shlibdeps finds them; the program's plugins and the
# headers' own needs are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-base-dev, libpugixml-dev, libgumbo-dev")
include(CPack)
