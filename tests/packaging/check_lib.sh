# Helpers shared by the packaging tests (sourced, not run).

failures=0

fail()
{
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

need_tool()
{
    command -v "$1" > /dev/null || {
        echo "FAIL: $1 is missing (Debian package $2; scripts/install-deps test installs it)" >&2
        exit 1
    }
}

# The expected file list, without comments and blank lines, sorted.
expected_files()
{
    grep -v -e '^#' -e '^[[:space:]]*$' "$1" | LC_ALL=C sort
}

# Width, height and colour type of a PNG, from its IHDR chunk.
png_header()
{
    local bytes
    bytes=$(od -A n -t u1 -j 16 -N 10 "$1" | tr -s ' \n' ' ')
    read -r w1 w2 w3 w4 h1 h2 h3 h4 _depth colour <<< "$bytes"
    echo "$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4)) $(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4)) $colour"
}

# The value of `key` in a desktop entry's main group.
desktop_value()
{
    sed -n "s/^$2=//p" "$1" | head -n 1
}

finish()
{
    if ((failures)); then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
