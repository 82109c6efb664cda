#!/usr/bin/env bash
# Installs what is missing, builds, starts the reference online database on
# loopback (port 8642, with a sample database on first use) and runs the
# program against it.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_BUILD_TESTS=OFF -DTOLVAR_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"

server_pid=""
if [ -x build/server/tolvar-server ]; then
    [ -d sample-db ] || build/server/tolvar-server --make-sample sample-db
    if ! (exec 3<>/dev/tcp/127.0.0.1/8642) 2>/dev/null; then
        build/server/tolvar-server --root sample-db &
        server_pid=$!
        trap '[ -n "$server_pid" ] && kill $server_pid 2>/dev/null' EXIT
        sleep 0.3
    fi
fi

if [ -x build/app/tolvar ]; then
    build/app/tolvar
else
    echo "The main window is not part of this build yet: showing what the save tool sees."
    echo "(To look at the skin and the trees, run build/gallery/tolvar-gallery on an X display.)"
    echo "== Drives"; build/tools/tolvar-cli drives
    mkdir -p Saves
    echo "== Saves\\"; build/tools/tolvar-cli list 'Saves\'
    if [ -x build/server/tolvar-server ]; then
        echo "== Online"; build/tools/tolvar-cli online || true
    fi
fi
