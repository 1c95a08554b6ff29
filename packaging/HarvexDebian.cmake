# The Debian package: cpack -G DEB in the build folder gives
# PACKAGE_VERSION_ARCH.deb. Its dependencies come from dpkg-shlibdeps.

set(HARVEX_MAINTAINER "Harvex developers <harvex@example.org>"
  CACHE STRING "The package's maintainer, as Debian writes it: Name <address>")
string(TIMESTAMP HARVEX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nkf ${CMAKE_CURRENT_BINARY_DIR}/changelog
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog VERBATIM)
add_custom_target(harvex_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz copyright ${CMAKE_SOURCE_DIR}/README.md
  DESTINATION ${HARVEX_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${HARVEX_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${HARVEX_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these as plug-ins at run time, where dpkg-shlibdeps cannot see
# them: the catalogue is SQLite through Qt's driver.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue of FTP servers to browse and search offline")
set(summary_cli "Harvex logs on to FTP servers, walks their whole directory trees and keeps
one row per file and folder in a local SQL catalogue (SQLite, or a shared
PostgreSQL database), so that what is on the servers can be searched while
offline. harvex-cli scans, finds, lists duplicates and runs SQL from the
command line; a systemd user timer rescans the catalogued hosts daily.")
if(HARVEX_GUI)
  # The headless package holds harvex-cli too: one or the other is installed.
  set(CPACK_DEBIAN_PACKAGE_PROVIDES "harvex-cli")
  set(CPACK_DEBIAN_PACKAGE_CONFLICTS "harvex-cli")
  set(CPACK_DEBIAN_PACKAGE_REPLACES "harvex-cli")
  set(CPACK_PACKAGE_DESCRIPTION "${summary_cli}
.
This package holds the desktop program, harvex, and the command-line twin.")
else()
  set(CPACK_DEBIAN_PACKAGE_CONFLICTS "harvex")
  set(CPACK_DEBIAN_PACKAGE_REPLACES "harvex")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CPACK_PACKAGE_DESCRIPTION_SUMMARY} (command line only)")
  set(CPACK_PACKAGE_DESCRIPTION "${summary_cli}
.
This package holds harvex-cli alone, without the desktop program and Qt
Widgets, for servers.")
endif()
include(CPack)
