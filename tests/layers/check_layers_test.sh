#!/usr/bin/env bash
# scripts/check-layers on small trees of its own: a tree that keeps the layers
# passes, and each kind of broken include fails with the offending line.
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tree FILE=TEXT...: a fresh git tree holding the checker and the given files.
tree() {
  rm -rf "$work/t" && mkdir -p "$work/t/scripts" && cp "$script" "$work/t/scripts/"
  local spec
  for spec in "$@"; do
    mkdir -p "$work/t/$(dirname "${spec%%=*}")"
    printf '%s\n' "${spec#*=}" >"$work/t/${spec%%=*}"
  done
  git -C "$work/t" init -q
}

failures=0
expect() {  # expect STATUS NEEDLE: the checker's exit status and a word of its output
  local output status=0
  output=$("$work/t/scripts/check-layers" 2>&1) || status=$?
  if [[ $status -ne $1 || $output != *"$2"* ]]; then
    echo "FAILED: wanted status $1 and '$2', got $status: $output"
    failures=$((failures + 1))
  fi
}

tree 'src/app/a.cpp=#include "scanner/x.h"' 'src/scanner/x.h=#include <vector>' 'src/platform/p.cpp=#include <unistd.h>'
expect 0 "every include follows the layers"
tree 'src/scanner/x.cpp=#include "app/y.h"'
expect 1 'src/scanner/x.cpp:1: "app/y.h"'
tree 'src/results/r.cpp=#include "app/y.h"'
expect 1 'src/results/r.cpp:1'
tree 'src/sources/s.cpp=#include "scanner/detail/char_table.h"'
expect 1 'src/sources/s.cpp:1'
tree 'src/sources/s.cpp=#include <unistd.h>'
expect 1 'src/sources/s.cpp:1'
tree 'src/cli/c.cpp=#include "gui/form1.h"'
expect 1 'src/cli/c.cpp:1'
# The Win32 window may include Win32 headers and the Qt window's words; the
# Qt window may neither include Win32 nor the Win32 window.
tree 'src/gui_win32/w.cpp=#include <windows.h>' 'src/gui_win32/f.cpp=#include "gui/window_texts.h"'
expect 0 "every include follows the layers"
tree 'src/gui/q.cpp=#include <windows.h>'
expect 1 'src/gui/q.cpp:1'
tree 'src/gui/q.cpp=#include "gui_win32/form1.h"'
expect 1 'src/gui/q.cpp:1'

if [[ $failures -eq 0 ]]; then echo "9 passed, 0 failed"; else echo "$((9 - failures)) passed, $failures failed"; exit 1; fi
