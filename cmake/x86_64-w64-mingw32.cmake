# The build the tests run, through 64-bit Wine (scripts/wine-run): these
# machines cannot run 32-bit code.
set(TOOLCHAIN_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
