# Shared by the scripts: makes sure the Debian packages the build needs are
# installed. Sourced, not run.

# ensure_packages PACKAGE...: installs what is missing when run as root,
# otherwise prints the exact command to run and stops.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}

# What building the program and its tests needs (publicsuffix: the current
# top-level domains of extended rules, read at build time; librsvg2-bin: the
# window's PNG icon, drawn from its SVG).
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libcurl4-openssl-dev libarchive-dev zlib1g-dev libisal-dev libpoppler-cpp-dev qt6-base-dev qt6-translations-l10n fonts-dejavu-core publicsuffix librsvg2-bin)
# Besides GoogleTest, the tools the installed files are checked with: man
# (groff-base formats), desktop-file-validate, appstreamcli, zsh and fish;
# python3-distributed runs the Dask example's test.
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev man-db groff-base desktop-file-utils appstream zsh fish file python3-distributed)
# What scripts/package needs besides: dpkg-shlibdeps (dpkg-dev), which finds
# the libraries the package depends on with the help of file.
PACKAGE_PACKAGES=(dpkg-dev file)
# What scripts/check needs besides: clang-format and clang-tidy 14 (Debian 12),
# with run-clang-tidy, and git for the list of files.
CHECK_PACKAGES=(clang-format clang-tidy git)
# What scripts/fuzz needs besides: clang with its libFuzzer and sanitizer
# runtimes, which Debian ships apart (clang only recommends them).
FUZZ_PACKAGES=(clang libclang-rt-dev)
# What scripts/windows-test needs besides cmake and ninja: the mingw-w64
# cross compilers with the posix thread model, GoogleTest's sources, the
# public suffix list, zlib for mingw-w64, unzip to check the portable ZIP,
# rsvg-convert and icotool for the window's icon, and Wine with a virtual X
# display (Xvfb) to run the tests (wine32:i386 as well for the 32-bit
# build: WINDOWS_X86_PACKAGES, after `dpkg --add-architecture i386`).
WINDOWS_PACKAGES=(cmake ninja-build publicsuffix googletest g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64
                  unzip libz-mingw-w64-dev librsvg2-bin icoutils xvfb xauth)
WINDOWS_X86_PACKAGES=(wine32:i386)
