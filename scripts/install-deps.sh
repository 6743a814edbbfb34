#!/bin/sh
# Installs the Debian packages the build needs, once. Idempotent: it asks
# dpkg first and only calls apt-get for what is missing. Not root: prints the
# apt-get line and stops.
#
#   scripts/install-deps.sh           the Linux build (with the 32-bit x86
#                                     build: g++-multilib, GoogleTest's
#                                     sources, qemu-user for the emulated
#                                     Pentium II)
#   scripts/install-deps.sh windows   also the Windows build: the mingw-w64
#                                     cross compilers, GoogleTest's sources
#                                     and Wine for 32- and 64-bit programs
#                                     (adds the i386 architecture)
set -eu

MODE="${1:-linux}"
case "$MODE" in
  linux|windows) ;;
  *) echo "usage: $0 [windows]" >&2; exit 2 ;;
esac

PACKAGES="cmake ninja-build g++ make pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libjpeg62-turbo-dev libgif-dev libstb-dev
  libsdl2-dev libpixman-1-dev
  libfreetype-dev fonts-dejavu-core nlohmann-json3-dev
  chromium clang libclang-rt-14-dev valgrind
  imagemagick x11-apps x11-utils xdotool xvfb
  g++-multilib qemu-user googletest binutils"

WINDOWS_PACKAGES="g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest
  wine wine64 wine32:i386"

add_i386=""
if [ "$MODE" = windows ] && [ "$(dpkg --print-architecture)" != i386 ] &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  add_i386=yes
fi

missing_from() {
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      printf ' %s' "$p"
    fi
  done
}

# shellcheck disable=SC2086
missing=$(missing_from $PACKAGES)
windows_missing=""
# shellcheck disable=SC2086
[ "$MODE" = windows ] && windows_missing=$(missing_from $WINDOWS_PACKAGES)

[ -z "$missing$windows_missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "ziv needs these Debian packages; install them with:" >&2
  [ -n "$add_i386" ] && echo "  sudo dpkg --add-architecture i386 && sudo apt-get update" >&2
  [ -n "$missing" ] && echo "  sudo apt-get install -y$missing" >&2
  [ -n "$windows_missing" ] && echo "  sudo apt-get install -y$windows_missing" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ -n "$add_i386" ]; then
  # wine32 is an i386 package: without the architecture apt cannot see it.
  dpkg --add-architecture i386
  apt-get update -q
else
  apt-get update -q || true
fi
[ -n "$missing" ] && apt-get install -y -q --no-install-recommends $missing
# Wine with the libraries it recommends (GL, GnuTLS, ...), as the Windows
# tests are known to pass with it.
[ -n "$windows_missing" ] && apt-get install -y -q $windows_missing
exit 0
