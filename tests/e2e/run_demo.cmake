# SPDX-License-Identifier: MIT
# Runs the demo headless, as a fresh machine would, and checks that it drove
# a measurement to its result, printed the traffic, saved both pictures and
# the curve, appended the result to its results file, and ran the bench check
# to a passed board with its report saved.
# Usage: cmake -DDEMO=<tarnvik-demo> -DOUTPUT=<dir> -P run_demo.cmake
file(REMOVE_RECURSE "${OUTPUT}")
execute_process(
    COMMAND "${DEMO}" --headless --output "${OUTPUT}" --time-scale 20 --timeout 90
    RESULT_VARIABLE rc
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    TIMEOUT 110)
message("${out}${err}")
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tarnvik-demo exited with ${rc}")
endif()

foreach(expected
        "program -> COM1  <STX>03;;D9<ETX>"
        "program -> COM1  <STX>01;;D7<ETX>"
        "COM1 -> program  <STX>000 I A 160 00<CR>"
        "COM1 -> program  <STX>S"
        "demo: measurement complete"
        "demo: bench check: leak test pass, static pressure pass (3 points), over-pressure pass, measurements pass (5 results"
        "demo: bench check: board passed")
    string(FIND "${out}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the output lacks \"${expected}\"")
    endif()
endforeach()

foreach(picture measuring.png result.png curve.png bench-checks.png)
    if(NOT EXISTS "${OUTPUT}/${picture}")
        message(FATAL_ERROR "no ${picture} in ${OUTPUT}")
    endif()
    file(READ "${OUTPUT}/${picture}" signature LIMIT 8 HEX)
    if(NOT signature STREQUAL "89504e470d0a1a0a")
        message(FATAL_ERROR "${picture} is not a PNG file")
    endif()
endforeach()

file(READ "${OUTPUT}/report.pdf" signature LIMIT 5 HEX)
if(NOT signature STREQUAL "255044462d") # "%PDF-"
    message(FATAL_ERROR "report.pdf is not a PDF file")
endif()
file(READ "${OUTPUT}/report.json" report)
string(JSON verdict GET "${report}" verdict)
string(JSON board GET "${report}" board)
if(NOT verdict STREQUAL "pass" OR NOT board STREQUAL "DEMO-0001")
    message(FATAL_ERROR "report.json says ${verdict} for board ${board}")
endif()

# The demo's measurement and the bench check's five, one row each.
file(STRINGS "${OUTPUT}/results.csv" rows)
list(LENGTH rows count)
list(GET rows -1 last)
if(NOT count EQUAL 7 OR NOT last MATCHES ",result,<STX>S")
    message(FATAL_ERROR "results.csv does not hold six result rows: ${rows}")
endif()
