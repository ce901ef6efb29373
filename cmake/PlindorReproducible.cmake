# Builds that give the same bytes twice: the same commit built in another folder, at another
# time, makes the same programs and packages.
#  - Times: SOURCE_DATE_EPOCH, from the environment or else the commit's time, for everything
#    that records one (the Qt resources, the manual page, the packages' file times).
#  - Paths: the source and build folders are mapped out of the binaries (__FILE__, debug info).
#  - Windows programs: the linker writes no time stamp into the PE header.
# With PLINDOR_DISTRIBUTION_FLAGS, a native build also takes Debian's hardening flags from
# dpkg-buildflags: fortify, stack protector, format checks, RELRO and immediate binding.
option(PLINDOR_DISTRIBUTION_FLAGS "Build with Debian's hardening flags (dpkg-buildflags)" OFF)

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(PLINDOR_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git log -1 --format=%ct
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE PLINDOR_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE git_status ERROR_QUIET)
  if(NOT git_status EQUAL 0 OR PLINDOR_SOURCE_DATE_EPOCH STREQUAL "")
    # Not a git checkout: a fixed time still gives the same packages from the same files.
    set(PLINDOR_SOURCE_DATE_EPOCH 0)
  endif()
endif()

# Custom build steps (the Qt resource compiler, help2man) read the time from the environment:
# they get the same, whatever the environment of the build.
set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM
  "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${PLINDOR_SOURCE_DATE_EPOCH}")

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=" "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")
endif()
if(MINGW)
  add_link_options(LINKER:--no-insert-timestamp)
endif()

if(PLINDOR_DISTRIBUTION_FLAGS AND NOT CMAKE_CROSSCOMPILING)
  find_program(PLINDOR_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND "${CMAKE_COMMAND}" -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              "${PLINDOR_DPKG_BUILDFLAGS}" --get ${kind}
      WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # Its path map names the folder it ran in; the maps above cover that and the build folder.
    list(FILTER flags EXCLUDE REGEX "^-ffile-prefix-map=")
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
  endforeach()
endif()
