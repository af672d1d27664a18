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
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
