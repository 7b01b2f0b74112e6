# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix thread
# model, for std::thread and std::mutex). Programs are linked statically, so
# one .exe runs without the compiler's runtime DLLs; tests run under Wine
# through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LDT_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
