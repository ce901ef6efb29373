# plindor_forbid_toolkit(<target> [ALLOW_WIN32_FILES])
# Fails the configure step when a source or header in the target's folder includes a window
# toolkit (Qt, or the Win32 headers), so the engine and the shared desktop code stay portable.
# ALLOW_WIN32_FILES lets the per-platform *_win32.cpp/.h files use <windows.h> for file access.
function(plindor_forbid_toolkit target)
  cmake_parse_arguments(ARG "ALLOW_WIN32_FILES" "" "" ${ARGN})
  file(GLOB files "${CMAKE_CURRENT_SOURCE_DIR}/*.h" "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  foreach(file IN LISTS files)
    set(pattern "#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt|ui_)")
    get_filename_component(name "${file}" NAME_WE)
    if(NOT (ARG_ALLOW_WIN32_FILES AND (name MATCHES "_win32$" OR name STREQUAL "unique_handle")))
      string(APPEND pattern "|#[ \t]*include[ \t]*[<\"]windows\\.h")
    endif()
    file(STRINGS "${file}" hits REGEX "${pattern}")
    if(hits)
      message(FATAL_ERROR "${file} is toolkit-free code but includes: ${hits}")
    endif()
  endforeach()
endfunction()
