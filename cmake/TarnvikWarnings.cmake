# SPDX-License-Identifier: MIT
# Compiler warnings for the project's own targets.
function(tarnvik_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    endif()
endfunction()
