# Shared by the README's commands: install what is missing, configure, build.
# Sourced, not run.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

MV_PACKAGES=(g++ cmake ninja-build pkg-config python3
  qt6-base-dev qt6-image-formats-plugins libgl1-mesa-dev
  libjpeg-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  clang libclang-rt-14-dev xvfb xauth fonts-dejavu-core)

mv_install_packages() {
  local missing=()
  for p in "${MV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}"
  fi
}

# mv_build PRESET: configure (once) and build with every core.
mv_build() {
  local preset="$1"
  cd "$ROOT"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
}
