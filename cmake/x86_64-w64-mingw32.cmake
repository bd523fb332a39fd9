# The Windows build for 64-bit Windows, which the 64-bit Wine of a Linux host runs.
set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_toolchain.cmake)
