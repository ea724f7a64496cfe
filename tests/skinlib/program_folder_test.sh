#!/usr/bin/env bash
# The program folder is the executable's folder whatever its name and length:
# skin_probe lies in a folder named "Café" at the end of a path longer than
# MAX_PATH and runs under a single-byte ANSI code page (1252), where "é" reads
# as a GBK lead byte and would hide the last backslash. Started from another
# directory, it must make its own folder current (its report lands there) and
# write and load the skinning library there, nowhere else.
# The Unix wine loader starts it: Wine's CreateProcess refuses a path that long.
# usage: program_folder_test.sh skin_probe.exe carried-library.dll
set -uo pipefail
probe=$1
carried=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

long=$root
rootLength=$(winepath -w "$root" | tr -d '\r\n' | wc -c)
while [ $((rootLength + ${#long} - ${#root})) -le 260 ]; do long=$long/$(printf 'x%.0s' {1..60}); done
dir=$long/Café
mkdir -p "$dir"
cp "$probe" "$dir/skin_probe.exe"

cd /
LC_ALL=C.UTF-8 timeout 60 wine "$dir/skin_probe.exe" 13 report.txt
status=$?
[ "$status" -eq 0 ] || { echo "probe ended with $status"; exit 1; }
found=$(cd "$root" && find . -name report.txt -o -name SkinH_EL.dll | sort)
expected=$(cd "$root" && printf '%s\n' "${dir#"$root"}/SkinH_EL.dll" "${dir#"$root"}/report.txt" | sed 's|^|.|' | sort)
[ "$found" = "$expected" ] || { echo "files written: $found"; exit 1; }
grep -Eqx '1 2e5348450003 [0-9]+ null 0 0 0' "$dir/report.txt" || { echo "probe reported: $(cat "$dir/report.txt")"; exit 1; }
cmp -s "$dir/SkinH_EL.dll" "$carried" || { echo "the library written is not the carried one"; exit 1; }
echo "report and library in the folder of $((rootLength + ${#dir} - ${#root})) characters"
