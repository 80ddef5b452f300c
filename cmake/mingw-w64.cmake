# Cross build for 32-bit x86 Windows with MinGW-w64 (posix threads); tests run under Wine.
# The vendor's encryption library is a 32-bit DLL, so the shipped tool is 32-bit too.
# mingw-w64-x86_64.cmake sets MINGW_ARCH for a 64-bit build (compile check only).
if(NOT MINGW_ARCH)
    set(MINGW_ARCH i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_ARCH})

set(MINGW_PREFIX ${MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
