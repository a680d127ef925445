# Shared by the mingw-w64 toolchain files: set ZOLEHEAD_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The win32 thread model: the posix one would pull in libwinpthread-1.dll,
# and the library takes its only lock from the system (SRWLOCK).
set(CMAKE_C_COMPILER ${ZOLEHEAD_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ZOLEHEAD_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${ZOLEHEAD_MINGW_TRIPLE}-windres)
set(CMAKE_NM ${ZOLEHEAD_MINGW_TRIPLE}-nm CACHE FILEPATH "nm for the target")
set(CMAKE_OBJDUMP ${ZOLEHEAD_MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump for the target")
set(CMAKE_DLLTOOL ${ZOLEHEAD_MINGW_TRIPLE}-dlltool CACHE FILEPATH "dlltool for the target")

set(CMAKE_FIND_ROOT_PATH /usr/${ZOLEHEAD_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine.
find_program(ZOLEHEAD_WINE wine)
if(ZOLEHEAD_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
