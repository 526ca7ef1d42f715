# SPDX-License-Identifier: MIT
# Runs the demo headless, as a fresh machine would, and checks that it drove
# a measurement to its result, printed the traffic, saved both pictures and
# the curve, appended the result to its results file, ran the bench check
# to a passed board with its report saved, and ran the built-in test plan to
# a pass with the run's PDF, JSON and trace in plan/; with ARCHIVE_TOOL, that
# both runs are in the demo's own archive (archive.sqlite in the output).
# Usage: cmake -DDEMO=<tarnvik-demo> -DOUTPUT=<dir> [-DARCHIVE_TOOL=<tarnvik-archive>]
#        -P run_demo.cmake
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
        "demo: bench check: board passed"
        "demo: plan: running \"Standard NIBP bench check\""
        "demo: plan: Bring the pressure to 0 mmHg and hold it"
        "demo: plan: leak    PASS        hold 250 mmHg, leak 4.0 mmHg/min"
        "demo: plan: static  PASS        6 of 6 points"
        "demo: plan: series  PASS        5 of 5 results"
        "demo: plan: run     PASS"
        "demo: plan: board passed the plan")
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

# The demo's measurement, the bench check's five and the plan's five, one
# row each, under the header.
file(STRINGS "${OUTPUT}/results.csv" rows)
list(LENGTH rows count)
list(GET rows -1 last)
if(NOT count EQUAL 12 OR NOT last MATCHES ",result,<STX>S")
    message(FATAL_ERROR "results.csv does not hold eleven result rows: ${rows}")
endif()

# The plan's run: its three files, named after the board, the JSON's verdict
# and the PDF's text.
foreach(ending pdf json trace)
    file(GLOB found "${OUTPUT}/plan/DEMO-0001-*.${ending}")
    list(LENGTH found count)
    if(NOT count EQUAL 1)
        message(FATAL_ERROR "plan/ holds ${count} .${ending} files, not one: ${found}")
    endif()
    set(plan_${ending} "${found}")
endforeach()
file(READ "${plan_json}" report)
string(JSON verdict GET "${report}" verdict)
string(JSON board GET "${report}" board)
if(NOT verdict STREQUAL "pass" OR NOT board STREQUAL "DEMO-0001")
    message(FATAL_ERROR "${plan_json} says ${verdict} for board ${board}")
endif()
find_program(PDFTOTEXT pdftotext REQUIRED)
execute_process(COMMAND "${PDFTOTEXT}" "${plan_pdf}" - OUTPUT_VARIABLE text RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT text MATCHES "[Vv]erdict: PASS")
    message(FATAL_ERROR "the plan's PDF does not read PASS:\n${text}")
endif()
# The plan's name, once the report shows the plan it was judged under.
string(JSON plan ERROR_VARIABLE no_plan GET "${report}" plan)
if(no_plan)
    message(WARNING "the plan's report names no plan yet: its name is not checked")
else()
    string(JSON name GET "${report}" plan name)
    string(FIND "${text}" "Standard NIBP bench check" at)
    if(NOT name STREQUAL "Standard NIBP bench check" OR at EQUAL -1)
        message(FATAL_ERROR "the plan's report does not name the plan (JSON: ${name})")
    endif()
endif()
# The run's trace: its header, then the run's "checks cleared".
file(STRINGS "${plan_trace}" head LIMIT_COUNT 2)
list(GET head 1 first)
if(NOT first MATCHES "^[0-9]+ COM1 checks cleared$")
    message(FATAL_ERROR "${plan_trace} does not begin with the run's \"checks cleared\": ${head}")
endif()

# The demo's archive: the bench check as a free check and the plan's run,
# both passed, for the demo's board.
if(ARCHIVE_TOOL)
    execute_process(
        COMMAND "${ARCHIVE_TOOL}" --database "sqlite:${OUTPUT}/archive.sqlite" list --json
        RESULT_VARIABLE rc OUTPUT_VARIABLE runs ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "tarnvik-archive list exited with ${rc}: ${err}")
    endif()
    string(JSON count LENGTH "${runs}")
    if(NOT count EQUAL 2)
        message(FATAL_ERROR "the demo's archive holds ${count} runs, not 2: ${runs}")
    endif()
    foreach(i 0 1)
        string(JSON plan GET "${runs}" ${i} plan)
        string(JSON verdict GET "${runs}" ${i} verdict)
        string(JSON board GET "${runs}" ${i} board)
        list(APPEND archived "${plan}: ${verdict} ${board}")
    endforeach()
    if(NOT archived STREQUAL "free check: pass DEMO-0001;Standard NIBP bench check: pass DEMO-0001")
        message(FATAL_ERROR "the demo's archive holds ${archived}")
    endif()
endif()
