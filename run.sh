#!/usr/bin/env bash
# Installs what is missing, builds, starts the reference online database on
# loopback (port 8642, with a sample database on first use) when nothing
# listens there yet, and runs the program against it. The server started here
# ends with the script.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_BUILD_TESTS=OFF -DTOLVAR_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"

server_pid=""
[ -d sample-db ] || build/server/tolvar-server --make-sample sample-db
if ! (exec 3<>/dev/tcp/127.0.0.1/8642) 2>/dev/null; then
    build/server/tolvar-server --root sample-db &
    server_pid=$!
    trap '[ -n "$server_pid" ] && kill $server_pid 2>/dev/null' EXIT
    for _ in $(seq 50); do
        (exec 3<>/dev/tcp/127.0.0.1/8642) 2>/dev/null && break
        sleep 0.1
    done
fi

if [ -z "${DISPLAY:-}" ]; then
    echo "No X display (DISPLAY is not set): the program needs one." >&2
    exit 1
fi
build/app/tolvar "$@"
