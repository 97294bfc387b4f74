# The build that ships: 32-bit Windows. Its tests run under 32-bit Wine in
# the environment scripts/test-i686.sh enters.
set(TOOLCHAIN_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
