#!/usr/bin/env bash
# The whole fault-injection walk: every allocation of every scripted session of both programs
# fails in turn, once alone and once with every allocation after it (the test command walks a
# sample). Some minutes; the two programs are walked side by side.
#
#   tests/waysOut/walk.sh build/dev [SESSION]
#
# SESSION (view, identical, batch, usage, helpers) limits the walk to one session.
set -euo pipefail
build=${1:?usage: walk.sh BUILD_DIRECTORY [SESSION]}
filter="Sessions/FaultWalk.*/${2:-*}"
status=0
for flavour in w n; do
    QVD_FAULT_WALK=1 "$build/tests/waysOut/faultWalkTests_$flavour" --gtest_filter="$filter" &
done
for job in $(jobs -p); do wait "$job" || status=1; done
exit $status
