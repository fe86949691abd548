#!/usr/bin/env bash
# Builds the Debian packages build-deb/vexo_<version>_<arch>.deb (program, man
# page, bash completion, libvexo.so.1) and build-deb/vexo-dev_<version>_<arch>.deb
# (header, pkg-config file, libvexo.so) with CPack, from a Release build with
# Debian's hardening flags. Run as root on Debian 12: installs what it needs.
# Prints the two packages' paths on its last two lines.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
bash tools/setup.sh
source tools/apt.sh
apt_install_missing dpkg-dev file binutils

build=build-deb
# Dated by the last commit, so that two builds of one commit give one package.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH
# Debian's compiler and linker flags (-O2, stack protector, fortify, relro,
# bind now), as a Debian package build passes them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DVEXO_BUILD_TESTS=OFF -DVEXO_BUILD_BENCH=OFF -DVEXO_INSTALL=ON -DVEXO_WERROR=ON \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >&2
cmake --build "$build" -j "${VEXO_JOBS:-$(nproc)}" >&2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB) >&2

# What CPack cannot say: the library's loader cache is renewed by dpkg's
# ldconfig trigger rather than by maintainer scripts calling ldconfig, and the
# program and the library share one package on purpose.
finish() {
  local deb=$1 root
  root=$(mktemp -d)
  dpkg-deb -R "$deb" "$root"
  chmod 755 "$root"
  if [ -f "$root/DEBIAN/postinst" ]; then
    rm "$root/DEBIAN/postinst" "$root/DEBIAN/postrm"
    printf 'activate-noawait ldconfig\n' >"$root/DEBIAN/triggers"
    mkdir -p "$root/usr/share/lintian/overrides"
    printf '%s\n' "# The program and its C library ship together in one package." \
      "vexo: package-name-doesnt-match-sonames libvexo1" \
      >"$root/usr/share/lintian/overrides/vexo"
    chmod 644 "$root/DEBIAN/triggers" "$root/usr/share/lintian/overrides/vexo"
    (cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
  fi
  dpkg-deb --root-owner-group -Zxz -b "$root" "$deb" >&2
  rm -rf "$root"
}
version=$(cat "$build/vexo-version")
arch=$(dpkg --print-architecture)
for name in vexo vexo-dev; do
  finish "$build/${name}_${version}_$arch.deb"
done
for name in vexo vexo-dev; do
  echo "$(pwd)/$build/${name}_${version}_$arch.deb"
done
