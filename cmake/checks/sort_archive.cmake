# Run by cpack after it packs (CPACK_POST_BUILD_SCRIPTS): packs each zip it made again, the same
# files with their entries in sorted order (cpack adds them in the order the file system lists
# them) and no extra fields (cpack's carry each file's access and change times, which differ
# between builds). The files' times are the source's already (prepare_package.cmake).
get_filename_component(top "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.zip$")
    continue()
  endif()
  file(GLOB_RECURSE entries RELATIVE "${top}" "${CPACK_TEMPORARY_DIRECTORY}/*")
  if(NOT entries)
    message(FATAL_ERROR "no files to pack in ${CPACK_TEMPORARY_DIRECTORY}")
  endif()
  list(SORT entries)
  list(JOIN entries "\n" list)
  file(WRITE "${top}/entries.txt" "${list}\n")
  file(REMOVE "${package}")
  # A zip's times are local times: UTC, so that every machine writes the same.
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC zip -q -X -D "${package}" -@
    INPUT_FILE "${top}/entries.txt" WORKING_DIRECTORY "${top}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
