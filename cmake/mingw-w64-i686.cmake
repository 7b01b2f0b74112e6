# Cross-compiles for 32-bit Windows with Debian's MinGW-w64: the build that
# loads the 32-bit Line Display controls most POS machines have installed.
# Built here, not run (running it would need Wine's 32-bit part).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(LDT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
