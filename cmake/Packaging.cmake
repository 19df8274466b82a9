# Installation layout and the Debian package (`make package`): the programs in /usr/bin, the
# text recogniser in /usr/lib/<multiarch>/vantorel, desktop entry, MIME type, thumbnailer,
# icons, AppStream data and the user documents.
include(GNUInstallDirs)

set(VANTOREL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VANTOREL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantorel)

install(TARGETS tarvex tarvex-cli tarvex-thumbnailer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tarvexinst)
  install(TARGETS tarvexinst RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The text recogniser the programs load on first use, from the library folder beside theirs.
install(TARGETS tarvex-ocr-engine LIBRARY DESTINATION ${VANTOREL_ENGINE_INSTALL_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The menu's and file manager's way in: the viewer started in a program folder of the user's own.
install(PROGRAMS ${VANTOREL_PACKAGING_DIR}/tarvex-launch DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vantorel)
install(FILES ${VANTOREL_PACKAGING_DIR}/tarvex.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${VANTOREL_PACKAGING_DIR}/tarvex-mime.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages
        RENAME tarvex.xml)
install(FILES ${VANTOREL_PACKAGING_DIR}/tarvex.thumbnailer DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/thumbnailers)
install(FILES ${VANTOREL_PACKAGING_DIR}/com.quorvane.vantorel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
foreach(size 16 22 24 32 48 64 128 256 512)
  install(FILES ${VANTOREL_PACKAGING_DIR}/icons/tarvex-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps RENAME tarvex.png)
endforeach()
install(FILES ${VANTOREL_PACKAGING_DIR}/icons/tarvex.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

# The help page, manual and read-me, as the helpdocs target makes them.
install(FILES ${VANTOREL_HELP_FILES} DESTINATION ${VANTOREL_DOC_DIR})
install(FILES ${VANTOREL_PACKAGING_DIR}/copyright DESTINATION ${VANTOREL_DOC_DIR})

# Debian wants the changelog and manual pages compressed reproducibly (no name, no time).
find_program(VANTOREL_GZIP gzip REQUIRED)
set(VANTOREL_MAN_PAGES tarvex tarvex-cli tarvex-thumbnailer)
if(TARGET tarvexinst)
  list(APPEND VANTOREL_MAN_PAGES tarvexinst)
endif()
set(packaging_outputs ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
  COMMAND ${VANTOREL_GZIP} -9nc ${VANTOREL_PACKAGING_DIR}/changelog > ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${VANTOREL_PACKAGING_DIR}/changelog)
foreach(page ${VANTOREL_MAN_PAGES})
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.1.gz)
  add_custom_command(
    OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND ${VANTOREL_GZIP} -9nc ${VANTOREL_PACKAGING_DIR}/man/${page}.1 > ${gz}
    DEPENDS ${VANTOREL_PACKAGING_DIR}/man/${page}.1)
  list(APPEND packaging_outputs ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${packaging_outputs})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${VANTOREL_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantorel)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_VERSION 15.05.01)
set(CPACK_PACKAGE_CONTACT "Quorvane <support@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fax viewer and toolbox for PCX and DCX files")
# CPack puts the summary first and indents these lines; an empty line becomes " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Vantorel shows faxes kept as PCX pages and DCX multi-page containers: page
through a fax, zoom and scroll it, and print a range of its pages. Its tools
split a DCX into pages, build new faxes from pages, join pages into one long
page, collect pages from several faxes and export a fax as a Group 3 TIFF and
a Group 4 PDF, searchable through a layer of recognised text.

The package also holds tarvex-cli, the toolbox without a window (with batch
export of whole fax archives), a thumbnailer for file managers and the
installer tarvexinst.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.quorvane.example/vantorel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The library comes through dpkg-shlibdeps (from the recogniser's module); the English
# language data is what text recognition uses unless told otherwise.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tesseract-ocr-eng")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR OFF)
include(CPack)
