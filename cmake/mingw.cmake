# The MinGW-w64 cross toolchain for the processor that the including toolchain
# file sets (CMAKE_SYSTEM_PROCESSOR: i686 or x86_64): its posix-thread
# compilers, its own libraries and headers, and Wine as the emulator that runs
# what it builds (the Wine session puts a `wine` of that architecture first on
# PATH, so CTest and gtest_discover_tests reach the programs through it).
set(CMAKE_SYSTEM_NAME Windows)
set(mingw_triple ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
