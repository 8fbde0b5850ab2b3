#!/usr/bin/env bash
# Runs a validator over a source file; exit 77 (skipped) when the validator is
# not installed (scripts/install-deps test installs it).
#   validate.sh TOOL [ARGS...] FILE
set -uo pipefail
tool=$1
if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
fi
exec "$@"
