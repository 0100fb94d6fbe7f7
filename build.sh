#!/usr/bin/env bash
# Builds, runs and tests Morvyn's File Compare from a clean clone.
#   ./build.sh demo   build moxa as a plain build (only what the programs need) and open the
#                     bundled example pair with it
#   ./build.sh test   build both programs sanitized and run the whole test suite on them, the
#                     fault walk on a plain build (its allocator takes the sanitizers' place),
#                     then each fuzz target for a short while, two at a time
#   ./build.sh bench  build the release preset and run the speed comparisons in bench/
set -euo pipefail
cd "$(dirname "$0")"

# What the programs need to build, and what the tests and benchmarks need besides.
programPackages=(cmake ninja-build g++ pkg-config libncurses-dev)
testPackages=(libgtest-dev libgmock-dev libbenchmark-dev tmux diffutils clang libclang-rt-dev
              groff-base)
benchPackages=(libbenchmark-dev diffutils)

# libFuzzer comes with clang's runtime libraries, a package of its own on Debian.
fuzzerInstalled() {
    command -v clang++ >/dev/null &&
        compgen -G "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer*.a" >/dev/null
}

programToolsThere() {
    command -v cmake >/dev/null && command -v ninja >/dev/null && command -v g++ >/dev/null &&
        command -v pkg-config >/dev/null && pkg-config --exists ncursesw
}

testToolsThere() {
    [ -f /usr/include/gtest/gtest.h ] && [ -f /usr/include/gmock/gmock.h ] &&
        [ -f /usr/include/benchmark/benchmark.h ] && command -v tmux >/dev/null &&
        command -v diff >/dev/null && command -v groff >/dev/null && fuzzerInstalled
}

benchToolsThere() {
    [ -f /usr/include/benchmark/benchmark.h ] && command -v diff >/dev/null
}

# ensure CHECK PACKAGE...: installs the packages when CHECK fails (as root, with apt-get).
ensure() {
    local check=$1
    shift
    "$check" && return 0
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
        echo "Installing: $*"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "$@" >/dev/null
    else
        echo "Missing build dependencies. Install them with:" >&2
        echo "  sudo apt-get install $*" >&2
        exit 1
    fi
}

build() { # preset [target...]
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build --preset "$preset" --target "$@"
    else
        cmake --build --preset "$preset"
    fi
}

case "${1:-}" in
demo)
    # A plain build, as a packager or a user makes it: no test libraries, warnings not errors.
    ensure programToolsThere "${programPackages[@]}"
    cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DQVD_BUILD_TESTS=OFF \
        -DQVD_BUILD_BENCH=OFF >/dev/null
    cmake --build build/demo --target moxa
    exec build/demo/app/moxa examples/old.txt examples/new.txt
    ;;
test)
    ensure programToolsThere "${programPackages[@]}"
    ensure testToolsThere "${testPackages[@]}"
    # Every test runs sanitized below but the fault walk, whose failing allocator replaces malloc
    # as the sanitizers do: it alone needs a plain build.
    build faultWalk faultWalkTests_wide faultWalkTests_narrow
    ctest --preset faultWalk
    # One sanitized build holds the tests and the fuzz targets; each target runs for a short while
    # after the tests, two at a time.
    build asan
    ctest --preset asan
    tests/fuzz/run.sh build/asan "${QVD_FUZZ_SECONDS:-10}"
    echo "fuzz stage passed: every target ran without a finding"
    ;;
bench)
    ensure programToolsThere "${programPackages[@]}"
    ensure benchToolsThere "${benchPackages[@]}"
    build release
    exec bench/run.sh build/release
    ;;
*)
    echo "usage: ./build.sh demo|test|bench" >&2
    exit 2
    ;;
esac
