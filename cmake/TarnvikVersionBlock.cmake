# SPDX-License-Identifier: MIT
# The Windows form of the version, "major.minor.revision" with the minor number
# written in two digits and the revision in four: 1.0.1 becomes "1.00.0001".
# Wider numbers are kept whole, never cut. A version resource stores each part
# in 16 bits, so a part above 65535 stops the configuration instead of being
# stored wrong.
function(tarnvik_version_block out_var major minor revision)
    foreach(part IN ITEMS ${major} ${minor} ${revision})
        if(NOT part MATCHES "^[0-9]+$" OR part GREATER 65535)
            message(FATAL_ERROR "Version part '${part}' does not fit a version resource (0 to 65535)")
        endif()
    endforeach()
    set(padded_minor "00${minor}")
    set(padded_revision "0000${revision}")
    string(LENGTH "${minor}" minor_length)
    string(LENGTH "${revision}" revision_length)
    if(minor_length LESS 2)
        string(SUBSTRING "${padded_minor}" ${minor_length} -1 minor)
    endif()
    if(revision_length LESS 4)
        string(SUBSTRING "${padded_revision}" ${revision_length} -1 revision)
    endif()
    set(${out_var} "${major}.${minor}.${revision}" PARENT_SCOPE)
endfunction()
