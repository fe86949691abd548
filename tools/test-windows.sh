#!/usr/bin/env bash
# Tests the Windows programs built by tools/build-windows.sh: the x86_64 test
# suite through CTest with Wine as the emulator, vexo.exe end to end under
# Wine (its results compared with the Linux build's), and static checks of
# both architectures' outputs (exact export list, no non-system DLL imports,
# version resources carrying the version the build was configured with).
# Run as root on Debian 12; installs Wine (64-bit only) when it is missing.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build-windows/x86_64
dist=$root/build-windows/dist
[ -f "$dist/x86_64/vexo.exe" ] || { echo "run tools/build-windows.sh first" >&2; exit 1; }

# --- Wine ---------------------------------------------------------------------
# Only the 64-bit Wine: adding the i386 architecture would upgrade system
# packages, and 32-bit programs cannot run on these machines anyway.
if [ ! -x /usr/lib/wine/wine64 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends wine wine64
fi
export LANG=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEPREFIX=$build/wineprefix
wine=/usr/lib/wine/wine64
mkdir -p "$WINEPREFIX"
# One persistent server for all runs (about 0.1 s a run instead of 1 s);
# stopped on the way out.
/usr/lib/wine/wineserver64 -p || true
trap '/usr/lib/wine/wineserver64 -k || true' EXIT
# The first run starts Wine's background services, which inherit its
# streams: give it none, or a later pipe never closes.
"$wine" wineboot -i </dev/null >/dev/null 2>&1

# --- test suite ---------------------------------------------------------------
ctest --test-dir "$build" --output-on-failure

# --- vexo.exe end to end ------------------------------------------------------
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# expect NAME WANT GOT: compares two byte strings (as hex, so that line
# endings and trailing newlines count).
expect() {
  local want got
  want=$(printf '%s' "$2" | od -An -tx1 | tr -d ' \n')
  got=$(printf '%s' "$3" | od -An -tx1 | tr -d ' \n')
  [ "$want" = "$got" ] || fail "$1: want $(printf '%q' "$2"), got $(printf '%q' "$3")"
}
vexo() { "$wine" "$dist/x86_64/vexo.exe" "$@"; }
# Output with a final marker, so that $(...) keeps trailing line feeds.
out() { "$@"; printf x; }

work=$(mktemp -d)
trap 'rm -rf "$work"; /usr/lib/wine/wineserver64 -k || true' EXIT
cd "$work"

r=$(out vexo "O‘zbekiston shahar"); expect "arguments" $'Özbekiston şahar\nx' "$r"
r=$(out vexo 'say "choy" ichdi' 'ikki  bo‘sh' 'a\"b' 'c\\d'); \
  expect "spaces, quotes, backslashes" $'say "çoy" içdi ikki  böş a\\"b c\\\\d\nx' "$r"
r=$(out vexo --tutuq=’ "ma'no" "Ўзбекистон"); expect "non-ASCII option and text" $'ma’no Özbekiston\nx' "$r"
r=$(printf 'shahar\r\nchoy\n' | vexo | od -An -tx1 | tr -d ' \n')
expect "standard input to a pipe, bytes kept" "$(printf 'şahar\r\nçoy\n' | od -An -tx1 | tr -d ' \n')" "$r"
vexo old --ascii "Özbekiston şahar" >redirected.txt
expect "output to a file, no CR added" $'O\'zbekiston shahar\nx' "$(out cat redirected.txt)"
r=$(vexo --version); expect "version" "vexo $(cat "$root/build-windows/x86_64/vexo-version")" "$r"
# On a terminal Wine gives the program a console, written with WriteConsoleW;
# its control sequences and line-end CRs are not part of the text.
r=$(timeout 60 script -qec "$wine '$dist/x86_64/vexo.exe' 'O‘zbekiston shahar'" /dev/null </dev/null |
  sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d '\r')
expect "console" "Özbekiston şahar" "$r"
r=$(vexo --help | head -n 1); expect "help" "vexo — o'zbek matnini 2026-yilgi alifboga (ö ğ ş ç ʼ) o'giradi" "$r"

# file: a .txt with a non-ASCII name and a .docx, converted as on Linux.
linux_vexo=$root/build/cli/vexo
if [ ! -x "$linux_vexo" ]; then
  cmake -S "$root" -B "$root/build" -DVEXO_WERROR=ON >/dev/null
  cmake --build "$root/build" --target vexo -j 2 >/dev/null
fi
printf '\xef\xbb\xbfO‘zbek tili\r\nchoy\r\n' >"o‘zbek matn.txt"
r=$(vexo file "o‘zbek matn.txt"); expect "file .txt report" "o‘zbek matn.txt → o‘zbek matn.yangi.txt (2 ta o'zgarish)" "$r"
expect "file .txt content" $'\xef\xbb\xbfÖzbek tili\r\nçoy\r\nx' "$(out cat "o‘zbek matn.yangi.txt")"
[ ! -e "o‘zbek matn.yangi.txt.vexo-tmp" ] || fail "temporary file left behind"
# The same file under another spelling of its name is still the input.
if vexo file "o‘zbek matn.txt" -o "O‘ZBEK MATN.TXT" 2>err.txt; then fail "same file written"; fi
grep -q "kirish fayli ustiga yozilmaydi" err.txt || fail "same-file message: $(cat err.txt)"
vexo file "o‘zbek matn.yangi.txt" --in-place >/dev/null || fail "--in-place"

mkdir linux windows
cp "$root/tests/fixtures/letter.docx" linux/hujjat.docx
cp "$root/tests/fixtures/letter.docx" windows/hujjat.docx
"$linux_vexo" file linux/hujjat.docx >/dev/null
(cd windows && vexo file hujjat.docx >/dev/null)
python3 - linux/hujjat.yangi.docx windows/hujjat.yangi.docx <<'EOF' || fail ".docx entries differ from the Linux build's"
import sys, zipfile
a, b = (zipfile.ZipFile(p) for p in sys.argv[1:3])
names = [i.filename for i in a.infolist()]
assert names == [i.filename for i in b.infolist()], "entry names or order"
for n in names:
    assert a.read(n) == b.read(n), n
    assert a.getinfo(n).date_time == b.getinfo(n).date_time, n
EOF

# eval: mismatches give exit status 1 and a per-language tally.
printf '# izoh\nuz\tshahar\tşahar\nuz\tchoy\tchoy\nen\tflash\n' >test.tsv
if vexo eval test.tsv >eval.txt; then fail "eval with a mismatch exited with 0"; fi
grep -q '^3:uz  choy$' eval.txt || fail "eval mismatch report: $(cat eval.txt)"
grep -q '^uz ' eval.txt && grep -q ' µs/so.z (3 so.z)$' eval.txt || fail "eval tallies: $(cat eval.txt)"
printf 'uz\tshahar\tşahar\n' >good.tsv
vexo eval good.tsv >/dev/null || fail "eval without mismatches exited with 1"

cd "$root"
echo "vexo.exe end to end: $failures failure(s)"

# --- static checks of both architectures --------------------------------------
exports='DllCanUnloadNow DllGetClassObject DllMain DllRegisterServer DllUnregisterServer vexo_convert vexo_free vexo_session_complete_word vexo_session_free vexo_session_new vexo_session_reset vexo_to_cyrillic vexo_to_old vexo_warm_up'
for arch in i686 x86_64; do
  objdump=$arch-w64-mingw32-objdump
  for binary in "$dist/$arch/vexo.exe" "$dist/$arch/vexo_tsf.dll"; do
    if [ ! -f "$binary" ]; then
      fail "missing $binary"
      continue
    fi
    imports=$("$objdump" -p "$binary" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
    if echo "$imports" | grep -qiE 'libstdc|libgcc|winpthread|zlib|libz'; then
      fail "$binary imports $imports"
    fi
    version=$(cat "$root/build-windows/$arch/vexo-version")
    resource=$("$arch-w64-mingw32-windres" -J coff -O rc -i "$binary")
    for line in "FILEVERSION ${version//./, }, 0" "PRODUCTVERSION ${version//./, }, 0" \
      "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
      "VALUE \"ProductName\", \"vexo\"" "VALUE \"OriginalFilename\", \"$(basename "$binary")\""; do
      grep -qF "$line" <<<"$resource" || fail "$binary version resource lacks: $line"
    done
  done
  got=$("$objdump" -p "$dist/$arch/vexo_tsf.dll" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' | tr '\n' ' ')
  [ "$got" = "$exports " ] || fail "$arch exports: $got"
done

echo "Windows tests: $failures failure(s)"
[ "$failures" -eq 0 ]
