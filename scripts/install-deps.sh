#!/usr/bin/env bash
# Installs every Debian package needed to build, test and benchmark VeskSDK.
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config git ca-certificates
  libboost1.81-dev libboost-json1.81-dev
  libcurl4-openssl-dev libssl-dev openssl
  libsqlite3-dev libsystemd-dev libre2-dev libgumbo-dev libjpeg62-turbo-dev libedit-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format lld
  # The desktop platform and its engine tests under a virtual display.
  libwebkitgtk-6.0-dev xvfb xauth fonts-dejavu-core fonts-noto-color-emoji
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
