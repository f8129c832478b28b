# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, which std::jthread and std::stop_token need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZRT_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZRT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZRT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZRT_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot and from whatever the
# caller names in CMAKE_PREFIX_PATH (our own Qt and libusb builds); programs
# run at build time come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZRT_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Tests run under wine, with two COM ports joined back to back.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/port_pair/run)
