#!/usr/bin/env bash
# Installs every Debian package the suite needs to build, test and run its demo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  libmp3lame-dev libmpg123-dev libhidapi-dev portaudio19-dev libasound2-dev
  libasound2-plugins alsa-utils pulseaudio pulseaudio-utils
  umockdev libumockdev-dev xvfb xauth trayer x11-utils
  mpg123 lame sox
  libsqlite3-dev postgresql libpq-dev libssl-dev
  libcurl4-openssl-dev python3-aiosmtpd dunst
  lintian desktop-file-utils appstream systemd
  clang libclang-rt-dev clang-format clang-tidy
  libcpp-httplib-dev libssl-dev libsodium-dev nlohmann-json3-dev openssl
  chromium python3 wrk
)

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${CI:-}" = "true" ] || [ "${#missing[@]}" -gt 0 ]; then
  echo "== installing packages: ${missing[*]:-(all, as CI)}"
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${packages[@]}"
fi
