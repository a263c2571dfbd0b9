# What makes a shipped program hard to subvert: ASLR (high-entropy on 64-bit), DEP, no section
# both writable and executable, Control Flow Guard where the compiler can emit it, and
# libraries taken from the system folder only, the program's own imports included. Each shipped
# program calls vesk_harden_program(); tests/release checks every program named that way.

if(MSVC)
    # Guard checks in every object of ours, not only in the programs' own sources.
    add_compile_options(/guard:cf)
else()
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
endif()

function(vesk_harden_program target)
    # app/safe_loading.h: the first call of every entry point.
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/app/safe_loading.cpp)
    # comctl32 is loaded on first use, after that call, rather than at start
    # (app/comctl32_on_first_use.cpp says why).
    if(MSVC)
        target_link_options(${target} PRIVATE /DYNAMICBASE /NXCOMPAT /GUARD:CF
                            /DEPENDENTLOADFLAG:0x800 /DELAYLOAD:comctl32.dll
                            $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},8>:/HIGHENTROPYVA>)
        target_link_libraries(${target} PRIVATE delayimp)
    else()
        # GCC 12 and binutils 2.40 cannot emit Control Flow Guard metadata, and MinGW-w64 10
        # brings no load configuration: ours is linked in and the header pointed at it.
        target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/app/load_config.cpp
                                         ${PROJECT_SOURCE_DIR}/app/comctl32_on_first_use.cpp)
        target_link_options(${target} PRIVATE -Wl,--dynamicbase -Wl,--nxcompat
                            $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},8>:-Wl,--high-entropy-va>)
        add_custom_command(TARGET ${target} POST_BUILD
                           COMMAND ${Python3_EXECUTABLE}
                                   ${PROJECT_SOURCE_DIR}/cmake/point_load_config.py
                                   $<TARGET_FILE:${target}> ${CMAKE_NM}
                           VERBATIM)
    endif()
    set_property(GLOBAL APPEND PROPERTY VESK_HARDENED_PROGRAMS ${target})
endfunction()
