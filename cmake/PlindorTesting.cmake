# plindor_add_test(NAME <name> SOURCES <files...> LIBRARIES <libs...> [GTEST])
# Builds a test program and registers it with CTest. GoogleTest programs are registered case by
# case; others (Qt Test) as one test. Every test runs with a private HOME and runtime folder so
# nothing reads or writes the user's own settings, and windows draw offscreen.
function(plindor_add_test)
  cmake_parse_arguments(ARG "GTEST" "NAME" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE plindor_warnings ${ARG_LIBRARIES})
  target_include_directories(${ARG_NAME} PRIVATE "${PROJECT_SOURCE_DIR}/tests")

  set(home "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.home")
  set(environment
    "HOME=${home}"
    "XDG_RUNTIME_DIR=${home}/runtime"
    "XDG_CONFIG_HOME=${home}/config"
    "QT_QPA_PLATFORM=offscreen"
    "QTEST_FUNCTION_TIMEOUT=60000")
  file(MAKE_DIRECTORY "${home}/runtime" "${home}/config")
  file(CHMOD "${home}/runtime" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

  # Under Wine, the tests share one Wine session, and wait for the build's Wine prefix
  # (cmake/PlindorWine.cmake says why). The fixture comes first, as the lists after it don't keep
  # their pairs through test discovery.
  set(fixture)
  if(PLINDOR_WINE_FIXTURE)
    set(fixture FIXTURES_REQUIRED "${PLINDOR_WINE_FIXTURE}")
    add_dependencies(${ARG_NAME} plindor_wine_prefix)
  endif()
  if(ARG_GTEST)
    gtest_discover_tests(${ARG_NAME}
      PROPERTIES ${fixture} ENVIRONMENT "${environment}" LABELS "${ARG_LABELS}"
      DISCOVERY_TIMEOUT 60)
  else()
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    set_tests_properties(${ARG_NAME} PROPERTIES ${fixture} ENVIRONMENT "${environment}"
      LABELS "${ARG_LABELS}")
  endif()
endfunction()
