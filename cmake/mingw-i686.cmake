# Cross toolchain: 32-bit Windows (PE32, i686), the product. Its executables
# run under Wine's 32-bit loader, or its 64-bit one in a 64-bit prefix (WoW64).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
