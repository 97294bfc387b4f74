# Cross-compiling with MinGW-w64; the including toolchain file names the
# processor (i686 or x86_64) in TOOLCHAIN_ARCH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TOOLCHAIN_ARCH})
set(TOOLCHAIN_PREFIX ${TOOLCHAIN_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# What CTest runs the built Windows programs with. scripts/wine-run is 64-bit
# Wine, right for the x86_64 build; a 32-bit build's tests need a runner with
# a 32-bit Wine, named here.
get_filename_component(tavolin_wine_run "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run" ABSOLUTE)
set(TAVOLIN_WINE_RUNNER "${tavolin_wine_run}" CACHE FILEPATH "Runs this build's Windows programs for the tests (Wine)")
set(CMAKE_CROSSCOMPILING_EMULATOR "${TAVOLIN_WINE_RUNNER}")
