#!/usr/bin/env bash
# Tests the installer built by tools/build-installer.sh:
#  - statically, from its listing (7z): every file is inside, each binary has
#    its architecture and is byte for byte the build's, and the default
#    settings.ini is the one in tools/installer/;
#  - under 64-bit Wine, in a fresh prefix: silent install, reinstall and
#    uninstall, checking the files, the uninstall entry, the text service's
#    COM registration (when the DLL can register itself), the user's PATH,
#    and that the user's settings files are written once and then left alone.
# Run as root on Debian 12; installs p7zip-full and Wine when missing.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$(pwd)
dist=$root/build-windows/dist
# The version the Windows build was configured with (written by CMake).
version=$(cat "$root/build-windows/x86_64/vexo-version")
setup=$root/build-windows/vexo-setup-$version.exe
[ -f "$setup" ] || { echo "run tools/build-installer.sh first" >&2; exit 1; }

export DEBIAN_FRONTEND=noninteractive
missing=()
command -v 7z >/dev/null || missing+=(p7zip-full)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine wine64)
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
work=$(mktemp -d)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT

# --- contents -------------------------------------------------------------------
7z l -slt "$setup" >"$work/listing.txt"
grep -q '^SubType = NSIS-3 Unicode 64-bit' "$work/listing.txt" || fail "not a 64-bit NSIS installer"
7z x -y -o"$work/contents" "$setup" >/dev/null
# check_binary PATH_IN_INSTALLER BUILT_FILE OBJDUMP_FORMAT
check_binary() {
  local inside=$work/contents/$1
  if [ ! -f "$inside" ]; then
    fail "$1 is not in the installer"
    return
  fi
  cmp -s "$inside" "$2" || fail "$1 differs from $2"
  [[ "$(objdump -f "$inside" 2>/dev/null)" == *"file format $3"$'\n'* ]] || fail "$1 is not $3"
}
check_binary vexo.exe "$dist/x86_64/vexo.exe" pei-x86-64
check_binary x64/vexo_tsf.dll "$dist/x86_64/vexo_tsf.dll" pei-x86-64
check_binary x86/vexo_tsf.dll "$dist/i686/vexo_tsf.dll" pei-i386
cmp -s "$work/contents/\$APPDATA/vexo/settings.ini.vexo-tmp" tools/installer/settings.ini ||
  fail "default settings.ini missing or different"
grep -q '^Path = uninstall.exe$' "$work/listing.txt" || fail "no uninstaller"
echo "== installer contents: $failures failure(s)"

# --- Wine -------------------------------------------------------------------------
export LANG=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEPREFIX=$root/build-windows/installer-prefix
wine=/usr/lib/wine/wine64
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver64 -p || true
cleanup() { rm -rf "$work"; /usr/lib/wine/wineserver64 -k || true; }
"$wine" wineboot -i </dev/null >/dev/null 2>&1

unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
# The data of a registry value, or nothing when it is missing.
reg_value() {
  "$wine" reg query "$1" "${@:2}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *[^ ]* *REG_[A-Z_]* *//p' | head -n 1
}
set_user_path() {
  "$wine" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$1" /f >/dev/null 2>&1
}
user_path() { reg_value 'HKCU\Environment' /v Path; }

appdata=$(unix_path "$("$wine" cmd /c 'echo %APPDATA%' | tr -d '\r')")
instdir='C:\Program Files\vexo'
inst=$(unix_path "$instdir")
clsid='{6A2F93D1-4C0B-4E7A-9D35-71C8B0E5A2F4}'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\vexo'
[ -n "$appdata" ] && [ -n "$inst" ] || { echo "cannot resolve Wine paths" >&2; exit 1; }

# The DLL writes its class keys first and then registers its input profile
# with TSF, which Wine's profile manager does not implement: regsvr32 fails
# there after the class keys are written, and the installer reports the failed
# registration with exit status 2 (as it would on Windows). A DLL without
# DllRegisterServer fails the same way, before writing anything.
registers=0
exports=$(x86_64-w64-mingw32-objdump -p "$dist/x86_64/vexo_tsf.dll")
[[ "$exports" == *'] DllRegisterServer'* ]] && registers=1
want_status=2

install() {
  local status=0
  "$wine" "$setup" /S "$@" </dev/null >/dev/null 2>&1 || status=$?
  [ "$status" = "$want_status" ] || fail "install $*: exit status $status, want $want_status"
}
uninstall() {
  "$wine" "$inst/uninstall.exe" /S </dev/null >/dev/null 2>&1 || true
  # The uninstaller runs on from a copy in the temporary folder.
  for _ in $(seq 120); do
    [ -e "$inst" ] || break
    sleep 0.5
  done
}

# First install, asking for the PATH entry, into a profile without settings.
set_user_path 'C:\tools;;C:\bin'
install /PATH
for file in vexo.exe x64/vexo_tsf.dll x86/vexo_tsf.dll uninstall.exe; do
  [ -f "$inst/$file" ] || fail "not installed: $file"
done
cmp -s "$appdata/vexo/settings.ini" tools/installer/settings.ini || fail "default settings.ini not written"
[ ! -e "$appdata/vexo/settings.ini.vexo-tmp" ] || fail "temporary settings file left behind"
[ "$(user_path)" = 'C:\tools;;C:\bin;C:\Program Files\vexo' ] || fail "PATH after install: $(user_path)"
[ "$(reg_value "$uninstall_key" /v UninstallString)" = "\"$instdir\\uninstall.exe\"" ] ||
  fail "uninstall entry: $(reg_value "$uninstall_key" /v UninstallString)"
r=$(cd "$work" && "$wine" "$inst/vexo.exe" "O'zbekiston shahar" 2>&1 | tr -d '\r')
[ "$r" = "Özbekiston şahar" ] || fail "installed vexo.exe: $r"
if [ "$registers" = 1 ]; then
  r=$(reg_value "HKCR\\CLSID\\$clsid\\InprocServer32" /ve)
  [ "$r" = "$instdir\\x64\\vexo_tsf.dll" ] || fail "64-bit InprocServer32: $r"
  r=$(reg_value "HKCR\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel)
  [ "$r" = Apartment ] || fail "ThreadingModel: $r"
else
  echo "== registration not exercised: vexo_tsf.dll has no DllRegisterServer"
fi

# The user's own files stay as they are across a reinstall, and the PATH
# entry is not added twice.
printf 'auto_convert = yo%sq\n' "'" >"$appdata/vexo/settings.ini"
printf 'shahar\n' >"$appdata/vexo/exceptions.txt"
install /PATH
[ "$(cat "$appdata/vexo/settings.ini")" = "auto_convert = yo'q" ] || fail "reinstall replaced settings.ini"
[ "$(user_path)" = 'C:\tools;;C:\bin;C:\Program Files\vexo' ] || fail "PATH after reinstall: $(user_path)"
for arch in x64:x86_64 x86:i686; do
  cmp -s "$inst/${arch%:*}/vexo_tsf.dll" "$dist/${arch#*:}/vexo_tsf.dll" || fail "reinstalled ${arch%:*} DLL"
  [ ! -e "$inst/${arch%:*}/vexo_tsf.dll.old" ] || fail "old ${arch%:*} DLL left behind"
done

uninstall
[ ! -e "$inst" ] || fail "install folder left: $(ls -R "$inst")"
[ -z "$(reg_value "$uninstall_key" /v UninstallString)" ] || fail "uninstall entry left"
[ -z "$(reg_value "HKCR\\CLSID\\$clsid\\InprocServer32" /ve)" ] || fail "COM registration left"
[ "$(user_path)" = 'C:\tools;;C:\bin' ] || fail "PATH after uninstall: $(user_path)"
[ "$(cat "$appdata/vexo/settings.ini" 2>/dev/null)" = "auto_convert = yo'q" ] ||
  fail "uninstall removed or changed settings.ini"
[ -f "$appdata/vexo/exceptions.txt" ] || fail "uninstall removed exceptions.txt"

# Without /PATH the PATH stays as it was; a PATH longer than the installer's
# strings is never rewritten (it would come back cut short).
long='C:\a'$(printf ';C:\\very\\long\\folder\\name%03d' $(seq 50))
set_user_path "$long"
install /PATH
[ "$(user_path)" = "$long" ] || fail "long PATH changed"
uninstall
# A user without a PATH of their own gets one only on request, and loses it
# again with the uninstall.
"$wine" reg delete 'HKCU\Environment' /v Path /f >/dev/null 2>&1
install
[ -z "$(user_path)" ] || fail "PATH written without /PATH: $(user_path)"
install /PATH
[ "$(user_path)" = "$instdir" ] || fail "new PATH: $(user_path)"
uninstall
[ -z "$(user_path)" ] || fail "PATH after the last uninstall: $(user_path)"

echo "installer tests: $failures failure(s)"
[ "$failures" -eq 0 ]
