# What both MinGW-w64 toolchains share; LDT_MINGW_TRIPLET names the target.
set(CMAKE_C_COMPILER ${LDT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LDT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LDT_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LDT_MINGW_TRIPLET})
# Headers and libraries from the target's root only, never the host's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# Test programs run under Wine; the wrapper keeps Wine's helper processes
# away from CTest's output.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
