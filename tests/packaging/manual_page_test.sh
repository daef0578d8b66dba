#!/usr/bin/env bash
# A manual page as the build made it: every placeholder filled in, and man
# formats it without a single warning (groff's go to standard error).
set -euo pipefail
page=$1
command -v man >/dev/null || { echo "needs man (Debian: man-db)"; exit 77; }
if grep -n '@[A-Z_]*@' "$page"; then
  echo "FAILED: $page keeps a placeholder"
  exit 1
fi
warnings=$(MANROFFSEQ='' MANWIDTH=80 man --warnings -l -E UTF-8 -Tutf8 "$page" 2>&1 >/dev/null)
if [[ -n $warnings ]]; then
  printf 'FAILED: man warns about %s:\n%s\n' "$page" "$warnings"
  exit 1
fi
