# The Debian package: `cpack -G DEB` in a build folder makes va5vivi_<version>_amd64.deb with the
# window, the command-line tool, the simulator, the language files, the desktop entry, the icons
# and the man pages, installed under /usr.

# Man pages, compressed as Debian keeps them.
find_program(VA5VIVI_GZIP gzip)
if(VA5VIVI_GZIP)
  set(man_pages)
  foreach(page va5vivi-cli.1 va5vivi-sim.1)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND ${VA5VIVI_GZIP} -9nc ${CMAKE_SOURCE_DIR}/resources/man/${page} > ${compressed}
      DEPENDS ${CMAKE_SOURCE_DIR}/resources/man/${page}
      COMMENT "Compressing the man page ${page}")
    list(APPEND man_pages ${compressed})
  endforeach()
  add_custom_target(va5vivi_man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

foreach(size 48 128)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/va5vivi-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME va5vivi.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/va5vivi)

set(CPACK_PACKAGE_NAME va5vivi)
set(CPACK_PACKAGE_VENDOR "Kerrin")
set(CPACK_PACKAGE_CONTACT "VA5VIVI developers <va5vivi@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator for two-wire HART temperature transmitters")
set(CPACK_PACKAGE_DESCRIPTION
    "VA5VIVI configures two-wire HART temperature transmitters through a HART modem on a serial\n"
    "port: it finds the device by its polling address, uploads its identity and configuration,\n"
    "writes changes, trims sensor input and output current, forces a fixed current, runs the\n"
    "self test, shows the live values and moves the device's user tables between device, text\n"
    "files and a graph, in English and Japanese. The package holds the window (va5vivi), the\n"
    "command-line tool (va5vivi-cli) and a simulated transmitter for training (va5vivi-sim).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the programs' own links (dpkg-shlibdeps); Qt's platform plugins and
# the Japanese texts of Qt's dialogs are not linked, so they are named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
include(CPack)
