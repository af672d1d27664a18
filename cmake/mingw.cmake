# The mingw-w64 cross toolchain for the processor that the toolchain file including this
# one has set in CMAKE_SYSTEM_PROCESSOR (i686 or x86_64); programs run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(ZT_MINGW ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${ZT_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZT_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZT_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZT_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# A 64-bit program runs through Wine's 64-bit loader itself: the `wine` command's 32-bit
# loader hands it on through start.exe, one more process that now and then fails to start it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine)
endif()
