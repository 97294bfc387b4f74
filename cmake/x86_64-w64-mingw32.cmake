# The same sources for 64-bit Windows; its tests run under the host's 64-bit
# Wine.
set(TOOLCHAIN_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
