# The cross build's checks of the real programs under Wine, beside the test suites: each
# program's version record and icon, plindor-cli on a sample project, and one repair through the
# real plindor.exe and the system's file-open dialog. Included last, so the programs exist.
if(NOT (BUILD_TESTING AND PLINDOR_WINE_FIXTURE))
  return()
endif()
set(checks "${PROJECT_SOURCE_DIR}/cmake/checks")

find_program(PLINDOR_OBJDUMP ${PLINDOR_MINGW_TRIPLET}-objdump REQUIRED)
set(record_values
  "-DOBJDUMP=${PLINDOR_OBJDUMP}" "-DLANGUAGE=${PLINDOR_LANGUAGE}"
  "-DCOMPANY_NAME=${PLINDOR_COMPANY_NAME}" "-DDESCRIPTION=${PLINDOR_DESCRIPTION}"
  "-DVERSION_TEXT=${PLINDOR_VERSION_TEXT}" "-DLEGAL_COPYRIGHT=${PLINDOR_LEGAL_COPYRIGHT}"
  "-DPRODUCT_NAME=${PLINDOR_PRODUCT_NAME}" "-DVERSION=${PROJECT_VERSION}")
foreach(program plindor plindor-cli)
  if(NOT TARGET ${program})
    continue()
  endif()
  set(internal_name "${PLINDOR_INTERNAL_NAME}")
  set(original_filename "${PLINDOR_ORIGINAL_FILENAME}")
  if(program STREQUAL "plindor-cli")
    set(internal_name "${PLINDOR_CLI_INTERNAL_NAME}")
    set(original_filename "${PLINDOR_CLI_ORIGINAL_FILENAME}")
  endif()
  add_test(NAME version_record_${program}
    COMMAND "${CMAKE_COMMAND}" "-DPROGRAM=$<TARGET_FILE:${program}>" ${record_values}
            "-DINTERNAL_NAME=${internal_name}" "-DORIGINAL_FILENAME=${original_filename}"
            -P "${checks}/version_record.cmake")
endforeach()

list(JOIN CMAKE_CROSSCOMPILING_EMULATOR "|" emulator)
foreach(case version diff repair missing_form non_ascii_folder windows_1252_name group)
  add_test(NAME cli_sample_${case}
    COMMAND "${CMAKE_COMMAND}" "-DCLI=$<TARGET_FILE:plindor-cli>" "-DEMULATOR=${emulator}"
            "-DVERSION_LINE=${PLINDOR_PRODUCT_NAME} ${PLINDOR_VERSION_TEXT}"
            "-DWORK=${PROJECT_BINARY_DIR}/cli-sample" "-DCASE=${case}"
            -P "${checks}/cli_sample_run.cmake")
  set_tests_properties(cli_sample_${case} PROPERTIES FIXTURES_REQUIRED wine)
endforeach()

# The real dialog needs a display: a private X server, and a Wine prefix of its own set to the
# X11 driver, so the other tests keep theirs. Alone, as keys typed into it must not be slowed.
if(TARGET plindor AND TARGET window-text)
  find_program(PLINDOR_XVFB_RUN xvfb-run REQUIRED)
  add_test(NAME windows_dialog_run
    COMMAND "${PLINDOR_XVFB_RUN}" -a -e /dev/stderr -s "-screen 0 1024x768x24 -nolisten tcp"
            env "WINEPREFIX=${PROJECT_BINARY_DIR}/wineprefix-x11" LC_ALL=C.UTF-8
            "${PROJECT_SOURCE_DIR}/scripts/check-windows-dialog"
            "$<TARGET_FILE:plindor>" "$<TARGET_FILE:window-text>" "${PROJECT_BINARY_DIR}/dialog-run")
  set_tests_properties(windows_dialog_run PROPERTIES RUN_SERIAL ON TIMEOUT 300)
endif()
