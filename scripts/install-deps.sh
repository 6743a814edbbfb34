#!/bin/sh
# Installs the Debian packages the build needs, once. Idempotent: it asks
# dpkg first and only calls apt-get for what is missing. Not root: prints the
# apt-get line and stops.
set -eu

PACKAGES="cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libjpeg62-turbo-dev libgif-dev libstb-dev
  libsdl2-dev libpixman-1-dev
  libfreetype-dev fonts-dejavu-core nlohmann-json3-dev
  clang libclang-rt-14-dev"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "ziv needs these Debian packages; install them with:" >&2
  echo "  sudo apt-get install -y$missing" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q || true
apt-get install -y -q --no-install-recommends $missing
