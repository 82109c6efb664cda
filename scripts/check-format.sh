#!/usr/bin/env bash
# Fails when a C++ file differs from what the checked-in .clang-format makes
# of it; pass --fix to rewrite the files instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
else
    clang-format --dry-run --Werror "${files[@]}"
fi
