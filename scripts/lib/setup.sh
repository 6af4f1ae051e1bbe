# Shared by the scripts: installs missing Debian packages and builds the project.
# Source it; it defines functions only.

repo_root() { cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd; }

# Installs the given Debian packages when any is missing (needs root on a fresh machine).
ensure_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== Installing Debian packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(g++ cmake ninja-build pkg-config nlohmann-json3-dev libspdlog-dev libfmt-dev
                libgtest-dev googletest libbenchmark-dev python3)

# The fuzz targets need Clang and its libFuzzer runtime; Clang 16 is the first that can use the
# standard library's std::expected (see cmake/Fuzzing.cmake).
FUZZ_PACKAGES=(clang-16 libclang-rt-16-dev)
FUZZ_CXX=clang++-16

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
  local build_dir=$1
  shift
  cmake -S "$(repo_root)" -B "$build_dir" -G Ninja "$@" > /dev/null
  cmake --build "$build_dir" -j "$(nproc)"
}
