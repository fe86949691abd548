# Shared by the setup scripts (sourced, not run).
#   apt_install_missing PACKAGE...   installs those not yet installed (as root)
# apt's own output goes to standard error, so callers' standard output stays
# theirs.
apt_install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ "${#missing[@]}" -gt 0 ] || return 0
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=900 update >&2
  apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends "${missing[@]}" >&2
}
