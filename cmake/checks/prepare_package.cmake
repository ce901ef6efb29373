# Run by cpack on the installed files before it packs them (CPACK_PRE_BUILD_SCRIPTS): strips the
# programs as Debian does, gives every file and folder the source's time, and for Windows builds
# the installer from the same files, beside the zip.
set(stage "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB programs LIST_DIRECTORIES false "${stage}/usr/bin/*" "${stage}/*.exe")
if(NOT programs)
  message(FATAL_ERROR "no programs to strip in ${stage}")
endif()
foreach(program IN LISTS programs)
  execute_process(
    COMMAND "${CPACK_PLINDOR_STRIP}" --remove-section=.comment --remove-section=.note
            --strip-unneeded "${program}"
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND find "${stage}" -exec touch -h -d "@${CPACK_PLINDOR_SOURCE_DATE_EPOCH}" {} +
                COMMAND_ERROR_IS_FATAL ANY)

if(CPACK_PLINDOR_INSTALLER_SCRIPT)
  if(NOT CPACK_PLINDOR_MAKENSIS)
    message(FATAL_ERROR "makensis not found: scripts/install-deps --windows installs NSIS")
  endif()
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${CPACK_PLINDOR_SOURCE_DATE_EPOCH}"
            "${CPACK_PLINDOR_MAKENSIS}" -V2 -NOCD "-DSTAGE=${stage}" "-DOUTFILE=${CPACK_PLINDOR_SETUP}"
            "${CPACK_PLINDOR_INSTALLER_SCRIPT}"
    COMMAND_ERROR_IS_FATAL ANY)
  message(STATUS "Installer ${CPACK_PLINDOR_SETUP} generated.")
endif()
