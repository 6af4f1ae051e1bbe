# Shared by the scripts: installs missing Debian packages and builds the project.
# Source it; it defines functions only.

# Wine maps file names through the character set of the C library's locale: under the bare "C"
# locale it cannot create a non-ASCII name on the Linux side, and the Windows pass fails on a
# fresh machine that sets no locale. C.UTF-8 ships with every Debian; only the character type
# is set, and only when the environment has no UTF-8 locale of its own.
ctype_locale=${LC_ALL:-${LC_CTYPE:-${LANG:-}}}
case "$ctype_locale" in
  *[Uu][Tt][Ff]-8* | *[Uu][Tt][Ff]8*) ;;
  *) if [ -n "${LC_ALL:-}" ]; then export LC_ALL=C.UTF-8; else export LC_CTYPE=C.UTF-8; fi ;;
esac
unset ctype_locale

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
                libgtest-dev googletest libbenchmark-dev python3 zlib1g-dev)

# The monitor's end-to-end tests: a real terminal to watch it in, and a browser that renders the
# HTML report for a screenshot. Without them those tests are skipped, saying so.
WATCH_TEST_PACKAGES=(tmux chromium)

# The fuzz targets need Clang and its libFuzzer runtime; Clang 16 is the first that can use the
# standard library's std::expected (see cmake/Fuzzing.cmake).
FUZZ_PACKAGES=(clang-16 libclang-rt-16-dev)
FUZZ_CXX=clang++-16

# Packaging: dpkg-shlibdeps names the shared libraries the Debian package depends on.
PACKAGE_PACKAGES=(dpkg-dev)

# configure BUILD_DIR [cmake options...]
configure() {
  local build_dir=$1
  shift
  cmake -S "$(repo_root)" -B "$build_dir" -G Ninja "$@" > /dev/null
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
  configure "$@"
  cmake --build "$1" -j "$(nproc)"
}

# build_targets BUILD_DIR TARGET... (a configured tree; only the named targets and what they need)
build_targets() {
  local build_dir=$1
  shift
  cmake --build "$build_dir" -j "$(nproc)" --target "$@"
}
