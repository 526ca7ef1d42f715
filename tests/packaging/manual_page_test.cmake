# SPDX-License-Identifier: MIT
# The manual page writer against programs whose --help is made up for each
# row: what lands in the page, what roff must not take as a request, and the
# helps it refuses. A row's checks are "+TEXT" (in the page) or "-TEXT" (not
# in it); a refused help has the check "FAILS". @SEMI@ stands for a semicolon,
# which an item of a CMake list cannot hold.
#
#     cmake -DWRITER=manual_page.cmake -DGZIP=gzip -DWORK=dir -P manual_page_test.cmake
set(usage "Usage: /build/dir/fake [options] trace")
set(options "Options:\n  -h, --help          Displays help on commandline options.")

set(rows
    "option with a value|${usage}\nDraws a trace.\n\n${options}\n  -o, --output <png>  The PNG file\n                      to write.\n"
    "+\\fB\\-o\\fR, \\fB\\-\\-output\\fR \\fIpng\\fR\nThe PNG file\nto write.\n"
    "name line from the first description line|${usage}\nDraws a trace.\nMore text.\n\n${options}\n"
    "+.SH NAME\nfake \\- draws a trace\n" "+More text.\n" "-/build/dir"
    "argument in italics|${usage}\nDraws a trace.\n\n${options}\n\nArguments:\n  trace               The trace to read.\n"
    "+.SH ARGUMENTS\n.TP\n\\fItrace\\fR\nThe trace to read.\n"
    "lines that look like requests stay text|${usage}\nDraws a trace.\n.SH and\n'quote\n\n${options}\n"
    "+\\&.SH and\n" "+\\&'quote\n" "-\n.SH and"
    "backslash and semicolon kept|${usage}\nDraws C:\\path\\file@SEMI@ twice.\n\n${options}\n"
    "+C:\\epath\\efile@SEMI@ twice"
    "unbalanced bracket splits no line|${usage}\nDraws a trace [see below.\n\n${options}\n  --all  Everything.\n"
    "+trace [see below" "+\\fB\\-\\-all\\fR\nEverything.\n"
    "title and see also|${usage}\nDraws a trace.\n\n${options}\n"
    "+.TH FAKE 1 \"2026-12-07\" \"fake 9.9\"" "+.SH SEE ALSO\n\\fBother\\-tool\\fR(1)\n"
    "help without its usage line|Draws a trace.\n\n${options}\n" "FAILS"
    "help without options|${usage}\nDraws a trace.\n" "FAILS"
)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/fake
    "#!/bin/sh\n[ \"$1\" = --version ] && { echo 'fake 9.9'; exit 0; }\n"
    "cat \"$(dirname \"$0\")/help.txt\"\n")
file(CHMOD ${WORK}/fake PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

set(failures 0)
set(row "")
foreach(item IN LISTS rows)
    if(item MATCHES "^([^|+-][^|]*)\\|(.*)$")
        set(row "${CMAKE_MATCH_1}")
        string(REPLACE "@SEMI@" ";" help "${CMAKE_MATCH_2}")
        file(WRITE ${WORK}/help.txt "${help}")
        file(REMOVE ${WORK}/fake.1.gz)
        execute_process(COMMAND ${CMAKE_COMMAND} -DPROGRAM=${WORK}/fake -DNAME=fake
                -DDATE=2026-12-07 -DSEE_ALSO=other-tool -DGZIP=${GZIP}
                -DOUTPUT=${WORK}/fake.1 -P ${WRITER}
            RESULT_VARIABLE written OUTPUT_QUIET ERROR_VARIABLE error)
        set(page "")
        if(written EQUAL 0)
            execute_process(COMMAND ${GZIP} -dc ${WORK}/fake.1.gz OUTPUT_VARIABLE page)
        endif()
    elseif(item STREQUAL "FAILS")
        if(written EQUAL 0)
            message(SEND_ERROR "${row}: the page was written")
            math(EXPR failures "${failures} + 1")
        endif()
    else()
        string(SUBSTRING "${item}" 0 1 sign)
        string(SUBSTRING "${item}" 1 -1 text)
        string(REPLACE "@SEMI@" ";" text "${text}")
        string(FIND "${page}" "${text}" at)
        if(NOT written EQUAL 0 OR (sign STREQUAL "+" AND at EQUAL -1)
           OR (sign STREQUAL "-" AND NOT at EQUAL -1))
            message(SEND_ERROR "${row}: expected ${sign}[${text}] in\n${page}${error}")
            math(EXPR failures "${failures} + 1")
        endif()
    endif()
endforeach()
if(failures)
    message(FATAL_ERROR "${failures} check(s) failed")
endif()
