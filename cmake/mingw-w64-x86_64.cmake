# 64-bit build of the same code, to keep it free of pointer-size assumptions; not shipped.
set(MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
