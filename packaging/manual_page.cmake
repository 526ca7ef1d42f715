# SPDX-License-Identifier: MIT
# Writes the manual page of one installed program from what the program says
# about itself, in the manner of help2man: NAME and DESCRIPTION from the
# description lines of --help, SYNOPSIS from its usage line, OPTIONS and
# ARGUMENTS from its option and argument lists, the title line from
# --version. Further sections (FILES, EXIT STATUS, ...) come from the page's
# own file in packaging/man/, and SEE ALSO names the other installed programs.
# The page is compressed as Debian wants it (gzip -9n: no name, no time).
#
#     cmake -DPROGRAM=path -DNAME=tarnvik -DDATE=yyyy-mm-dd -DSEE_ALSO=a,b
#           -DSECTIONS=page.sections -DGZIP=gzip -DOUTPUT=tarnvik.1
#           -P manual_page.cmake
#
# The program runs without a display and with HOME set to "~", so that a path
# it derives from the home folder reads as the user would write it, not as the
# home of whoever built the package.
cmake_minimum_required(VERSION 3.21)

foreach(var IN ITEMS PROGRAM NAME DATE GZIP OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "manual_page.cmake needs -D${var}")
    endif()
endforeach()

set(ENV{HOME} "~")
unset(ENV{XDG_DATA_HOME})
unset(ENV{XDG_CONFIG_HOME})
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{LC_ALL} C.UTF-8)
# A sanitized build's program may hold memory at exit; that is no fault of
# its help text.
set(ENV{ASAN_OPTIONS} detect_leaks=0)

function(run_program option result)
    execute_process(COMMAND ${PROGRAM} ${option}
        OUTPUT_VARIABLE out ERROR_QUIET RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${NAME} ${option} exited with ${rc}")
    endif()
    set(${result} "${out}" PARENT_SCOPE)
endfunction()

# Roff text: backslashes escaped, minus signs as such, no line taken for a
# request; the characters a CMake list cannot hold put back.
function(roff_text text result)
    string(REPLACE "@SEMICOLON@" ";" text "${text}")
    string(REPLACE "@OPENING@" "[" text "${text}")
    string(REPLACE "@CLOSING@" "]" text "${text}")
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

# An option's names in bold and its value in italics: "-o, --output <png>".
function(roff_option names result)
    string(REGEX REPLACE "<([^>]*)>" "@I@\\1@R@" names "${names}")
    roff_text("${names}" names)
    string(REGEX REPLACE "(\\\\-[^ ,@]*)" "\\\\fB\\1\\\\fR" names "${names}")
    string(REPLACE "@I@" "\\fI" names "${names}")
    string(REPLACE "@R@" "\\fR" names "${names}")
    set(${result} "${names}" PARENT_SCOPE)
endfunction()

run_program(--version version_text)
string(STRIP "${version_text}" version_text)
run_program(--help help_text)
# One list item a line: semicolons and brackets, which would split or join
# items, stand in words until roff_text puts them back.
string(REPLACE ";" "@SEMICOLON@" help_text "${help_text}")
string(REPLACE "[" "@OPENING@" help_text "${help_text}")
string(REPLACE "]" "@CLOSING@" help_text "${help_text}")
string(REPLACE "\n" ";" help_lines "${help_text}")

# Qt's help: "Usage: PATH [options] ARGS", the description lines, then
# "Options:" and "Arguments:", each entry "  NAMES   TEXT" with the text
# running on in lines indented to its column.
set(part usage)
set(description "")
set(entries "")
set(synopsis "")
foreach(line IN LISTS help_lines)
    if(part STREQUAL "usage")
        if(NOT line MATCHES "^Usage: [^ ]+(.*)$")
            message(FATAL_ERROR "${NAME} --help does not start with its usage")
        endif()
        string(STRIP "${CMAKE_MATCH_1}" synopsis)
        set(part description)
    elseif(line MATCHES "^(Options|Arguments):$")
        string(TOUPPER "${CMAKE_MATCH_1}" heading)
        string(APPEND entries ".SH ${heading}\n")
        set(part entries)
    elseif(part STREQUAL "description")
        if(NOT line STREQUAL "")
            list(APPEND description "${line}")
        endif()
    elseif(line MATCHES "^  ([^ ]+( [^ ]+)*)  +([^ ].*)$")
        # Names are separated by single spaces, the text by two or more.
        roff_option("${CMAKE_MATCH_1}" names)
        roff_text("${CMAKE_MATCH_3}" text)
        if(heading STREQUAL "ARGUMENTS")
            set(names "\\fI${names}\\fR")
        endif()
        string(APPEND entries ".TP\n${names}\n${text}\n")
    elseif(line MATCHES "^    +([^ ].*)$")
        roff_text("${CMAKE_MATCH_1}" text)
        string(APPEND entries "${text}\n")
    endif()
endforeach()
if(NOT description OR entries STREQUAL "")
    message(FATAL_ERROR "${NAME} --help gives no description or no options")
endif()

# NAME: the first description line without its full stop.
list(GET description 0 summary)
string(REGEX REPLACE "\\.$" "" summary "${summary}")
string(SUBSTRING "${summary}" 0 1 first)
string(SUBSTRING "${summary}" 1 -1 rest)
string(TOLOWER "${first}" first)
set(summary "${first}${rest}")
roff_text("${summary}" summary)
roff_text("${NAME}" name)
roff_text("${version_text}" version_text)

roff_option("${synopsis}" synopsis)
string(REGEX REPLACE "\\[(options)\\]" "[\\\\fIoptions\\\\fR]" synopsis "${synopsis}")
string(TOUPPER "${name}" title)
set(page ".TH ${title} 1 \"${DATE}\" \"${version_text}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${name} \\- ${summary}\n")
string(APPEND page ".SH SYNOPSIS\n.B ${name}\n${synopsis}\n")
string(APPEND page ".SH DESCRIPTION\n")
foreach(line IN LISTS description)
    roff_text("${line}" line)
    string(APPEND page "${line}\n.PP\n")
endforeach()
string(REGEX REPLACE "\n\\.PP\n$" "\n" page "${page}")
string(APPEND page "${entries}")

if(DEFINED SECTIONS AND EXISTS "${SECTIONS}")
    file(READ "${SECTIONS}" sections)
    string(APPEND page "${sections}")
endif()
string(REPLACE "," ";" SEE_ALSO "${SEE_ALSO}")
if(SEE_ALSO)
    list(TRANSFORM SEE_ALSO REPLACE "-" "\\\\-")
    list(TRANSFORM SEE_ALSO PREPEND "\\fB")
    list(TRANSFORM SEE_ALSO APPEND "\\fR(1)")
    list(JOIN SEE_ALSO ",\n" see_also)
    string(APPEND page ".SH SEE ALSO\n${see_also}\n")
endif()

file(WRITE "${OUTPUT}" "${page}")
execute_process(COMMAND ${GZIP} -9nf "${OUTPUT}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${OUTPUT} failed")
endif()
