# What `cmake --install` puts where, and the packages CPack makes of it:
# the Windows build a zip to unpack anywhere, the Linux build a .deb.
set(CPACK_PACKAGE_NAME velko)
set(CPACK_PACKAGE_VENDOR "VELKO developers")
set(CPACK_PACKAGE_CONTACT "VELKO developers <velko@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Converts Japanese text and mail files between Shift_JIS and JIS")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS velko RUNTIME DESTINATION .)
  if(TARGET velko-cli)
    install(TARGETS velko-cli RUNTIME DESTINATION .)
  endif()
  install(FILES res/README-windows.txt DESTINATION . RENAME README.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME velko-${PROJECT_VERSION}-win64)
else()
  install(TARGETS velko-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${VELKO_JA_MO} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/ja/LC_MESSAGES)
  configure_file(docs/velko-cli.1.in ${PROJECT_BINARY_DIR}/velko-cli.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/velko-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  if(TARGET velko)
    install(TARGETS velko RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES res/velko.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    foreach(size 32 48)
      install(FILES res/velko-${size}.png RENAME velko.png
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
  endif()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # FLTK and the C++ runtime come from dpkg-shlibdeps; the window's labels need the font.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-ipafont-gothic)
  # The summary above is the first line; CPack indents these.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "VELKO converts Japanese text and mail files in Shift_JIS (code page 932)
and 7-bit JIS (ISO-2022-JP): Shift_JIS to JIS and back, NEC ruled-line
characters to JIS ones and back, in place with a .BAK backup; it expands
Base64 MIME encoded words and saves the Base64 attachments of mails.
velko is the window, velko-cli the same commands for scripts.")
endif()
include(CPack)
