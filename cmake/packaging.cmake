# The Debian package: `cpack -G DEB` in the build folder. What goes in is
# what the install rules name; the library dependencies are computed by
# dpkg-shlibdeps from the programs themselves.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrum)
set(CPACK_PACKAGE_VENDOR Quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for Quorvel motor controllers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvel.com/kestrum")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorvel Service Tools <tools@quorvel.com>")
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kestrum finds a Quorvel battery-powered DC motor controller on a serial
port, shows its model and serial number, and reads, changes and writes its
settings and throttle response. It watches and logs live readings, loads
new controller firmware and saves the controller's error log.

kestrum-sim, a simulated controller on a pseudo-terminal, lets you try the
tool without hardware.")
include(CPack)

# What Debian asks of every package: the copyright, the changelog and a
# manual page per program, the last two compressed reproducibly (-n: no
# name or time stamp inside).
include(GNUInstallDirs)
set(debian_files "${PROJECT_SOURCE_DIR}/resources/debian")
set(packaged "${CMAKE_BINARY_DIR}/packaged")
file(MAKE_DIRECTORY "${packaged}")
foreach(file changelog kestrum.1 kestrum-sim.1 kestrum-cli.1)
    execute_process(COMMAND gzip -9nc "${debian_files}/${file}"
                    OUTPUT_FILE "${packaged}/${file}.gz" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${debian_files}/changelog"
                                                              "${debian_files}/kestrum.1"
                                                              "${debian_files}/kestrum-sim.1"
                                                              "${debian_files}/kestrum-cli.1")
install(FILES "${debian_files}/copyright" "${packaged}/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrum)
install(FILES "${packaged}/kestrum.1.gz" "${packaged}/kestrum-sim.1.gz"
              "${packaged}/kestrum-cli.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
