# Installation and the packages: the Debian package on Linux; for Windows the portable zip and
# the installer (the windows-packages preset). Included last, so that every program target
# exists. Package times come from SOURCE_DATE_EPOCH (cmake/PlindorReproducible.cmake).
include(GNUInstallDirs)

if(TARGET plindor)
  install(TARGETS plindor RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endif()

if(UNIX AND NOT APPLE)
  set(packaging "${PROJECT_SOURCE_DIR}/packaging")
  # The desktop entry's name, the AppStream id and the program's desktop file name are one.
  set(app_id example.plindor.Plindor)
  install(FILES "${packaging}/linux/${app_id}.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  install(FILES "${packaging}/linux/${app_id}.metainfo.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
  foreach(size 16 32 48 64 128 256)
    install(FILES "${packaging}/icons/hicolor/${size}x${size}/apps/plindor.png"
      DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
  endforeach()
  install(FILES "${packaging}/icons/plindor.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")

  # Manual pages and the changelog go compressed, as Debian has them: gzip -9n stores no name and
  # no time stamp, so the same text always gives the same bytes.
  set(linux_docs "${PROJECT_BINARY_DIR}/linux-docs")
  set(compressed)
  function(plindor_gzip input output)
    add_custom_command(OUTPUT "${output}"
      COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" plindor-gzip "${input}" "${output}"
      DEPENDS "${input}"
      VERBATIM)
    set(compressed ${compressed} "${output}" PARENT_SCOPE)
  endfunction()

  plindor_gzip("${packaging}/linux/changelog" "${linux_docs}/changelog.gz")
  set(doc_dir "${CMAKE_INSTALL_DATADIR}/doc/plindor")
  install(FILES "${linux_docs}/changelog.gz" "${packaging}/linux/copyright"
    DESTINATION "${doc_dir}")
  install(FILES "${packaging}/linux/lintian-overrides"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME plindor)

  if(TARGET plindor)
    configure_file("${packaging}/linux/plindor.1.in" "${linux_docs}/plindor.1" @ONLY)
    plindor_gzip("${linux_docs}/plindor.1" "${linux_docs}/plindor.1.gz")
    install(FILES "${linux_docs}/plindor.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  endif()

  # plindor-cli's page is made from its --help and --version, so it never falls behind them.
  find_program(HELP2MAN help2man)
  if(TARGET plindor-cli AND NOT CMAKE_CROSSCOMPILING)
    if(HELP2MAN)
      # help2man dates the page from SOURCE_DATE_EPOCH.
      add_custom_command(OUTPUT "${linux_docs}/plindor-cli.1"
        COMMAND "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${PLINDOR_SOURCE_DATE_EPOCH}"
                "${HELP2MAN}" --no-info --section=1 "--version-string=${PLINDOR_VERSION_TEXT}"
                "--name=repair Visual Basic 6 projects saved by pre-release builds, in batches"
                "--output=${linux_docs}/plindor-cli.1" $<TARGET_FILE:plindor-cli>
        DEPENDS plindor-cli
        COMMENT "Writing the manual page of plindor-cli"
        VERBATIM)
      plindor_gzip("${linux_docs}/plindor-cli.1" "${linux_docs}/plindor-cli.1.gz")
      install(FILES "${linux_docs}/plindor-cli.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
    else()
      message(WARNING "help2man not found: plindor-cli is installed without its manual page "
                      "(scripts/install-deps installs help2man)")
    endif()
  endif()
  add_custom_target(plindor_linux_docs ALL DEPENDS ${compressed})
endif()

set(CPACK_PACKAGE_NAME plindor)
set(CPACK_PACKAGE_VENDOR "${PLINDOR_COMPANY_NAME}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "repair Visual Basic 6 projects saved by pre-release builds")
set(CPACK_PACKAGE_DESCRIPTION [[
Projects saved by pre-release builds of Visual Basic 6 name three ActiveX
control libraries under type-library identifiers that the released product
does not know, so it refuses to load their forms. Plindor rewrites those
references in a project file (.vbp) and in every form (.frm) and user control
(.ctl) the project lists, in place, and shows a log of what it did.

The package holds the window program, plindor, and plindor-cli, which repairs
many projects at once from a terminal or a script and can show the changes as
a unified diff first.]])
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PLINDOR_COMPANY_NAME} <packages@plindor.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The Qt libraries the program links come in as dependencies, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")

if(WIN32)
  # The readme is plain text for Notepad: CRLF line ends.
  set(VERSION "${PROJECT_VERSION}")
  configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/README.txt" "${PROJECT_BINARY_DIR}/README.txt"
    @ONLY NEWLINE_STYLE CRLF)
  install(FILES "${PROJECT_BINARY_DIR}/README.txt" DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "plindor-${PROJECT_VERSION}-win64")
  # The installer: CMake 3.25's own NSIS template makes a 32-bit installer with no hook for the
  # page captions or the uninstaller's temporary copy, so the project keeps its script.
  foreach(field COMPANY_NAME LEGAL_COPYRIGHT)
    string(REPLACE "\"" "$\\\"" PLINDOR_NSIS_${field} "${PLINDOR_${field}}")
  endforeach()
  set(PLINDOR_NSIS_PUBLISHER "${PLINDOR_NSIS_COMPANY_NAME}")
  set(PLINDOR_NSIS_COPYRIGHT "${PLINDOR_NSIS_LEGAL_COPYRIGHT}")
  set(PLINDOR_NSIS_ICON "${PROJECT_SOURCE_DIR}/packaging/icons/plindor.ico")
  configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/installer.nsi.in"
    "${PROJECT_BINARY_DIR}/installer.nsi" @ONLY)
  find_program(PLINDOR_MAKENSIS makensis)
  set(CPACK_PLINDOR_MAKENSIS "${PLINDOR_MAKENSIS}")
  set(CPACK_PLINDOR_INSTALLER_SCRIPT "${PROJECT_BINARY_DIR}/installer.nsi")
  set(CPACK_PLINDOR_SETUP "${PROJECT_BINARY_DIR}/${CPACK_PACKAGE_FILE_NAME}-setup.exe")
endif()
# Before packing: strip the programs as Debian does (no symbols, no .comment or .note section),
# give every file the source's time, and on Windows build the installer from the same files.
set(CPACK_PLINDOR_STRIP "${CMAKE_STRIP}")
set(CPACK_PLINDOR_SOURCE_DATE_EPOCH "${PLINDOR_SOURCE_DATE_EPOCH}")
set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/checks/prepare_package.cmake")
set(CPACK_POST_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/checks/sort_archive.cmake")
# CPack reads SOURCE_DATE_EPOCH for the times inside the Debian package's archives.
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/checks/package_time.cmake")
include(CPack)

# The packages' own checks, run by the deb and windows-packages workflows after cpack.
if(PLINDOR_PACKAGE_CHECKS AND WIN32 AND PLINDOR_WINE_FIXTURE)
  list(JOIN CMAKE_CROSSCOMPILING_EMULATOR "|" emulator)
  add_test(NAME installer_install_uninstall
    COMMAND "${CMAKE_COMMAND}" "-DSETUP=${CPACK_PLINDOR_SETUP}" "-DEMULATOR=${emulator}"
            "-DWINESERVER=${PLINDOR_WINESERVER}" "-DPREFIX=${PLINDOR_WINE_PREFIX}"
            -P "${PROJECT_SOURCE_DIR}/cmake/checks/installer.cmake")
  set_tests_properties(installer_install_uninstall PROPERTIES FIXTURES_REQUIRED wine)
elseif(PLINDOR_PACKAGE_CHECKS AND UNIX)
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(deb "${PROJECT_BINARY_DIR}/plindor_${PROJECT_VERSION}_${arch}.deb")
  # Every tag counts: errors, warnings, informational, pedantic and experimental ones. lintian
  # hides informational and experimental tags unless asked, and a hidden tag fails nothing.
  add_test(NAME deb_lintian
    COMMAND lintian --pedantic --display-info --display-experimental --info
            --fail-on error,warning,info,pedantic,experimental "${deb}")
  add_test(NAME deb_appstream
    COMMAND appstreamcli validate --no-net "${packaging}/linux/${app_id}.metainfo.xml")
  add_test(NAME deb_desktop_entry COMMAND desktop-file-validate "${packaging}/linux/${app_id}.desktop")
  # The package's lintian override would hide a build without fortify: built with the programs'
  # flags, a probe must come out calling a checked function.
  add_library(plindor_fortify_probe OBJECT "${PROJECT_SOURCE_DIR}/cmake/checks/fortify_probe.cpp")
  add_test(NAME deb_fortify COMMAND "${CMAKE_NM}" --undefined-only $<TARGET_OBJECTS:plindor_fortify_probe>)
  set_tests_properties(deb_fortify PROPERTIES PASS_REGULAR_EXPRESSION "__read_chk")
  add_test(NAME deb_contents
    COMMAND "${CMAKE_COMMAND}" "-DDEB=${deb}" -P "${PROJECT_SOURCE_DIR}/cmake/checks/deb_contents.cmake")
endif()
