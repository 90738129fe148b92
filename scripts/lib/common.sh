# Shared by scripts/run and scripts/test: the project root, the Debian packages
# the build needs (installed when missing), and the configure/build steps.

WBX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WBX_ROOT

WBX_PACKAGES=(
  cmake ninja-build g++ clang clang-format pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libdeflate-dev libclang-rt-14-dev
  qt6-base-dev libgl-dev libosmesa6-dev fonts-ipafont-gothic
  imagemagick xvfb xauth openbox xdotool valgrind
  libdeflate-dev libpng-dev libwebp-dev libgif-dev libtinygltf-dev nlohmann-json3-dev libcli11-dev
  nodejs chromium
  desktop-file-utils appstream dpkg-dev librsvg2-bin man-db
)

# wbx_ensure_gltf_validator: the Khronos glTF validator (npm's gltf-validator),
# which the model export tests run on node. A machine without npm's registry
# goes without it: those checks then say they were skipped and why.
wbx_ensure_gltf_validator() {
  if node -e 'require(require("path").join(require("child_process").execSync("npm root -g").toString().trim(), "gltf-validator"))' \
      > /dev/null 2>&1; then
    return 0
  fi
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  # Debian's nodejs comes without npm, other builds of it with their own.
  if ! command -v npm > /dev/null; then
    echo "installing: npm" >&2
    $sudo apt-get install -y -qq --no-install-recommends npm > /dev/null 2>&1 || true
  fi
  echo "installing: gltf-validator (npm)" >&2
  $sudo npm install -g --no-fund --no-audit gltf-validator > /dev/null 2>&1 ||
    echo "gltf-validator could not be installed: the glTF validation tests will be skipped" >&2
}

# Installs the packages of WBX_PACKAGES that are missing. apt's output goes to
# a log file (build/packages.log) that is shown only when the installation
# fails. Without root and without sudo, says what to run instead.
wbx_ensure_packages() {
  local missing=()
  local p
  for p in "${WBX_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "missing packages and no sudo; as root run: apt-get install --no-install-recommends ${missing[*]}" >&2
      return 1
    fi
    sudo=(sudo)
  fi
  mkdir -p "$WBX_ROOT/build"
  local log="$WBX_ROOT/build/packages.log"
  echo "installing: ${missing[*]} (log: build/packages.log)" >&2
  export DEBIAN_FRONTEND=noninteractive
  if ! { "${sudo[@]}" apt-get update -qq &&
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "installing the packages failed (the output above is in build/packages.log)" >&2
    return 1
  fi
}

wbx_jobs() { nproc 2>/dev/null || echo 2; }

# wbx_configure DIR [cmake args...]: configure one tree (once).
wbx_configure() {
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$WBX_ROOT" -B "$dir" -G Ninja "$@"
  fi
}

# wbx_build DIR [cmake args...]: configure (once) and build all of one tree.
wbx_build() {
  wbx_configure "$@"
  cmake --build "$1" -j "$(wbx_jobs)"
}
