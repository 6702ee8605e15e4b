#!/usr/bin/env bash
# Fails, naming the Debian package, when a program that the tests call is not on the PATH, or
# when a package that provides one is missing from scripts/setup-deps.
#   check_programs.sh PROGRAMS_TXT SETUP_DEPS
set -uo pipefail
list="$1"
setup_deps="$2"

# The package names in setup-deps' array, comments left out.
listed=" $(sed -n '/^packages=(/,/^)/p' "$setup_deps" | sed -e 's/#.*//' -e 's/packages=(//' -e 's/)//' |
  tr -s ' \n\t' ' ') "

failed=0
checked=0
while read -r program package essential _; do
  case "$program" in '' | '#'*) continue ;; esac
  checked=$((checked + 1))
  if ! command -v "$program" >/dev/null 2>&1; then
    echo "FAIL: $program is not on the PATH: install the Debian package $package" \
      "(scripts/setup-deps does)"
    failed=1
  fi
  if [ "$essential" != "essential" ] && [[ "$listed" != *" $package "* ]]; then
    echo "FAIL: $package (for $program) is missing from scripts/setup-deps"
    failed=1
  fi
done <"$list"

if [ "$checked" -eq 0 ]; then
  echo "FAIL: no programs read from $list"
  exit 1
fi
[ "$failed" -eq 0 ] && echo "ok: $checked programs on the PATH, their packages in scripts/setup-deps"
exit "$failed"
