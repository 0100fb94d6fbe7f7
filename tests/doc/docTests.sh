#!/usr/bin/env bash
# The manual pages, the bash completion and an installation, each checked as a user would meet it.
#   docTests.sh CASE SOURCE_DIR [BUILD_DIR]
set -euo pipefail
# A user's own defaults (QVD_OPTIONS) never reach the programs under test.
unset QVD_OPTIONS
testCase=$1
source=$2
build=${3:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/qvdDoc.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# groff warns about every macro, escape or font it does not know; -z drops the output.
manualPagesAreCleanRoff() {
    local page warnings
    for page in moxa.1 moxaw.1; do
        warnings=$(groff -man -ww -z "$source/doc/$page" 2>&1) || fail "groff failed on $page"
        [ -z "$warnings" ] || fail "$page: $warnings"
        # Every option has an entry of its own: a tagged paragraph whose tag names it.
        local tags option
        # The tags with roff's hyphens \- made plain.
        tags=$(awk '/^\.TP/ { getline; gsub(/\\-/, "-"); print }' "$source/doc/$page")
        for option in a b c d e h l m n o s v w z 1 -long-runs -context= -wrap -no-mouse -help -version -; do
            grep -qE -- "(^| )-$option( |\"|\$)" <<<"$tags" || fail "$page has no entry for -$option"
        done
    done
}

# Completes the words of a command line the way bash would at the last word.
completeWords() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _qvd_complete
    printf '%s\n' "${COMPREPLY[@]}"
}

completionOffersOptionsAndNames() {
    # shellcheck source=/dev/null
    source "$source/doc/completion/qvd.bash"
    complete -p moxa >/dev/null && complete -p moxaw >/dev/null || fail "not registered for both programs"
    [ "$(completeWords moxa --l)" = "--long-runs" ] || fail "--l gave: $(completeWords moxa --l)"
    [ "$(completeWords moxa --n)" = "--no-mouse" ] || fail "--n gave: $(completeWords moxa --n)"
    [ "$(completeWords moxaw --v)" = "--version" ] || fail "--v gave: $(completeWords moxaw --v)"
    [ "$(completeWords moxa --w)" = "--wrap" ] || fail "--w gave: $(completeWords moxa --w)"
    [ "$(completeWords moxaw --c)" = "--context=" ] || fail "--c gave: $(completeWords moxaw --c)"
    # (grep -q in a pipe would end it early, and pipefail would take that for a failure.)
    grep -qx -- '-b' <<<"$(completeWords moxa -)" || fail "- does not offer -b"
    mkdir -p "$work/dir/sub"
    touch "$work/dir/old notes.txt" "$work/dir/other" "$work/dir/-dash.txt"
    cd "$work/dir"
    [ "$(completeWords moxa -- -)" = "-dash.txt" ] || fail "a name after --: $(completeWords moxa -- -)"
    [ "$(completeWords moxa -b "old")" = "old notes.txt" ] || fail "a name with a blank: $(completeWords moxa -b old)"
    [ "$(completeWords moxaw old.txt s)" = "sub" ] || fail "a directory: $(completeWords moxaw old.txt s)"
}

installHoldsProgramsPagesAndCompletions() {
    cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
    local file
    for file in bin/moxa bin/moxaw share/man/man1/moxa.1.gz share/man/man1/moxaw.1.gz \
        share/bash-completion/completions/moxa share/bash-completion/completions/moxaw; do
        [ -s "$work/prefix/$file" ] || fail "no $file in the installation"
    done
    [ -x "$work/prefix/bin/moxa" ] && [ -x "$work/prefix/bin/moxaw" ] || fail "programs not executable"
    # The pages installed are the pages of the source.
    cmp -s <(gzip -dc "$work/prefix/share/man/man1/moxa.1.gz") "$source/doc/moxa.1" ||
        fail "the installed moxa.1 is not doc/moxa.1"
    # The installed programs run from there.
    [ "$("$work/prefix/bin/moxaw" --version)" = "moxaw (Morvyn's File Compare) 3.00h" ] ||
        fail "installed moxaw --version: $("$work/prefix/bin/moxaw" --version)"
}

"$testCase"
