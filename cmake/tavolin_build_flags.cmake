# How every target of the project is compiled and linked.
#
# tavolin_build_flags: an INTERFACE target every library, driver and program
# links. With the GNU compilers it brings
#   - the warnings, as errors unless TAVOLIN_WERROR is OFF;
#   - each function in its own section, so the linker can drop what nothing
#     calls (not each datum: with -fdata-sections this GCC puts zero-filled
#     globals into .data$<name>, stored in the file, instead of .bss);
#   - for executables: the C and C++ runtimes linked in statically (the
#     programs import system DLLs only), unused sections dropped and, in
#     release builds, symbols stripped.
#
# tavolin_program(NAME source...): a shipped program (the radio, the agent).
# Beyond the flags above it is compiled without exceptions and run-time type
# information, optimised for size, and on i686 without unwind tables; link it
# only with libraries built the same way (tavolin_shipped_code). It also gets
# cmake/lean_startup.c, which keeps unused parts of the MinGW start-up code
# out (see there); the link then refuses auto-imported DLL data, the one
# thing the pseudo relocations would be needed for. On i686 the run-time
# library's unwind tables are left out as well (cmake/crt_unwind_tables.ld).

option(TAVOLIN_WERROR "Treat compiler warnings as errors" ON)

add_library(tavolin_build_flags INTERFACE)
# Only C and C++ sources: the resource compiler takes none of the options.
set(c_or_cxx "$<OR:$<COMPILE_LANGUAGE:C>,$<COMPILE_LANGUAGE:CXX>>")
if(CMAKE_C_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(tavolin_build_flags INTERFACE
        "$<${c_or_cxx}:-Wall;-Wextra;-Wpedantic;-Wshadow;-Wconversion;-Wno-sign-conversion>"
        "$<$<AND:${c_or_cxx},$<BOOL:${TAVOLIN_WERROR}>>:-Werror>"
        "$<${c_or_cxx}:-ffunction-sections>")
    # Evaluated on the target that links this one: executables only, so
    # the driver keeps its own freestanding link line.
    set(executable "$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>")
    target_link_options(tavolin_build_flags INTERFACE
        "$<${executable}:-static;-static-libgcc;-static-libstdc++;-Wl,--gc-sections>"
        "$<$<AND:${executable},$<CONFIG:Release,MinSizeRel>>:-s>")
endif()

# The code of the shipped programs: no exceptions, no run-time type
# information. Libraries the programs link use it too; tests may link those
# libraries but never derive from their classes through it.
add_library(tavolin_shipped_code INTERFACE)
target_link_libraries(tavolin_shipped_code INTERFACE tavolin_build_flags)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(tavolin_shipped_code INTERFACE "$<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions;-fno-rtti>"
        # After CMake's -O3, so it wins: the programs wait on Windows, not on
        # their own loops, and half the code loads faster.
        "$<$<AND:${c_or_cxx},$<NOT:$<CONFIG:Debug>>>:-Os>")
    # No exception is ever thrown and no unwinder is linked, so the DWARF
    # tables (.eh_frame) are never read on i686. x86_64 keeps its unwind
    # tables: there they are Windows' own (.pdata, .xdata), which structured
    # exception handling walks.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        target_compile_options(tavolin_shipped_code INTERFACE "$<${c_or_cxx}:-fno-asynchronous-unwind-tables>")
    endif()
endif()

function(tavolin_program name)
    add_executable(${name} ${ARGN} ${PROJECT_SOURCE_DIR}/cmake/lean_startup.c)
    target_link_libraries(${name} PRIVATE tavolin_shipped_code)
    if(CMAKE_C_COMPILER_ID STREQUAL "GNU")
        target_link_options(${name} PRIVATE -Wl,--disable-auto-import)
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            set(unwind_script ${PROJECT_SOURCE_DIR}/cmake/crt_unwind_tables.ld)
            target_link_options(${name} PRIVATE "-Wl,-T,${unwind_script}")
            set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${unwind_script})
        endif()
    endif()
endfunction()
