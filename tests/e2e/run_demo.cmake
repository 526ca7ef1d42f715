# Runs the demo headless, as a fresh machine would, and checks that it drove
# a measurement to its result, printed the traffic, saved both pictures and
# the curve, and appended the result to its results file.
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
        "demo: measurement complete")
    string(FIND "${out}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the output lacks \"${expected}\"")
    endif()
endforeach()

foreach(picture measuring.png result.png curve.png)
    if(NOT EXISTS "${OUTPUT}/${picture}")
        message(FATAL_ERROR "no ${picture} in ${OUTPUT}")
    endif()
    file(READ "${OUTPUT}/${picture}" signature LIMIT 8 HEX)
    if(NOT signature STREQUAL "89504e470d0a1a0a")
        message(FATAL_ERROR "${picture} is not a PNG file")
    endif()
endforeach()

file(STRINGS "${OUTPUT}/results.csv" rows)
list(LENGTH rows count)
list(GET rows -1 last)
if(NOT count EQUAL 2 OR NOT last MATCHES ",result,<STX>S")
    message(FATAL_ERROR "results.csv does not hold one result row: ${rows}")
endif()
