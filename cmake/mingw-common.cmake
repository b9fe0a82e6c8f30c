# What both Windows toolchains share; each sets `triple` and the processor first.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model: its C++ runtime has std::mutex, which GoogleTest needs.
# The plug-in links it statically, so nothing of it shows as an import.
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages too: the build machine's own GoogleTest is for Linux.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs of the tree run under wine, so ctest runs them like native ones.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
