# How every target of the project is compiled and linked.
#
# tavolin_build_flags: an INTERFACE target every library, driver and program
# links. With the GNU compilers it brings
#   - the warnings, as errors unless TAVOLIN_WERROR is OFF;
#   - each function and datum in its own section, so the linker can drop
#     what nothing calls;
#   - for executables: the C and C++ runtimes linked in statically (the
#     programs import system DLLs only), unused sections dropped and, in
#     release builds, symbols stripped.
#
# tavolin_program(NAME source...): a shipped program (the radio, the agent).
# Beyond the flags above it is compiled without exceptions and run-time type
# information, so no unwinding tables or type records come along; link it
# only with libraries built the same way (tavolin_shipped_code).

option(TAVOLIN_WERROR "Treat compiler warnings as errors" ON)

add_library(tavolin_build_flags INTERFACE)
if(CMAKE_C_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Only C and C++ sources: the resource compiler takes none of these.
    set(c_or_cxx "$<OR:$<COMPILE_LANGUAGE:C>,$<COMPILE_LANGUAGE:CXX>>")
    target_compile_options(tavolin_build_flags INTERFACE
        "$<${c_or_cxx}:-Wall;-Wextra;-Wpedantic;-Wshadow;-Wconversion;-Wno-sign-conversion>"
        "$<$<AND:${c_or_cxx},$<BOOL:${TAVOLIN_WERROR}>>:-Werror>"
        "$<${c_or_cxx}:-ffunction-sections;-fdata-sections>")
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
    target_compile_options(tavolin_shipped_code INTERFACE "$<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions;-fno-rtti>")
endif()

function(tavolin_program name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE tavolin_shipped_code)
endfunction()
