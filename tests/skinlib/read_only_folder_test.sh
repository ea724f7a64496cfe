#!/usr/bin/env bash
# A program folder that cannot be written: ApplySkin writes nothing, loads
# nothing and the program goes on without a skin. The folder is made
# immutable (chattr +i), which holds even for root; skipped (77) without it.
# usage: read_only_folder_test.sh skin_probe.exe
set -uo pipefail
probe=$1
dir=$(mktemp -d)
report=$(mktemp)
cleanup() { chattr -i "$dir" 2>/dev/null; rm -rf "$dir" "$report"; }
trap cleanup EXIT
cp "$probe" "$dir/skin_probe.exe"
chattr +i "$dir" 2>/dev/null || { echo "cannot make a folder immutable here"; exit 77; }
if touch "$dir/check" 2>/dev/null; then echo "immutable folder still writable"; exit 77; fi

timeout 60 wine "$dir/skin_probe.exe" 13 "$(winepath -w "$report")"
status=$?
[ "$status" -eq 0 ] || { echo "probe ended with $status"; exit 1; }
[ "$(cat "$report")" = "not loaded" ] || { echo "probe reported: $(cat "$report")"; exit 1; }
[ ! -e "$dir/SkinH_EL.dll" ] || { echo "a library file appeared"; exit 1; }
echo "no library written or loaded; the probe ran on"
