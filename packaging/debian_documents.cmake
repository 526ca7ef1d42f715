# SPDX-License-Identifier: MIT
# The documents a Debian package carries beside the programs, installed by
# `cmake --install` and so by the package: a manual page for each program in
# tarnvik_programs, the copyright file in Debian's machine-readable format
# (made from LICENSE) and the changelog, in the places and the compression
# Debian's policy asks for.
find_program(TARNVIK_GZIP gzip REQUIRED)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tarnvik)

# Manual pages, from each program's --help (manual_page.cmake) and the page's
# further sections in man/<program>.sections. A cross build cannot run its
# programs, and installs none of these.
if(NOT CMAKE_CROSSCOMPILING)
    set(pages "")
    foreach(program IN LISTS tarnvik_programs)
        set(others ${tarnvik_programs})
        list(REMOVE_ITEM others ${program})
        list(JOIN others "," see_also)
        set(sections ${CMAKE_CURRENT_SOURCE_DIR}/man/${program}.sections)
        set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1)
        add_custom_command(
            OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program}
                    -DDATE=${TARNVIK_RELEASE_DATE} -DSEE_ALSO=${see_also}
                    -DSECTIONS=${sections} -DGZIP=${TARNVIK_GZIP} -DOUTPUT=${page}
                    -P ${CMAKE_CURRENT_SOURCE_DIR}/manual_page.cmake
            DEPENDS ${program} ${CMAKE_CURRENT_SOURCE_DIR}/manual_page.cmake ${sections}
            COMMENT "Writing the manual page of ${program}"
            VERBATIM)
        list(APPEND pages ${page}.gz)
    endforeach()
    add_custom_target(tarnvik_manual_pages ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The copyright file: the copyright line and the licence text of LICENSE, the
# text as the format wants it (indented one space, empty lines as " .").
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
if(NOT license MATCHES "Copyright \\(c\\) ([^\n]+)\n+(.+[^\n])\n*$")
    message(FATAL_ERROR "LICENSE has no copyright line followed by the licence text")
endif()
set(TARNVIK_COPYRIGHT ${CMAKE_MATCH_1})
string(REGEX REPLACE "\n\n" "\n.\n" TARNVIK_LICENSE_TEXT "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " TARNVIK_LICENSE_TEXT " ${TARNVIK_LICENSE_TEXT}")
configure_file(copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${doc_dir})

# The changelog: a native package's changelog.gz. Its newest entry must be the
# version in project(); a release adds its entry at the top.
file(STRINGS changelog.in newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^tarnvik \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog.in has no entry for ${PROJECT_VERSION} at its top")
endif()
configure_file(changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    COMMAND ${TARNVIK_GZIP} -9nkf ${CMAKE_CURRENT_BINARY_DIR}/changelog
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog
    VERBATIM)
add_custom_target(tarnvik_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${doc_dir})
