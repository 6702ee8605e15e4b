#!/usr/bin/env bash
# The screenshot tool's command line: help and usage errors print text and write no picture.
#   screenshot_usage.sh SCREENSHOT_PROGRAM
set -uo pipefail
program="$(realpath "$1")"
work="$(mktemp -d "${TMPDIR:-/tmp}/ovixlog-screenshot-usage.XXXXXX")"
trap 'rm -rf "$work"' EXIT

failed=0
# arguments | exit status | first line of stdout | first line of stderr
while IFS='|' read -r args status out err; do
  rm -rf "$work/run" && mkdir "$work/run"
  read -r -a argv <<<"$args"
  (cd "$work/run" && "$program" "${argv[@]}" >"$work/out" 2>"$work/err")
  got=$?
  gotOut="$(head -n 1 "$work/out")"
  gotErr="$(head -n 1 "$work/err")"
  written="$(ls -A "$work/run")"
  if [ "$got" != "$status" ] || [ "$gotOut" != "$out" ] || [ "$gotErr" != "$err" ] ||
     [ -n "$written" ]; then
    echo "FAIL: ovixlog-screenshot $args: exit $got (want $status), stdout '$gotOut'" \
      "(want '$out'), stderr '$gotErr' (want '$err'), files written: '${written}'"
    failed=1
  else
    echo "ok: ovixlog-screenshot $args"
  fi
done <<'CASES'
--help|0|Usage: ovixlog-screenshot [OUTPUT.png]|
-h|0|Usage: ovixlog-screenshot [OUTPUT.png]|
--bogus|2||ovixlog-screenshot: unknown option --bogus
a.png b.png|2||ovixlog-screenshot: only one output file
--trends a.png b.png|2||ovixlog-screenshot: only one output file
CASES
exit "$failed"
