# Warnings for the project's own targets; third-party code keeps its own flags.
add_library(plindor_warnings INTERFACE)
if(MSVC)
  target_compile_options(plindor_warnings INTERFACE /W4 /permissive-)
  if(PLINDOR_WERROR)
    target_compile_options(plindor_warnings INTERFACE /WX)
  endif()
else()
  target_compile_options(plindor_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
  if(PLINDOR_WERROR)
    target_compile_options(plindor_warnings INTERFACE -Werror)
  endif()
endif()

if(PLINDOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
