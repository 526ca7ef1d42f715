#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A private PostgreSQL 15 server for the archive's tests and benchmarks: a
# cluster made with initdb in a temporary folder, listening on a Unix socket
# in that folder only (no TCP port), trusting local connections of its
# superuser "tarnvik_admin". As root (CI) the server runs as the "postgres"
# user the Debian package creates, since initdb and the server refuse root;
# otherwise as the user who runs the script.
#
#     postgres_server.sh start STATE      makes the cluster and starts it; writes
#                                         STATE (a file: the folder and the URI)
#     postgres_server.sh stop STATE       stops it and removes the folder and STATE
#     postgres_server.sh pause STATE      stops the server (the cluster stays)
#     postgres_server.sh resume STATE     starts it again
#
# STATE holds two lines, "folder=..." and "uri=postgresql://...", for the tests.
set -euo pipefail

command=${1:-}
state=${2:-}
if [[ -z $command || -z $state ]]; then
    echo "usage: postgres_server.sh start|stop|pause|resume STATE" >&2
    exit 2
fi

bin=""
for candidate in /usr/lib/postgresql/15/bin "$(pg_config --bindir 2>/dev/null || true)"; do
    if [[ -n $candidate && -x $candidate/initdb ]]; then
        bin=$candidate
        break
    fi
done
if [[ -z $bin ]]; then
    echo "postgres_server.sh: no PostgreSQL 15 server (install the package postgresql)" >&2
    exit 2
fi

# Runs a server program as the user the server runs as.
as_server() {
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

folder_of() {
    sed -n 's/^folder=//p' "$state"
}

start() {
    stop
    local base=${TMPDIR:-/tmp} folder
    # The server's user must reach the folder: as root, it is made in /tmp.
    [[ $(id -u) -eq 0 ]] && base=/tmp
    folder=$(mktemp -d "$base/tarnvik-pg.XXXXXX")
    if [[ $(id -u) -eq 0 ]]; then
        chown postgres: "$folder"
    fi
    as_server "$bin/initdb" --pgdata="$folder/data" --username=tarnvik_admin --auth=trust \
        --encoding=UTF8 --locale=C.UTF-8 --no-sync >"$folder/initdb.log" 2>&1 || {
        cat "$folder/initdb.log" >&2
        rm -rf "$folder"
        exit 1
    }
    {
        echo "listen_addresses = ''"
        echo "unix_socket_directories = '$folder'"
        echo "fsync = off"
        echo "max_connections = 40"
    } >>"$folder/data/postgresql.conf"
    printf 'folder=%s\nuri=postgresql://tarnvik_admin@/postgres?host=%s\n' "$folder" "$folder" >"$state"
    resume
}

resume() {
    local folder
    folder=$(folder_of)
    as_server "$bin/pg_ctl" --pgdata="$folder/data" --log="$folder/server.log" --wait \
        --timeout=60 start >/dev/null || {
        cat "$folder/server.log" >&2
        exit 1
    }
}

pause() {
    local folder
    folder=$(folder_of)
    as_server "$bin/pg_ctl" --pgdata="$folder/data" --mode=immediate --wait stop >/dev/null
}

stop() {
    [[ -f $state ]] || return 0
    local folder
    folder=$(folder_of)
    if [[ -n $folder && -d $folder/data ]]; then
        as_server "$bin/pg_ctl" --pgdata="$folder/data" --mode=fast --wait stop >/dev/null 2>&1 || true
    fi
    [[ -n $folder && $folder == */tarnvik-pg.* ]] && rm -rf "$folder"
    rm -f "$state"
}

case $command in
start) start ;;
stop) stop ;;
pause) pause ;;
resume) resume ;;
*)
    echo "postgres_server.sh: unknown command $command" >&2
    exit 2
    ;;
esac
