# Installation and the Debian package. Included last, so that every program target exists.
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

  if(TARGET plindor)
    configure_file("${packaging}/linux/plindor.1.in" "${linux_docs}/plindor.1" @ONLY)
    plindor_gzip("${linux_docs}/plindor.1" "${linux_docs}/plindor.1.gz")
    install(FILES "${linux_docs}/plindor.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  endif()

  # plindor-cli's page is made from its --help and --version, so it never falls behind them.
  find_program(HELP2MAN help2man)
  if(TARGET plindor-cli AND NOT CMAKE_CROSSCOMPILING)
    if(HELP2MAN)
      add_custom_command(OUTPUT "${linux_docs}/plindor-cli.1"
        COMMAND "${HELP2MAN}" --no-info --section=1 "--version-string=${PLINDOR_VERSION_TEXT}"
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
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PLINDOR_COMPANY_NAME} <packages@plindor.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The Qt libraries the program links come in as dependencies, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
include(CPack)
