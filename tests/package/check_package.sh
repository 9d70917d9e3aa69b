#!/usr/bin/env bash
# Unpacks a .deb into a scratch root and checks that hosts find both formats
# there: lilv (lv2info) finds the LV2 plug-in with its UI, Ardour's VST
# scanner accepts the VST module, and every library the binaries need is
# covered by the package's dependencies.   check_package.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/root"
fail() { echo "check_package: $*" >&2; exit 1; }

bundle="$scratch/root/usr/lib/lv2/zrv4.lv2"
vst="$scratch/root/usr/lib/vst/zrv4.so"
for f in "$bundle/manifest.ttl" "$bundle/zrv4.ttl" "$bundle/zrv4_dsp.so" "$bundle/zrv4_ui.so" "$vst"; do
  [ -f "$f" ] || fail "missing ${f#$scratch/root}"
done

info=$(LV2_PATH="$scratch/root/usr/lib/lv2" lv2info urn:tolvane-amps:zrv4 2>&1) || fail "lv2info: $info"
grep -q "Binary: *file://$bundle/zrv4_dsp.so" <<<"$info" || fail "lilv does not find the DSP binary: $info"
grep -q "Binary: *file://$bundle/zrv4_ui.so" <<<"$info" || fail "lilv does not find the UI binary: $info"

scan=$(env HOME="$scratch" XDG_CACHE_HOME="$scratch/.cache" LD_LIBRARY_PATH=/usr/lib/ardour7 \
  timeout 300 /usr/lib/ardour7/ardour-vst-scanner -v -f "$vst" 2>&1) || fail "scanner: $scan"
grep -q "Found Plugin" <<<"$scan" && grep -q "ZRV4 1.0.0" <<<"$scan" || fail "scanner did not find ZRV4: $scan"

# Each library a binary needs must belong to a package named in Depends.
depends=$(dpkg-deb -f "$deb" Depends)
names=$(sed 's/([^)]*)//g; s/|/,/g' <<<"$depends" | tr ',' '\n' | tr -d ' ')
for so in "$vst" "$bundle/zrv4_dsp.so" "$bundle/zrv4_ui.so"; do
  for lib in $(objdump -p "$so" | awk '/NEEDED/ {print $2}'); do
    # The readers take all of their input: one that stopped early would end
    # the writer with SIGPIPE, which pipefail reports as a failure.
    path=$(ldconfig -p | awk -v l="$lib" '$1 == l && path == "" {path = $NF} END {print path}')
    [ -n "$path" ] || fail "$lib of ${so##*/} is not installed"
    # dpkg knows a library by one of its paths: the linker's, the real one, or
    # either under /usr (merged /usr).
    owner=
    for p in "$path" "$(realpath "$path")" "/usr$path" "${path#/usr}"; do
      owner=$(dpkg -S "$p" 2>/dev/null | awk -F: 'NR == 1 {print $1}') || owner=
      [ -n "$owner" ] && break
    done
    [ -n "$owner" ] || fail "no package owns $lib"
    grep -qxF "$owner" <<<"$names" || fail "$lib (${owner}) of ${so##*/} is not in Depends: $depends"
  done
done
echo "check_package: $(basename "$deb") installs both formats where hosts find them"
