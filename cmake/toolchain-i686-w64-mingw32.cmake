# 32-bit Windows, XP SP3 and later, with Debian's MinGW-w64 (posix threads).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARNEL_MINGW_TRIPLET i686-w64-mingw32)
set(VARNEL_WINDOWS_VERSION 0x0501)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
