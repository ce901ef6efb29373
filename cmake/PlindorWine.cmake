# The cross build's tests run under Wine, in a prefix of the build's own (Wine's Windows fonts,
# the null graphics driver: no display needed), which the build makes (plindor_wine_prefix):
# configuring only describes it. Every program the build runs (test discovery, CTest) goes
# through the emulator below, so a plain `cmake --build` or `ctest` in the build folder uses that
# prefix too. Does nothing unless cross-compiling with Wine found
# (cmake/toolchains/mingw-w64.cmake).
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

# The full-volume test fills a 64 KiB volume, which the fixture below mounts where it can (only
# root can, and not in every container); the test skips where none is mounted, and says why. The
# folder it is named exists only inside the mounted volume, so unmounted the test never fills the
# disk beneath. Wine's drive Z: is the Linux root.
set(PLINDOR_SMALL_VOLUME "${PROJECT_BINARY_DIR}/small-volume")
list(APPEND wine_environment "PLINDOR_TEST_SMALL_VOLUME=Z:${PLINDOR_SMALL_VOLUME}/inside")
set(CMAKE_CROSSCOMPILING_EMULATOR env ${wine_environment} "${PLINDOR_WINE}")

# Made by the build before any test program is built, as discovering a program's tests runs it;
# the script's mark comes last, so an interrupted run starts again from nothing.
set(prefix_made "${PLINDOR_WINE_PREFIX}/plindor-null-prefix")
add_custom_command(OUTPUT "${prefix_made}"
  COMMAND "${PROJECT_SOURCE_DIR}/scripts/wine-prefix" "${PLINDOR_WINE_PREFIX}" null
  DEPENDS "${PROJECT_SOURCE_DIR}/scripts/wine-prefix"
  COMMENT "Making the Wine prefix ${PLINDOR_WINE_PREFIX}"
  VERBATIM)
add_custom_target(plindor_wine_prefix ALL DEPENDS "${prefix_made}")

# The fixture "wine" keeps one Wine server running for the whole test run, so each test program
# starts quickly, and mounts the small volume; its cleanup stops and unmounts both.
set(session "${PROJECT_SOURCE_DIR}/cmake/checks/wine_session.cmake")
set(session_arguments
  "-DWINESERVER=${PLINDOR_WINESERVER}" "-DWINE=${PLINDOR_WINE}" "-DPREFIX=${PLINDOR_WINE_PREFIX}"
  "-DSMALL_VOLUME=${PLINDOR_SMALL_VOLUME}")
add_test(NAME wine_start COMMAND "${CMAKE_COMMAND}" ${session_arguments} -DACTION=start -P "${session}")
add_test(NAME wine_stop COMMAND "${CMAKE_COMMAND}" ${session_arguments} -DACTION=stop -P "${session}")
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
set(PLINDOR_WINE_FIXTURE wine)
