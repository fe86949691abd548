#!/usr/bin/env bash
# Builds the Windows installer, build-windows/vexo-setup-<version>.exe, from
# the programs of tools/build-windows.sh (run first when they are missing) and
# tools/installer/vexo.nsi. Run as root on Debian 12: installs NSIS when it is
# missing. Prints the installer's path on its last line.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root=$(pwd)
dist=$root/build-windows/dist

if ! command -v makensis >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends nsis
fi

for file in i686/vexo_tsf.dll x86_64/vexo_tsf.dll x86_64/vexo.exe; do
  if [ ! -f "$dist/$file" ]; then
    bash tools/build-windows.sh
    break
  fi
done

# The version the Windows build was configured with (written by CMake).
version=$(cat "$root/build-windows/x86_64/vexo-version")
work=$root/build-windows/installer
mkdir -p "$work"
# The licence page shows the text as it stands; Windows wants CR LF.
sed 's/\r*$/\r/' LICENSE >"$work/LICENSE.txt"

out=$root/build-windows/vexo-setup-$version.exe
makensis -V2 -INPUTCHARSET UTF8 \
  -DVERSION="$version" -DDIST="$dist" -DLICENSE="$work/LICENSE.txt" -DOUTFILE="$out.tmp" \
  tools/installer/vexo.nsi >&2
mv "$out.tmp" "$out"
echo "== installer: $(stat -c %s "$out") bytes" >&2
echo "$out"
