# Debian source packages for the dependency builds (sourced by
# tools/windows-deps.sh and tools/web-deps.sh): unpacked_source PACKAGE VERSION
# prints the unpacked tree (Debian patches applied) under $cache/src, fetching
# it once. Needs `cache` and a `log` function.

# Source packages need a deb-src entry; derive one from the configured mirror.
enable_sources() {
  if grep -rqs '^deb-src\|^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  log "enabling source packages"
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    >/etc/apt/sources.list.d/vexo-deb-src.sources
  apt-get -o DPkg::Lock::Timeout=900 update >&2
}

# The installed version comes first; when the mirror no longer serves it, the
# newest Debian revision of the same upstream release is taken instead.
# Packages are fetched one at a time: one failed download would abort a batch.
unpacked_source() {
  local package=$1 version=$2
  local dir=$cache/src/${package}_$version
  if [ ! -f "$dir/.complete" ]; then
    enable_sources
    rm -rf "$dir" && mkdir -p "$dir"
    local upstream=${version%-*} candidate fetched=
    local candidates=("$version")
    while read -r candidate; do
      [ "${candidate%-*}" = "$upstream" ] && [ "$candidate" != "$version" ] &&
        candidates+=("$candidate")
    done < <(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -rV)
    for candidate in "${candidates[@]}"; do
      log "fetching source $package=$candidate"
      if (cd "$dir" && apt-get source --download-only "$package=$candidate" >&2); then
        fetched=$candidate
        break
      fi
      rm -f "$dir"/*
    done
    [ -n "$fetched" ] || { log "no source package for $package $upstream"; exit 1; }
    (cd "$dir" && dpkg-source --no-check -x ./*.dsc tree >&2)
    echo "$fetched" >"$dir/version"
    touch "$dir/.complete"
  fi
  echo "$dir/tree"
}
