# What `cmake --install` puts where, and the packages CPack makes of it:
# the Windows build a zip to unpack anywhere, the Linux build a .deb.
set(CPACK_PACKAGE_NAME velko)
set(CPACK_PACKAGE_VENDOR "VELKO developers")
# The maintainer as Debian's tools take it from the environment (DEBFULLNAME, DEBEMAIL), with a
# default that names a real mail domain.
set(VELKO_MAINTAINER "VELKO developers <velko@example.org>")
if(DEFINED ENV{DEBEMAIL} AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
  if("$ENV{DEBEMAIL}" MATCHES "<")
    set(VELKO_MAINTAINER "$ENV{DEBEMAIL}")
  elseif(DEFINED ENV{DEBFULLNAME} AND NOT "$ENV{DEBFULLNAME}" STREQUAL "")
    set(VELKO_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
  endif()
endif()
set(CPACK_PACKAGE_CONTACT "${VELKO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Japanese text and mail converter: Shift_JIS, ISO-2022-JP, EUC-JP, UTF-8")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS velko RUNTIME DESTINATION .)
  if(TARGET velko-cli)
    install(TARGETS velko-cli RUNTIME DESTINATION .)
  endif()
  install(FILES res/README-windows.txt DESTINATION . RENAME README.txt)
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME velko-${PROJECT_VERSION}-win64)
else()
  install(TARGETS velko-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${VELKO_JA_MO} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/ja/LC_MESSAGES)
  # Where bash-completion and zsh look for a command's completion.
  install(FILES res/completion/velko-cli.bash RENAME velko-cli
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  install(FILES res/completion/_velko-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
  # Manual pages and the changelog gzipped as Debian has them: -9, no name or time inside.
  find_program(VELKO_GZIP gzip REQUIRED)
  set(docs ${PROJECT_BINARY_DIR}/docs)
  set(pages velko-cli.1)
  if(TARGET velko)
    list(APPEND pages velko.1)
  endif()
  set(zipped)
  foreach(page IN LISTS pages)
    configure_file(docs/${page}.in ${docs}/${page} @ONLY)
    # The Japanese page under the same name, in a folder of its own (man -L ja).
    string(REGEX REPLACE "\\.1$" ".ja.1" ja ${page})
    configure_file(docs/${ja}.in ${docs}/ja/${page} @ONLY)
    list(APPEND zipped ${docs}/${page}.gz ${docs}/ja/${page}.gz)
  endforeach()
  configure_file(res/changelog.in ${docs}/changelog @ONLY)
  list(APPEND zipped ${docs}/changelog.gz)
  foreach(gz IN LISTS zipped)
    string(REGEX REPLACE "\\.gz$" "" plain ${gz})
    add_custom_command(OUTPUT ${gz} COMMAND ${VELKO_GZIP} -9nkf ${plain} DEPENDS ${plain} VERBATIM)
  endforeach()
  add_custom_target(velko_docs ALL DEPENDS ${zipped})
  foreach(page IN LISTS pages)
    install(FILES ${docs}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${docs}/ja/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
  endforeach()
  install(FILES ${docs}/changelog.gz res/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  if(TARGET velko)
    install(TARGETS velko RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES res/velko.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    foreach(size 16 32 48 64 128 256)
      install(FILES res/icons/velko-${size}.png RENAME velko.png
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    install(FILES res/icons/velko.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  endif()
  # The compiler's notes (.comment) are of no use in an installed program.
  foreach(program velko velko-cli)
    if(TARGET ${program} AND CMAKE_OBJCOPY)
      add_custom_command(TARGET ${program} POST_BUILD VERBATIM
                         COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:${program}>)
    endif()
  endforeach()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # FLTK and the C++ runtime come from dpkg-shlibdeps; the window's labels need the font.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-japanese-gothic")
  # The summary above is the first line; CPack indents these.
  # What people search for (apt search UTF-8, Shift_JIS, PC-98, attachments) is in these words.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "VELKO converts Japanese text and mail files between Shift_JIS (code page
932, as Windows writes it), 7-bit JIS (ISO-2022-JP, as mail carries it),
EUC-JP and UTF-8, in place with a .BAK backup or as a filter. It exchanges
the NEC (PC-98) ruled-line characters for the JIS ones and back, expands
Base64 MIME encoded words, and saves the attachments of mails, mboxes and
Maildirs (Base64, quoted-printable, uuencode) under their decoded names.
velko is the window, velko-cli the same commands for scripts, with manual
pages in English and Japanese and completion for bash and zsh.")
endif()
# The library and its headers are for building other programs: not in the packages.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};Unspecified;/")
include(CPack)
