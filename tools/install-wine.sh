#!/usr/bin/env bash
# Installs the 64-bit Wine that runs the Windows test programs, when missing.
# Only the 64-bit Wine: adding the i386 architecture would upgrade system
# packages, and 32-bit programs cannot run on these machines anyway.
# Run as root on Debian 12.
set -euo pipefail
[ -x /usr/lib/wine/wine64 ] && exit 0
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=900 update
apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends wine wine64
