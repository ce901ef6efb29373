# Checks that a Windows program carries its version record (the string table in its order, and
# the numeric file and product versions) and the program icon. The expected values come from
# cmake/PlindorVersion.cmake through the -D arguments, not from the build's own output.
#   cmake -DPROGRAM=<exe> -DOBJDUMP=<objdump> -DLANGUAGE=.. -DCOMPANY_NAME=.. -DDESCRIPTION=..
#         -DVERSION_TEXT=.. -DINTERNAL_NAME=.. -DLEGAL_COPYRIGHT=.. -DORIGINAL_FILENAME=..
#         -DPRODUCT_NAME=.. -DVERSION=<a.b.c.d> -P version_record.cmake
set(expected StringFileInfo "${LANGUAGE}"
  CompanyName "${COMPANY_NAME}" FileDescription "${DESCRIPTION}" FileVersion "${VERSION_TEXT}"
  InternalName "${INTERNAL_NAME}" LegalCopyright "${LEGAL_COPYRIGHT}"
  OriginalFilename "${ORIGINAL_FILENAME}" ProductName "${PRODUCT_NAME}"
  ProductVersion "${VERSION_TEXT}")
# The UTF-16 strings between VS_VERSION_INFO and VarFileInfo.
execute_process(COMMAND strings -el "${PROGRAM}" OUTPUT_VARIABLE all COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "\nVS_VERSION_INFO\n(.*)\nVarFileInfo\n" block "\n${all}")
string(REPLACE ";" "\\;" found "${CMAKE_MATCH_1}")
string(REPLACE "\n" ";" found "${found}")
if(NOT found STREQUAL expected)
  list(JOIN expected "\n  " want)
  list(JOIN found "\n  " got)
  message(FATAL_ERROR "${PROGRAM} does not carry the version strings.\nExpected:\n  ${want}\nFound:\n  ${got}")
endif()

# The fixed part: signature, structure version, then file and product version as 32-bit
# little-endian (major << 16 | minor, build << 16 | revision).
function(le32 value out)
  math(EXPR v "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${v}" 2 -1 v)
  string(LENGTH "${v}" length)
  math(EXPR zeros "8 - ${length}")
  string(REPEAT "0" ${zeros} pad)
  set(v "${pad}${v}")
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" v "${v}")
  set(${out} "${v}" PARENT_SCOPE)
endfunction()
string(REPLACE "." ";" parts "${VERSION}")
list(GET parts 0 major)
list(GET parts 1 minor)
list(GET parts 2 build)
list(GET parts 3 revision)
math(EXPR high "(${major} << 16) | ${minor}")
math(EXPR low "(${build} << 16) | ${revision}")
le32(${high} high_hex)
le32(${low} low_hex)
set(fixed "bd04effe00000100${high_hex}${low_hex}${high_hex}${low_hex}")
file(READ "${PROGRAM}" bytes HEX)
string(FIND "${bytes}" "${fixed}" at)
if(at EQUAL -1 OR NOT at MATCHES "^[0-9]*[02468]$")
  message(FATAL_ERROR "${PROGRAM} lacks the numeric version ${VERSION} (${fixed})")
endif()

# Resource type 14 is an icon group.
execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}" OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
if(NOT headers MATCHES "\n[0-9a-f]+   Entry: ID: 0x00000e,")
  message(FATAL_ERROR "${PROGRAM} lacks the program icon")
endif()
message(STATUS "${PROGRAM} carries its record (${INTERNAL_NAME}, ${ORIGINAL_FILENAME}) and the icon")
