# The cross build's tests run under Wine, in a prefix of the build's own (Wine's Windows fonts,
# the null graphics driver: no display needed), prepared here once. Every program the build
# runs (test discovery, CTest) goes through the emulator below, so a plain `cmake --build` or
# `ctest` in the build folder uses that prefix too. Does nothing unless cross-compiling with
# Wine found (cmake/toolchains/mingw-w64.cmake).
if(NOT (CMAKE_CROSSCOMPILING AND PLINDOR_WINE))
  return()
endif()

# Header-only libraries suit any target, but their Debian copies sit in /usr/include beside the
# host's C library: the cross build sees them through a folder that holds only them.
set(header_only "${PROJECT_BINARY_DIR}/header-only")
file(MAKE_DIRECTORY "${header_only}/include" "${header_only}/share/cmake/CLI11")
file(CREATE_LINK /usr/include/CLI "${header_only}/include/CLI" SYMBOLIC)
file(CREATE_LINK /usr/include/xxhash.h "${header_only}/include/xxhash.h" SYMBOLIC)
file(GLOB cli11_config /usr/share/cmake/CLI11/*.cmake)
foreach(file IN LISTS cli11_config)
  get_filename_component(name "${file}" NAME)
  file(CREATE_LINK "${file}" "${header_only}/share/cmake/CLI11/${name}" SYMBOLIC)
endforeach()
set(CLI11_DIR "${header_only}/share/cmake/CLI11" CACHE PATH "CLI11's CMake files for the cross build")
set(XXHASH_INCLUDE_DIR "${header_only}/include" CACHE PATH "xxhash.h's folder for the cross build")

set(PLINDOR_WINE_PREFIX "${PROJECT_BINARY_DIR}/wineprefix")
get_filename_component(wine_dir "${PLINDOR_WINE}" DIRECTORY)
set(PLINDOR_WINESERVER "${wine_dir}/wineserver")
# No Mono or Gecko installers; Wine reads the arguments it hands over in the locale's character
# set, so the locale is UTF-8.
set(wine_environment
  "WINEPREFIX=${PLINDOR_WINE_PREFIX}" WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
  LC_ALL=C.UTF-8)

# The full-volume test fills a 64 KiB volume, which only root can mount: it is named to the tests
# only where a trial mount works (in some containers even root can't), else that test skips.
set(PLINDOR_SMALL_VOLUME "${PROJECT_BINARY_DIR}/small-volume")
set(PLINDOR_SMALL_VOLUME_OK OFF)
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(uid STREQUAL "0")
  file(MAKE_DIRECTORY "${PLINDOR_SMALL_VOLUME}")
  execute_process(COMMAND mountpoint -q "${PLINDOR_SMALL_VOLUME}" RESULT_VARIABLE mounted)
  if(NOT mounted EQUAL 0)
    execute_process(COMMAND mount -t tmpfs -o size=64k,mode=0700 plindor-small
                            "${PLINDOR_SMALL_VOLUME}" RESULT_VARIABLE mounted ERROR_QUIET)
    if(mounted EQUAL 0)
      execute_process(COMMAND umount "${PLINDOR_SMALL_VOLUME}")
    endif()
  endif()
  if(mounted EQUAL 0)
    set(PLINDOR_SMALL_VOLUME_OK ON)
    # A folder that exists only inside the mounted volume (the fixture makes it): unmounted, the
    # test fails to make its folder rather than filling the disk beneath. Wine's drive Z: is the
    # Linux root.
    list(APPEND wine_environment "PLINDOR_TEST_SMALL_VOLUME=Z:${PLINDOR_SMALL_VOLUME}/inside")
  endif()
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR env ${wine_environment} "${PLINDOR_WINE}")

if(NOT EXISTS "${PLINDOR_WINE_PREFIX}/system.reg")
  message(STATUS "Preparing the Wine prefix ${PLINDOR_WINE_PREFIX}")
endif()
execute_process(
  COMMAND "${PROJECT_SOURCE_DIR}/scripts/wine-prefix" "${PLINDOR_WINE_PREFIX}" null
  COMMAND_ERROR_IS_FATAL ANY)

# The fixture "wine" keeps one Wine server running for the whole test run, so each test program
# starts quickly, and mounts the small volume; its cleanup stops and unmounts both.
set(session "${PROJECT_SOURCE_DIR}/cmake/checks/wine_session.cmake")
set(session_arguments
  "-DWINESERVER=${PLINDOR_WINESERVER}" "-DWINE=${PLINDOR_WINE}" "-DPREFIX=${PLINDOR_WINE_PREFIX}"
  "-DSMALL_VOLUME=${PLINDOR_SMALL_VOLUME}" "-DMOUNT=${PLINDOR_SMALL_VOLUME_OK}")
add_test(NAME wine_start COMMAND "${CMAKE_COMMAND}" ${session_arguments} -DACTION=start -P "${session}")
add_test(NAME wine_stop COMMAND "${CMAKE_COMMAND}" ${session_arguments} -DACTION=stop -P "${session}")
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
set(PLINDOR_WINE_FIXTURE wine)
