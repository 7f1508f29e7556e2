#!/usr/bin/env bash
# Packs a built keymoor.exe and keymoor-cli.exe into the release zip.
# Usage: dist.sh EXE CLI_EXE OUTDIR
# Writes into OUTDIR:
#   keymoor-VERSION-win64.zip         keymoor.exe and keymoor-cli.exe without debug sections,
#                                     README.txt (CR LF), charsets/*.chr and SHA256SUMS of the
#                                     other files
#   keymoor-VERSION-win64.zip.sha256  the zip's own checksum, to publish beside it
#   keymoor-VERSION-win64.debug       keymoor.exe's debug sections, kept out of the zip
#   keymoor-VERSION-win64-cli.debug   keymoor-cli.exe's
# VERSION is the first three numbers of FILEVERSION in resources/keymoor.rc, the version the
# program itself reports. Every output is a function of the inputs alone: no dates, no
# absolute paths, a fixed order, so two builds of one commit give the same bytes.
set -euo pipefail
if [ $# -ne 3 ]; then
  echo "usage: $0 EXE CLI_EXE OUTDIR" >&2
  exit 2
fi
exe=$1 cli=$2 out=$3
here=$(cd "$(dirname "$0")/.." && pwd)
fail() {
  echo "dist: $*" >&2
  exit 1
}

version=$(sed -n 's/^FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\),.*/\1.\2.\3/p' \
  "$here/resources/keymoor.rc")
[ -n "$version" ] || fail "no FILEVERSION line in resources/keymoor.rc"
[ -f "$exe" ] || fail "$exe does not exist"
[ -f "$cli" ] || fail "$cli does not exist"
command -v python3 >/dev/null || fail "python3 is missing (Debian package python3); it writes the zip"
name=keymoor-$version-win64

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$out"

# objcopy and strip stamp every PE file they write with the current time unless
# SOURCE_DATE_EPOCH names one; 0 is what the linker writes with --no-insert-timestamp.
export SOURCE_DATE_EPOCH=0
x86_64-w64-mingw32-objcopy --only-keep-debug "$exe" "$out/$name.debug"
x86_64-w64-mingw32-strip --strip-all -o "$stage/keymoor.exe" "$exe"
x86_64-w64-mingw32-objcopy --only-keep-debug "$cli" "$out/$name-cli.debug"
x86_64-w64-mingw32-strip --strip-all -o "$stage/keymoor-cli.exe" "$cli"

# The zip is for a bare Windows: nothing of the toolchain may be left in or next to the exes.
for program in keymoor.exe keymoor-cli.exe; do
  if x86_64-w64-mingw32-objdump -h "$stage/$program" | grep -q ' \.debug'; then
    fail "$program still has debug sections after strip"
  fi
  if dlls=$(x86_64-w64-mingw32-objdump -p "$stage/$program" | grep -i 'DLL Name: lib'); then
    fail "$program needs runtime DLLs that Windows does not have: $dlls"
  fi
done

# README.txt in Windows line ends, whatever the checkout did to the source's.
sed -e "s/@VERSION@/$version/g" -e 's/\r$//' -e 's/$/\r/' "$here/release/README.txt" \
  >"$stage/README.txt"
mkdir "$stage/charsets"
cp "$here"/release/charsets/*.chr "$stage/charsets/"

sums=$(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum)
printf '%s\n' "$sums" >"$stage/SHA256SUMS"

# Entries in name order, each dated 1980-01-01 (the earliest date a zip can hold) with plain
# MS-DOS attributes, so neither the clock nor the umask reaches the archive.
python3 - "$stage" "$out/$name.zip" <<'EOF'
import os
import sys
import zipfile

stage, target = sys.argv[1], sys.argv[2]
names = []
for root, dirs, files in os.walk(stage):
    rel = os.path.relpath(root, stage)
    prefix = "" if rel == "." else rel.replace(os.sep, "/") + "/"
    if prefix:
        names.append(prefix)
    names += [prefix + f for f in files]

with zipfile.ZipFile(target + ".tmp", "w") as archive:
    for name in sorted(names):
        entry = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
        entry.create_system = 0  # MS-DOS: external_attr holds only the attribute byte
        if name.endswith("/"):
            entry.external_attr = 0x10  # directory
            archive.writestr(entry, b"")
        else:
            entry.external_attr = 0x20  # archive
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(stage, name), "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
os.replace(target + ".tmp", target)
EOF

(cd "$out" && sha256sum "$name.zip" >"$name.zip.sha256")
echo "dist: wrote $out/$name.zip ($(stat -c %s "$out/$name.zip") bytes; keymoor.exe" \
  "$(stat -c %s "$stage/keymoor.exe") bytes, SHA-256 $(sha256sum <"$stage/keymoor.exe" | cut -c1-64);" \
  "keymoor-cli.exe $(stat -c %s "$stage/keymoor-cli.exe") bytes)"
