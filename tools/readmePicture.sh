#!/usr/bin/env bash
# Draws doc/view.svg, the README's picture of the view, from a real run: moxa on the example pair
# in an 80 x 25 tmux pane, captured with its colours and drawn by screenSvg.
#   tools/readmePicture.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: tools/readmePicture.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
socket=qvd-picture-$$
home=$(mktemp -d "${TMPDIR:-/tmp}/qvdPicture.XXXXXX")
tm() { tmux -L "$socket" -f /dev/null "$@"; }
trap 'tm kill-server 2>/dev/null; rm -rf "$home"' EXIT
# The built-in colours, whatever the user has saved.
tm new-session -d -s picture -x 80 -y 25 \
    "env HOME=$home XDG_CONFIG_HOME=$home TERM=xterm-256color LANG=C.UTF-8 $build/app/moxa -d examples/old.txt examples/new.txt"
sleep 1
tm send-keys -t picture Space
sleep 0.5
tm capture-pane -e -p -t picture | "$build/tools/screenSvg" 80 25 >doc/view.svg
tm send-keys -t picture q
echo "doc/view.svg drawn"
