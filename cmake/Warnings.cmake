# Warnings are errors-in-waiting: keep the build clean at -Wall -Wextra.
add_library(orbalen_warnings INTERFACE)
target_compile_options(orbalen_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Woverloaded-virtual -Wformat=2)
if(DEFINED ENV{CI})
  target_compile_options(orbalen_warnings INTERFACE -Werror)
endif()
