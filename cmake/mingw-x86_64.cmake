# Cross toolchain: 64-bit Windows (PE32+, x86_64). i686 is the product; this
# build is how the program and its tests run on machines whose kernel cannot
# start 32-bit programs (and so 32-bit Wine), under Wine's 64-bit loader.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
