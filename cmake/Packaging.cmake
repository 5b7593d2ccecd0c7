# The Debian package: `cpack -G DEB` in the build folder makes
# telvane_<version>_amd64.deb. What the desktop needs (menu entry, icons,
# AppStream metainfo, manual pages, Debian's copyright and changelog) is
# prepared at build time by the target telvane_package_data; the icon sizes
# are rendered from the SVG drawing, never scaled up from the bitmap.
include(GNUInstallDirs)

set(TELVANE_APP_ID "jp.maruvo.Telvane")
set(TELVANE_RELEASE_DATE "2026-12-07")
set(TELVANE_LICENSE_SPDX "LicenseRef-proprietary")
set(TELVANE_SCREENSHOT_URL "https://maruvo.jp/telvane/screenshot.png"
    CACHE STRING "Where docs/screenshot.png is published, for the AppStream metainfo")

set(_pkg_src ${PROJECT_SOURCE_DIR}/packaging/linux)
set(_pkg_out ${CMAKE_BINARY_DIR}/packaging)

find_program(TELVANE_RSVG_CONVERT rsvg-convert)
find_program(TELVANE_GZIP gzip)
if(NOT TELVANE_RSVG_CONVERT OR NOT TELVANE_GZIP)
  message(WARNING "rsvg-convert (librsvg2-bin) or gzip missing: no package can be made")
  return()
endif()

set(_pkg_files)

# Icons of the hicolor theme, rendered from the drawing.
foreach(size 16 32 48 64 128 256)
  set(png ${_pkg_out}/icons/${size}x${size}/${TELVANE_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_pkg_out}/icons/${size}x${size}
      COMMAND ${TELVANE_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${_pkg_src}/telvane.svg
      DEPENDS ${_pkg_src}/telvane.svg
      COMMENT "Rendering the ${size}x${size} icon")
  list(APPEND _pkg_files ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${_pkg_src}/telvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${TELVANE_APP_ID}.svg)

# Manual pages and the changelog, compressed as Debian wants them: gzip -9,
# no name or time stamp inside.
foreach(page telvane.1 ta-sim.1 telvaned.8 changelog)
  set(gz ${_pkg_out}/${page}.gz)
  add_custom_command(OUTPUT ${gz}
      COMMAND ${TELVANE_GZIP} -9nc ${_pkg_src}/${page} > ${gz}
      DEPENDS ${_pkg_src}/${page}
      VERBATIM)
  list(APPEND _pkg_files ${gz})
endforeach()
install(FILES ${_pkg_out}/telvane.1.gz ${_pkg_out}/ta-sim.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg_out}/telvaned.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
# The system service: installed, not enabled (no maintainer script enables
# it). Debian 12 keeps units in /lib, not /usr/lib.
install(FILES ${_pkg_src}/telvaned.service DESTINATION /lib/systemd/system)
install(FILES ${_pkg_out}/changelog.gz ${_pkg_src}/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/telvane)

configure_file(${_pkg_src}/${TELVANE_APP_ID}.metainfo.xml.in
    ${_pkg_out}/${TELVANE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_pkg_out}/${TELVANE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_pkg_src}/${TELVANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

add_custom_target(telvane_package_data ALL DEPENDS ${_pkg_files})

install(TARGETS telvane telvaned ta-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The plugins (libphonenumber's, MQTT's), private to the program, found from
# it as ../lib/telvane/plugins (a folder of its own: no ldconfig for it).
foreach(_plugin telvane_phonenumber telvane_mqtt)
  if(TARGET ${_plugin})
    install(TARGETS ${_plugin} LIBRARY DESTINATION lib/telvane/plugins)
  endif()
endforeach()

# Installing and packaging build only what they install (scripts/test-package.sh
# builds those targets first), not every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Telvane developers <telvane@maruvo.jp>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "show the last caller on an ISDN line")
# The summary is the synopsis; this is the extended description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Telvane is a small always-on-top window that shows the number of the last
caller on an ISDN line and the time the call was detected. It asks an ISDN
terminal adapter on a serial port for its diagnosis listing at an interval
from 15 seconds to 30 minutes, and can write every caller to a call log.
.
telvaned does the same without a desktop, for a home server: its lines go
to the journal, and a system service (not enabled) runs it with settings in
/etc/telvane.
.
The package also holds ta-sim, a simulated terminal adapter on a
pseudo-terminal, for trying Telvane without a line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the binaries, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Japanese interface wants a Japanese face; any of these serves.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
