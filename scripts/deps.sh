#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when one
# is missing (espeak-ng and lame serve the announcement tool and its test;
# rsvg-convert renders the program's icon; qt6-base-private-dev lets the
# window tests switch accessibility on; libebur128 measures loudness, and
# ffmpeg and mp3gain check the levelled book independently in the tests;
# python3-dbusmock and dbus-daemon stand in for UDisks2 in the card eject
# test; dosfstools makes a FAT card on a loop device; FFmpeg's libraries,
# LAME and libcue read the books the import takes in; libfuse3 and fusefat
# give the tests a stalled mount and a FAT card without the kernel's vfat;
# mediainfo, GStreamer (gst-discoverer-1.0 comes with its base-apps), mutagen,
# mp3val and mpg123 are the independent readers the tests judge the outputs
# by).
# Usage: scripts/deps.sh [extra-package ...]
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config ccache qt6-base-dev qt6-base-private-dev libtag1-dev
          qt6-translations-l10n libmpg123-dev libsdl2-dev libmp3lame-dev espeak-ng lame python3
          librsvg2-bin ffmpeg daisy-player libxml2-utils w3c-sgml-lib libebur128-dev mp3gain
          python3-dbusmock dbus-daemon dosfstools libavformat-dev libavcodec-dev
          libswresample-dev libavutil-dev libcue-dev libfuse3-dev fuse3 fusefat mediainfo
          gstreamer1.0-tools gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
          gstreamer1.0-libav gstreamer1.0-plugins-base-apps python3-mutagen mp3val mpg123 "$@")
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Instaluję brakujące pakiety: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
