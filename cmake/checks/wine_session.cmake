# Starts (ACTION=start) or ends (ACTION=stop) the Wine session the cross build's tests share:
# one Wine server for PREFIX (it stays up to a minute after its last program, in case the
# cleanup never comes) and, where it can be mounted, a 64 KiB volume at SMALL_VOLUME.
# Run by CTest as the fixture "wine" (cmake/PlindorWine.cmake).
set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} -all)
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
if(ACTION STREQUAL "start")
  file(MAKE_DIRECTORY "${SMALL_VOLUME}")
  execute_process(COMMAND mountpoint -q "${SMALL_VOLUME}" RESULT_VARIABLE mounted)
  if(NOT mounted EQUAL 0)
    execute_process(COMMAND mount -t tmpfs -o size=64k,mode=0700 plindor-small "${SMALL_VOLUME}"
                    RESULT_VARIABLE mounted ERROR_VARIABLE reason ERROR_STRIP_TRAILING_WHITESPACE)
  endif()
  if(mounted EQUAL 0)
    file(MAKE_DIRECTORY "${SMALL_VOLUME}/inside")
  else()
    message(STATUS "No small volume at ${SMALL_VOLUME}: mount gave ${mounted} ${reason}")
  endif()
  # The prefix's own start-up finishes first, or the first test program can wait on it.
  # Both leave processes running: their output goes to no pipe that anyone would wait on.
  execute_process(COMMAND "${WINESERVER}" -p60 OUTPUT_FILE /dev/null ERROR_FILE /dev/null
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND "${WINE}" wineboot --init OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
else()
  execute_process(COMMAND "${WINESERVER}" -k ERROR_QUIET)
  execute_process(COMMAND "${WINESERVER}" -w ERROR_QUIET)
  execute_process(COMMAND mountpoint -q "${SMALL_VOLUME}" RESULT_VARIABLE mounted)
  if(mounted EQUAL 0)
    execute_process(COMMAND umount "${SMALL_VOLUME}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endif()
