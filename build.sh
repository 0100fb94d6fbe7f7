#!/usr/bin/env bash
# Builds, runs and tests Morvyn's File Compare from a clean clone.
#   ./build.sh demo   build and open the bundled example pair with moxa
#   ./build.sh test   build both programs (plain and sanitized) and run the whole test suite
#                     (the terminal scenarios on the sanitized programs), then each fuzz target
#                     for a short while, two at a time
#   ./build.sh bench  build the release preset and run the speed comparisons in bench/
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ pkg-config libncurses-dev libgtest-dev libgmock-dev
          libbenchmark-dev tmux diffutils clang libclang-rt-dev)

# libFuzzer comes with clang's runtime libraries, a package of its own on Debian.
fuzzerInstalled() {
    command -v clang++ >/dev/null &&
        compgen -G "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer*.a" >/dev/null
}

missingDependencies() {
    command -v cmake >/dev/null && command -v ninja >/dev/null && command -v g++ >/dev/null &&
        command -v pkg-config >/dev/null && pkg-config --exists ncursesw &&
        [ -f /usr/include/gtest/gtest.h ] && [ -f /usr/include/gmock/gmock.h ] &&
        [ -f /usr/include/benchmark/benchmark.h ] && command -v tmux >/dev/null &&
        command -v diff >/dev/null && fuzzerInstalled && return 1
    return 0
}

ensureDependencies() {
    missingDependencies || return 0
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
        echo "Installing build dependencies: ${packages[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
    else
        echo "Missing build dependencies. Install them with:" >&2
        echo "  sudo apt-get install ${packages[*]}" >&2
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
    ensureDependencies
    build release moxa
    exec build/release/app/moxa examples/old.txt examples/new.txt
    ;;
test)
    ensureDependencies
    build dev
    ctest --preset dev
    build asan
    ctest --preset asan
    build fuzz
    tests/fuzz/run.sh build/fuzz "${QVD_FUZZ_SECONDS:-20}"
    echo "fuzz stage passed: every target ran without a finding"
    ;;
bench)
    ensureDependencies
    build release
    exec bench/run.sh build/release
    ;;
*)
    echo "usage: ./build.sh demo|test|bench" >&2
    exit 2
    ;;
esac
