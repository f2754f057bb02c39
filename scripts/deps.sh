#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Sornaval
# need, when any of them is missing. Safe to run again: it does nothing when
# everything is there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
  libmp3lame-dev libvorbis-dev libogg-dev libmpg123-dev libflac-dev
  libavcodec-dev libavformat-dev libavutil-dev libswresample-dev
  portaudio19-dev libasound2-dev
  libcurl4-openssl-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev
  ffmpeg lame mpg123 vorbis-tools sox flac
  xvfb xauth
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi
