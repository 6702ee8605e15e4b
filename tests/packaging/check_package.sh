#!/usr/bin/env bash
# Builds the Debian package from a finished build tree, unpacks it into a temporary root and
# checks what a user would get: the exact file list, the control fields, the programs running
# from the unpacked tree, the menu entry, the icons, the AppStream metainfo and the man pages.
#
#   check_package.sh --build-dir DIR --version X.Y.Z --window ON|OFF --convert BUILT_CONVERTER
#
# --window says whether the build has the window (and with it the desktop files).
# Every check runs; the failures are listed at the end and make the exit status 1.
set -uo pipefail

build_dir="" version="" window="" built_convert=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir="$2"; shift 2 ;;
    --version) version="$2"; shift 2 ;;
    --window) window="$2"; shift 2 ;;
    --convert) built_convert="$2"; shift 2 ;;
    *) echo "check_package.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$build_dir" ] || [ -z "$version" ] || [ -z "$built_convert" ] ||
   { [ "$window" != ON ] && [ "$window" != OFF ]; }; then
  echo "usage: check_package.sh --build-dir DIR --version X.Y.Z --window ON|OFF --convert FILE" >&2
  exit 2
fi

failures=()
fail() {
  failures+=("$1")
  echo "FAIL: $1"
}
pass() { echo "ok: $1"; }

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate groff gzip; do
  if ! command -v "$tool" >/dev/null; then
    echo "check_package.sh: $tool is missing (scripts/setup-deps installs it)" >&2
    exit 1
  fi
done

tmp="$(mktemp -d "${TMPDIR:-/tmp}/ovixlog-package.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
root="$tmp/root"

# --- Building the package --------------------------------------------------------------------
if ! cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  echo "FAIL: cpack could not build the package"
  exit 1
fi
shopt -s nullglob
debs=("$tmp"/out/*.deb)
shopt -u nullglob
arch="$(dpkg --print-architecture)"
if [ ${#debs[@]} -ne 1 ]; then
  cat "$tmp/cpack.log"
  echo "FAIL: expected one .deb, cpack made ${#debs[@]}"
  exit 1
fi
deb="${debs[0]}"
if [ "$(basename "$deb")" = "ovixlog_${version}_${arch}.deb" ]; then
  pass "package file name $(basename "$deb")"
else
  fail "package file is $(basename "$deb"), expected ovixlog_${version}_${arch}.deb"
fi

# --- Control fields --------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ovixlog ] && pass "Package: ovixlog" || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] && pass "Version: $version" ||
  fail "Version is '$(field Version)', expected $version"
[ "$(field Architecture)" = "$arch" ] && pass "Architecture: $arch" ||
  fail "Architecture is '$(field Architecture)'"
if [[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]]; then
  pass "Maintainer: $(field Maintainer)"
else
  fail "Maintainer is not 'Name <address>': '$(field Maintainer)'"
fi
summary="$(field Description | head -n 1)"
if [ -n "$summary" ] && [ ${#summary} -le 80 ]; then
  pass "short description: $summary"
else
  fail "short description missing or longer than 80 characters: '$summary'"
fi
# dpkg-shlibdeps names the libraries the programs link; without it Depends would lack them.
depends=",$(field Depends | tr -d ' '),"
expected_depends=(libc6 libstdc++6 libsqlite3-0 libssl3)
[ "$window" = ON ] && expected_depends+=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 qt6-qpa-plugins)
for dep in "${expected_depends[@]}"; do
  if [[ "$depends" == *",$dep,"* || "$depends" == *",$dep("* ]]; then
    pass "Depends names $dep"
  else
    fail "Depends does not name $dep: $(field Depends)"
  fi
done

# --- The exact list of files -----------------------------------------------------------------
expected=(
  ./usr/bin/ovixlog-convert
  ./usr/bin/ovixlog-library
  ./usr/bin/ovixlog-record
  ./usr/bin/ovixlog-sim
  ./usr/lib/systemd/system/ovixlog-record@.service
  ./usr/share/doc/ovixlog/examples/90-ovixlog-record.rules.example
  ./usr/share/man/man1/ovixlog-convert.1.gz
  ./usr/share/man/man1/ovixlog-library.1.gz
  ./usr/share/man/man1/ovixlog-record.1.gz
  ./usr/share/man/man1/ovixlog-sim.1.gz
)
if [ "$window" = ON ]; then
  expected+=(
    ./usr/bin/ovixlog
    ./usr/share/applications/ovixlog.desktop
    ./usr/share/icons/hicolor/scalable/apps/ovixlog.svg
    ./usr/share/man/man1/ovixlog.1.gz
  )
  for size in 16 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/ovixlog.png")
  done
fi
printf '%s\n' "${expected[@]}" | sort >"$tmp/expected.txt"
# The metainfo's name carries the AppStream id, which is checked against its content below.
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' |
  grep -v '^\./usr/share/metainfo/[^/]*\.metainfo\.xml$' | sort >"$tmp/actual.txt"
if diff -u "$tmp/expected.txt" "$tmp/actual.txt" >"$tmp/files.diff"; then
  pass "the package holds exactly the expected files"
else
  cat "$tmp/files.diff"
  fail "the package's files differ from the expected list (- missing, + unexpected)"
fi

dpkg -x "$deb" "$root"

# --- The programs ----------------------------------------------------------------------------
programs=(ovixlog-convert ovixlog-sim ovixlog-record ovixlog-library)
[ "$window" = ON ] && programs+=(ovixlog)
for program in "${programs[@]}"; do
  if [ -f "$root/usr/bin/$program" ] && [ -x "$root/usr/bin/$program" ]; then
    pass "usr/bin/$program is executable"
  else
    fail "usr/bin/$program is missing or not executable"
  fi
done

convert="$root/usr/bin/ovixlog-convert"
if "$convert" --help >"$tmp/help.txt" 2>"$tmp/help.err"; then
  if [ "$(head -c 23 "$tmp/help.txt")" = "Usage: ovixlog-convert " ] && [ ! -s "$tmp/help.err" ]; then
    pass "installed ovixlog-convert --help exits 0 and prints its usage"
  else
    fail "installed ovixlog-convert --help printed something else: $(head -n 1 "$tmp/help.txt")"
  fi
else
  fail "installed ovixlog-convert --help exited $? ($(head -n 3 "$tmp/help.err"))"
fi

# The installed programs do real work: the simulator's recording, converted by the installed
# converter, gives byte for byte what the build tree's converter gives.
if "$root/usr/bin/ovixlog-sim" --capture "$tmp/flight.bin" --frames 120 --model 7100 &&
   "$convert" --model 7100 --all --oldest --csv "$tmp/flight.bin" >"$tmp/installed.csv" &&
   "$built_convert" --model 7100 --all --oldest --csv "$tmp/flight.bin" >"$tmp/built.csv"; then
  rows="$(wc -l <"$tmp/installed.csv")"
  if cmp -s "$tmp/installed.csv" "$tmp/built.csv" && [ "$rows" -ge 120 ]; then
    pass "installed sim and converter: $rows CSV lines, identical to the build tree's"
  else
    fail "installed converter's CSV ($rows lines) differs from the build tree's"
  fi
else
  fail "installed ovixlog-sim or ovixlog-convert failed on a 120-frame capture"
fi

if [ "$window" = ON ]; then
  # The window reads its command line before it needs a display.
  if out="$("$root/usr/bin/ovixlog" --version)" && [[ "$out" == "OvixLog release "* ]]; then
    pass "installed ovixlog --version: $out"
  else
    fail "installed ovixlog --version failed or printed '$out'"
  fi
fi

# --- Menu entry ------------------------------------------------------------------------------
if [ "$window" = ON ]; then
  desktop="$root/usr/share/applications/ovixlog.desktop"
  if report="$(desktop-file-validate "$desktop" 2>&1)" && [ -z "$report" ]; then
    pass "desktop-file-validate: no errors, warnings or hints"
  else
    fail "desktop-file-validate: $report"
  fi
  for line in "Type=Application" "Name=OvixLog" "Exec=ovixlog %f" "Icon=ovixlog" \
              "Terminal=false"; do
    grep -qFx "$line" "$desktop" && pass "desktop entry: $line" ||
      fail "desktop entry lacks the line $line"
  done
  for key in Comment Categories; do
    value="$(sed -n "s/^$key=//p" "$desktop")"
    [ -n "$value" ] && pass "desktop entry: $key=$value" || fail "desktop entry has no $key"
  done
  [ "$(grep -c '^Comment=' "$desktop")" -eq 1 ] || fail "desktop entry has more than one Comment"

  # --- Icons -----------------------------------------------------------------------------------
  svg="$root/usr/share/icons/hicolor/scalable/apps/ovixlog.svg"
  if grep -q '<svg' "$svg" 2>/dev/null; then pass "scalable icon is SVG"; else fail "scalable icon is not SVG"; fi
  for size in 16 32 48 64 128 256; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/ovixlog.png"
    # Signature, then the IHDR chunk's width and height as big-endian 32-bit numbers.
    read -r -a head <<<"$(od -An -tu1 -N24 "$png" 2>/dev/null | tr -s ' \n' ' ')"
    if [ ${#head[@]} -ne 24 ]; then
      fail "${size}x${size} icon missing or too short"
      continue
    fi
    signature="${head[*]:0:8}"
    width=$(( (head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19] ))
    height=$(( (head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23] ))
    if [ "$signature" = "137 80 78 71 13 10 26 10" ] && [ "$width" -eq "$size" ] &&
       [ "$height" -eq "$size" ]; then
      pass "${size}x${size} icon is a ${width}x${height} PNG"
    else
      fail "${size}x${size} icon: signature '$signature', ${width}x${height}"
    fi
  done

  # --- AppStream metainfo ----------------------------------------------------------------------
  shopt -s nullglob
  metainfos=("$root"/usr/share/metainfo/*.metainfo.xml)
  shopt -u nullglob
  if [ ${#metainfos[@]} -ne 1 ]; then
    fail "expected one metainfo file, found ${#metainfos[@]}"
  else
    metainfo="${metainfos[0]}"
    id="$(sed -n 's|^ *<id>\(.*\)</id> *$|\1|p' "$metainfo")"
    if [ -n "$id" ] && [ "$(basename "$metainfo")" = "$id.metainfo.xml" ]; then
      pass "metainfo file named after its id $id"
    else
      fail "metainfo $(basename "$metainfo") does not match its id '$id'"
    fi
    grep -qF '<launchable type="desktop-id">ovixlog.desktop</launchable>' "$metainfo" &&
      pass "metainfo launches ovixlog.desktop" || fail "metainfo has no launchable ovixlog.desktop"
    grep -qF "<release version=\"$version\"" "$metainfo" &&
      pass "metainfo release $version" || fail "metainfo has no release $version"
    if command -v appstreamcli >/dev/null; then
      if report="$(appstreamcli validate --no-net "$metainfo" 2>&1)"; then
        pass "appstreamcli validate --no-net"
      else
        fail "appstreamcli validate --no-net: $report"
      fi
    else
      echo "skipped: appstreamcli is not installed"
    fi
  fi
fi

# --- Man pages -------------------------------------------------------------------------------
man_pages=(ovixlog-convert ovixlog-sim ovixlog-record ovixlog-library)
[ "$window" = ON ] && man_pages+=(ovixlog)
for program in "${man_pages[@]}"; do
  page="$root/usr/share/man/man1/$program.1.gz"
  if ! gzip -dc "$page" >"$tmp/$program.1" 2>/dev/null; then
    fail "man page $program.1.gz missing or not gzip"
    continue
  fi
  title="$(echo "$program" | tr '[:lower:]' '[:upper:]')"
  if grep -qE "^\.TH $title 1 \"[0-9]{4}-[0-9]{2}-[0-9]{2}\" \"OvixLog ${version%%.*}\"" "$tmp/$program.1"; then
    pass "$program.1: title line names release ${version%%.*}"
  else
    fail "$program.1: title line is '$(head -n 1 "$tmp/$program.1")'"
  fi
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    grep -qx "\.SH $section" "$tmp/$program.1" || fail "$program.1 has no $section section"
  done
  escaped_name="${program//-/\\-}"
  name_line="$(sed -n '/^\.SH NAME$/{n;p;q}' "$tmp/$program.1")"
  [[ "$name_line" == "$escaped_name \\- "* ]] ||
    fail "$program.1: the NAME line is '$name_line'"
  if warnings="$(groff -t -man -ww -z -Tutf8 "$tmp/$program.1" 2>&1)" && [ -z "$warnings" ]; then
    pass "$program.1 formats without warnings"
  else
    fail "$program.1: groff: $warnings"
  fi
  # Every long and short option that the program's own help lists is in its man page.
  if [ "$program" = ovixlog ] && [ "$window" = ON ]; then
    "$root/usr/bin/ovixlog" --help >"$tmp/$program.help"
  else
    "$root/usr/bin/$program" --help >"$tmp/$program.help"
  fi
  missing=()
  while read -r option; do
    grep -qF -- "${option//-/\\-}" "$tmp/$program.1" || missing+=("$option")
  done < <(grep -oE '(^|[ ,])--?[a-z][a-z0-9-]*' "$tmp/$program.help" | tr -d ' ,' | sort -u)
  if [ ${#missing[@]} -eq 0 ]; then
    pass "$program.1 describes every option of $program --help"
  else
    fail "$program.1 does not mention ${missing[*]}"
  fi
done
if [ "$window" = ON ]; then
  for word in OVIXLOG_COM1 dialout /dev/ttyS0; do
    grep -qF -- "${word//-/\\-}" "$tmp/ovixlog.1" && pass "ovixlog.1 explains $word" ||
      fail "ovixlog.1 does not mention $word"
  done
fi

if [ ${#failures[@]} -eq 0 ]; then
  echo "the package $(basename "$deb") passed every check"
  exit 0
fi
echo "${#failures[@]} check(s) failed:"
printf '  %s\n' "${failures[@]}"
exit 1
