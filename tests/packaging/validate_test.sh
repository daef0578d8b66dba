#!/usr/bin/env bash
# The desktop entry and the AppStream metadata as their validators see them:
# the desktop entry without even a hint, the metadata without an error or
# warning (offline: no address is fetched).
set -euo pipefail
kind=$1 file=$2
case $kind in
  desktop)
    command -v desktop-file-validate >/dev/null || { echo "needs desktop-file-validate (desktop-file-utils)"; exit 77; }
    output=$(desktop-file-validate "$file" 2>&1) || { echo "$output"; exit 1; }
    if [[ -n $output ]]; then echo "$output"; exit 1; fi
    ;;
  metainfo)
    command -v appstreamcli >/dev/null || { echo "needs appstreamcli (appstream)"; exit 77; }
    appstreamcli validate --no-net "$file"
    ;;
  *) echo "usage: validate_test.sh desktop|metainfo FILE"; exit 2 ;;
esac
