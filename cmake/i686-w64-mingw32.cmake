# The Windows build for 32-bit Windows NT 3.x on x86, the package's own target.
set(MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_toolchain.cmake)
