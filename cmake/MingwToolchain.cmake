# Shared by the two Windows toolchain files, which set VARNEL_MINGW_TRIPLET
# and VARNEL_WINDOWS_VERSION (the oldest Windows the build runs on, as a
# _WIN32_WINNT value) before including this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VARNEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARNEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VARNEL_MINGW_TRIPLET}-windres)

# Libraries and headers of the target only; the build's own tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VARNEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The wide (UTF-16) Windows API throughout; nothing newer than the oldest
# Windows the build is for may be called without a check at run time.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=${VARNEL_WINDOWS_VERSION} -DWINVER=${VARNEL_WINDOWS_VERSION} -DUNICODE -D_UNICODE")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
# One .exe with no DLL beside it: the C and C++ runtimes and the threads
# library linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
