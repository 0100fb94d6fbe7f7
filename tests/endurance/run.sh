#!/usr/bin/env bash
# Runs the endurance test of a build (both programs' flavours), best the asan build:
#   tests/endurance/run.sh build/asan [KEYS] [SEED]
set -euo pipefail
build=$1
shift
for flavour in wide narrow; do
    "$build/tests/endurance/endurance_$flavour" "$@"
done
