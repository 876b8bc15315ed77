# 64-bit Windows, 7 and later, with Debian's MinGW-w64 (posix threads). Its
# test programs run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARNEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(VARNEL_WINDOWS_VERSION 0x0601)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/lib/wine-run)
