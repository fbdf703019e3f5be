# Installed layout and the Debian package (cpack -G DEB; scripts/package builds it).
include(GNUInstallDirs)

set(NIVARO_PACKAGING_DIR "${CMAKE_SOURCE_DIR}/packaging")
set(NIVARO_GZIP_DIR "${CMAKE_BINARY_DIR}/packaging")
file(MAKE_DIRECTORY "${NIVARO_GZIP_DIR}")

# Debian wants manual pages and the changelog compressed at the highest level, without a time stamp.
function(nivaro_gzip source output)
  add_custom_command(OUTPUT "${NIVARO_GZIP_DIR}/${output}"
    COMMAND gzip -9nc "${source}" > "${NIVARO_GZIP_DIR}/${output}"
    DEPENDS "${source}" VERBATIM)
  list(APPEND NIVARO_GZIPPED "${NIVARO_GZIP_DIR}/${output}")
  set(NIVARO_GZIPPED "${NIVARO_GZIPPED}" PARENT_SCOPE)
endfunction()
nivaro_gzip("${NIVARO_PACKAGING_DIR}/nivaro.1" nivaro.1.gz)
nivaro_gzip("${NIVARO_PACKAGING_DIR}/nivaro-cli.1" nivaro-cli.1.gz)
nivaro_gzip("${NIVARO_PACKAGING_DIR}/changelog" changelog.gz)
add_custom_target(nivaro_packaging_files ALL DEPENDS ${NIVARO_GZIPPED})

install(FILES data/texts_1033.xml data/texts_1031.xml data/texts_1036.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/nivaro)
install(FILES "${NIVARO_GZIP_DIR}/nivaro.1.gz" "${NIVARO_GZIP_DIR}/nivaro-cli.1.gz"
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES "${NIVARO_PACKAGING_DIR}/copyright" "${NIVARO_GZIP_DIR}/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nivaro)
install(FILES "${NIVARO_PACKAGING_DIR}/nivaro-import.service" "${NIVARO_PACKAGING_DIR}/nivaro-import.timer"
        DESTINATION lib/systemd/user)
if(NIVARO_BUILD_GUI)
  install(FILES "${NIVARO_PACKAGING_DIR}/nivaro.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES "${CMAKE_SOURCE_DIR}/src/ui/icons/nivaro.svg"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nivaro)
set(CPACK_PACKAGE_VENDOR "The Nivaro developers")
set(CPACK_PACKAGE_CONTACT "Nivaro developers <nivaro@example.org>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "home weather station software with desktop program and command line")
set(CPACK_PACKAGE_DESCRIPTION
  "Nivaro imports the measurements a home weather station keeps in its
memory over a serial-port adapter into a history file, and shows,
corrects, prints and exports them (text, CSV, SQLite), in English,
German or French. The package holds the Qt desktop program, the
command-line tool nivaro-cli with a built-in station simulator, and a
systemd user timer for an hourly import.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/nivaro")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs (file, print, colour) in German and French come from Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
include(CPack)

if(NIVARO_BUILD_TESTS)
  find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
  if(DESKTOP_FILE_VALIDATE)
    add_test(NAME DesktopEntryValid COMMAND "${DESKTOP_FILE_VALIDATE}" "${NIVARO_PACKAGING_DIR}/nivaro.desktop")
    set_tests_properties(DesktopEntryValid PROPERTIES LABELS packaging)
  endif()
endif()
