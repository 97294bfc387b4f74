# The build that ships: 32-bit Windows.
set(TOOLCHAIN_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
