# SPDX-License-Identifier: MIT
# tarnvik_version_block: the Windows form "major.minor.revision" with the
# minor number in two digits and the revision in four, and the refusal of
# numbers that a version resource cannot hold.
#
#     cmake -DMODULE=.../TarnvikVersionBlock.cmake -P version_block_test.cmake
include(${MODULE})

# Child run: only compute, so that the parent can see it fail.
if(DEFINED PARTS)
    tarnvik_version_block(block ${PARTS})
    return()
endif()

set(failures 0)
# version => version block
foreach(case IN ITEMS
        "1.0.1=1.00.0001"
        "1.2.3=1.02.0003"
        "2.15.123=2.15.0123"
        "3.7.9999=3.07.9999"
        "0.0.0=0.00.0000"
        "1.100.12345=1.100.12345"
        "65535.65535.65535=65535.65535.65535")
    string(REPLACE "=" ";" pair "${case}")
    list(GET pair 0 version)
    list(GET pair 1 expected)
    string(REPLACE "." ";" parts "${version}")
    tarnvik_version_block(block ${parts})
    if(NOT block STREQUAL expected)
        message(SEND_ERROR "${version}: got '${block}', expected '${expected}'")
        math(EXPR failures "${failures} + 1")
    endif()
endforeach()

# Parts a 16-bit field cannot hold stop the configuration.
foreach(version IN ITEMS "65536.0.0" "1.65536.0" "1.0.70000")
    string(REPLACE "." ";" parts "${version}")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -DMODULE=${MODULE} "-DPARTS=${parts}" -P ${CMAKE_CURRENT_LIST_FILE}
        RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
    if(result EQUAL 0 OR NOT error MATCHES "does not fit a version resource")
        message(SEND_ERROR "${version}: accepted, or refused without the reason (${error})")
        math(EXPR failures "${failures} + 1")
    endif()
endforeach()

if(failures)
    message(FATAL_ERROR "${failures} case(s) failed")
endif()
message("all cases passed")
