# Installation (cmake --install, make install) and the Debian package (make package).
include(GNUInstallDirs)

set(tola_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(tola_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/tola-utility)
set(tola_app_id org.example.TolaUtility)

install(TARGETS tola tola400-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md src/resources/Licence.rtf DESTINATION ${tola_docdir})
install(FILES ${tola_packaging}/tola.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME tola)

if(TARGET tola-utility)
  install(TARGETS tola-utility RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${tola_packaging}/tola-utility.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  # The menu shows the same drawing as the window's title bar.
  install(FILES src/resources/icons/tola-utility.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

  # Software centres show screenshots only from the web: they are listed once the address where
  # docs/screenshots/ is published is given.
  set(TOLA_SCREENSHOT_BASE_URL "" CACHE STRING
      "Web address of the published docs/screenshots/ folder, for the AppStream metainfo (empty: none listed)")
  set(TOLA_METAINFO_SCREENSHOTS "")
  if(TOLA_SCREENSHOT_BASE_URL)
    string(REGEX REPLACE "/+$" "" base "${TOLA_SCREENSHOT_BASE_URL}")
    set(shots
        "main-port|The Port page after the port test found the amplifier"
        "main-firmware|The Firmware page"
        "sending-firmware|Sending firmware to the amplifier"
        "main-operate-live|The Operate page polling the amplifier"
        "main-configuration|The Configuration page"
        "fault-table|The amplifier's fault table")
    set(type " type=\"default\"")
    string(APPEND TOLA_METAINFO_SCREENSHOTS "  <screenshots>\n")
    foreach(shot IN LISTS shots)
      string(REPLACE "|" ";" parts "${shot}")
      list(GET parts 0 file)
      list(GET parts 1 caption)
      string(APPEND TOLA_METAINFO_SCREENSHOTS
             "    <screenshot${type}>\n"
             "      <caption>${caption}</caption>\n"
             "      <image>${base}/${file}.png</image>\n"
             "    </screenshot>\n")
      set(type "")
    endforeach()
    string(APPEND TOLA_METAINFO_SCREENSHOTS "  </screenshots>\n")
  endif()
  configure_file(${tola_packaging}/tola-utility.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/packaging/${tola_app_id}.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${tola_app_id}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
endif()

# Man pages from each program's own --help, so they never list an option that is gone. The version
# is given rather than read: `tola --version` begins with the maker's name, which help2man would
# take for the program's. The desktop program's help text names the settings file: the variable
# stands in for the build user's home.
find_program(TOLA_HELP2MAN help2man)
if(TOLA_HELP2MAN)
  set(man_programs tola tola400-sim)
  set(man_name_tola "look after a TOLA400 amplifier from the command line")
  set(man_name_tola400-sim "a TOLA400 amplifier simulated on a pseudo-terminal")
  if(TARGET tola-utility)
    list(APPEND man_programs tola-utility)
    set(man_name_tola-utility "the desktop program that looks after a TOLA400 amplifier")
  endif()
  # `man tola` also holds each command's own help.
  set(tola_commands ${PROJECT_BINARY_DIR}/packaging/tola-commands.h2m)
  add_custom_command(
    OUTPUT ${tola_commands}
    COMMAND bash ${tola_packaging}/tola-commands-man.sh $<TARGET_FILE:tola> ${tola_commands}
    DEPENDS tola ${tola_packaging}/tola-commands-man.sh
    VERBATIM)
  set(man_include_tola --include=${tola_commands})
  set(man_depends_tola ${tola_commands})
  set(man_pages "")
  foreach(program IN LISTS man_programs)
    set(page ${PROJECT_BINARY_DIR}/packaging/${program}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              "TOLA_SETTINGS=$XDG_CONFIG_HOME/Ostravel/TOLA Utility.reg"
              ${TOLA_HELP2MAN} --no-info --section=1 "--name=${man_name_${program}}"
              "--source=TOLA Utility ${PROJECT_VERSION}" ${man_include_${program}}
              "--version-string=${program} ${PROJECT_VERSION}" --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${man_depends_${program}}
      COMMENT "Writing the man page of ${program}"
      VERBATIM)
    list(APPEND man_pages ${page}.gz)
  endforeach()
  add_custom_target(tola-man-pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no man pages (scripts/install-deps.sh installs it)")
endif()

# The Debian package. Its library dependencies come from the binaries (dpkg-shlibdeps); listed by
# hand are only what the program loads or asks for at run time: the SVG plugins that draw its icons,
# and the fonts behind "Courier New" (the log pane, the Command Tester) through fontconfig's aliases.
set(TOLA_PACKAGE_MAINTAINER "TOLA Utility maintainers <tola-utility@example.org>" CACHE STRING
    "Maintainer line of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tola-utility)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "look after a TOLA400 HF amplifier over its serial line")
# CPack puts the summary on the first line itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The TOLA Utility finds and tests the serial connection to a TOLA400 HF power
amplifier, loads new firmware through its bootstrap loader, saves and restores
its configuration, reads its fault log, erases its tuner's memories, sends raw
commands and watches and controls the amplifier live.
.
It holds the desktop program (tola-utility), the same operations on the command
line (tola) and a simulated amplifier on a pseudo-terminal (tola400-sim).")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TOLA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation | fonts-liberation2")
if(TARGET tola-utility)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libqt6svg6")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
