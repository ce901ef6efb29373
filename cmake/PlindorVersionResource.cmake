# plindor_add_version_resource(<target> [INTERNAL_NAME <name>] [ORIGINAL_FILENAME <file>])
# On Windows, gives a program the version record of cmake/PlindorVersion.cmake as a VERSIONINFO
# resource, and the program icon packaging/icons/plindor.ico when that file exists. A program
# other than the windows names itself with INTERNAL_NAME and ORIGINAL_FILENAME. Elsewhere it
# does nothing, so callers need no platform test.
if(WIN32)
  enable_language(RC)
endif()

set(PLINDOR_VERSION_RESOURCE_TEMPLATE "${CMAKE_CURRENT_LIST_DIR}/../packaging/windows/version.rc.in")
set(PLINDOR_ICON_FILE "${CMAKE_CURRENT_LIST_DIR}/../packaging/icons/plindor.ico")

function(plindor_add_version_resource target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "INTERNAL_NAME;ORIGINAL_FILENAME" "" ${ARGN})
  set(PLINDOR_INTERNAL_NAME "${PLINDOR_INTERNAL_NAME}")
  set(PLINDOR_ORIGINAL_FILENAME "${PLINDOR_ORIGINAL_FILENAME}")
  if(ARG_INTERNAL_NAME)
    set(PLINDOR_INTERNAL_NAME "${ARG_INTERNAL_NAME}")
  endif()
  if(ARG_ORIGINAL_FILENAME)
    set(PLINDOR_ORIGINAL_FILENAME "${ARG_ORIGINAL_FILENAME}")
  endif()
  # A resource script string doubles its quotes.
  foreach(field COMPANY_NAME DESCRIPTION INTERNAL_NAME LEGAL_COPYRIGHT ORIGINAL_FILENAME
                PRODUCT_NAME)
    string(REPLACE "\"" "\"\"" PLINDOR_RC_${field} "${PLINDOR_${field}}")
  endforeach()
  set(PLINDOR_RC_VERSION
    "${Plindor_VERSION_MAJOR},${Plindor_VERSION_MINOR},${Plindor_VERSION_PATCH},${Plindor_VERSION_TWEAK}")
  cmake_path(ABSOLUTE_PATH PLINDOR_ICON_FILE NORMALIZE OUTPUT_VARIABLE icon)
  if(EXISTS "${icon}")
    set(PLINDOR_RC_ICON "1 ICON \"${icon}\"")
  else()
    set(PLINDOR_RC_ICON "")
  endif()
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  configure_file("${PLINDOR_VERSION_RESOURCE_TEMPLATE}" "${script}" @ONLY)
  target_sources(${target} PRIVATE "${script}")
  if(EXISTS "${icon}")
    set_source_files_properties("${script}" PROPERTIES OBJECT_DEPENDS "${icon}")
  endif()
endfunction()
