# Sourced by the scripts that build a library for Windows from Debian's own source package.
# SUDO and DEBIAN_FRONTEND are set for them here.
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Installs the build tools named that are missing.
need_tools() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# Unpacks the source package $1 into the current folder (once) and sets source_dir to it. The
# source package comes from the same archive as the binary ones: a deb-src twin of each
# "Types: deb" entry of the machine's sources, in a file of its own. Newest version first; a
# mirror may lack the sources of a security update, then the release's are taken.
fetch_deb_source() {
  local package="$1" src_list=/etc/apt/sources.list.d/kdau-deb-src.sources version
  source_dir="$(find . -maxdepth 1 -type d -name "$package-*" | sort | tail -n 1)"
  [ -n "$source_dir" ] && return 0
  if ! apt-cache showsrc "$package" 2>/dev/null | grep -q "^Package: $package"; then
    if [ ! -f "$src_list" ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        $SUDO tee "$src_list" >/dev/null
    fi
    $SUDO apt-get update -qq
  fi
  need_tools dpkg-dev
  for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -Vr); do
    apt-get source -qq "$package=$version" >/dev/null 2>&1 && break
    rm -f "${package}"_*
  done
  source_dir="$(find . -maxdepth 1 -type d -name "$package-*" | sort | tail -n 1)"
  [ -n "$source_dir" ] || { echo "$package sources not found" >&2; return 1; }
}
