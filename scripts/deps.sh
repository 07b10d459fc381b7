# Shared by scripts/run and scripts/test: installs the Debian packages the build and the
# tests need, only when one is missing. Sourced, not run.

KVEN_PACKAGES=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format
  python3
  qt6-base-dev libgl-dev fonts-ipafont-gothic
)

kven_install_missing() {
  local missing=()
  local pkg
  for pkg in "${KVEN_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q || return 1
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
}
