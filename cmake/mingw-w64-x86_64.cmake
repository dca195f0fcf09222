# Cross-compiling for 64-bit Windows with Debian's MinGW-w64, the variant whose C++ runtime uses
# POSIX threads (std::thread and std::mutex need it). Programs run here under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLA_MINGW_PREFIX}-windres)

# Headers and libraries come from the cross tree only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TOLA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs through Wine (Debian's `wine` starts a 64-bit program in wine64).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
