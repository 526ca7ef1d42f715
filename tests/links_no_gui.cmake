# SPDX-License-Identifier: MIT
# Fails when BINARY loads Qt Gui or Qt Widgets: the bench core's test links
# nothing but the core's library and Qt Test, so this is the core's own link.
# With -DALLOW_GUI=ON only Qt Widgets fails it: a tool that draws a PDF on
# the offscreen platform (tarnvik-run) needs Qt Gui, never the widgets.
# Usage: cmake -DBINARY=<executable> [-DALLOW_GUI=ON] -P links_no_gui.cmake
execute_process(COMMAND ldd "${BINARY}" RESULT_VARIABLE rc OUTPUT_VARIABLE libraries)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ldd ${BINARY} failed: ${rc}")
endif()
if(NOT libraries MATCHES "libQt6Core")
    message(FATAL_ERROR "ldd lists no Qt at all:\n${libraries}")
endif()
if(ALLOW_GUI)
    if(libraries MATCHES "libQt6Widgets")
        message(FATAL_ERROR "${BINARY} loads Qt Widgets:\n${libraries}")
    endif()
elseif(libraries MATCHES "libQt6(Gui|Widgets)")
    message(FATAL_ERROR "${BINARY} loads Qt Gui or Widgets:\n${libraries}")
endif()
