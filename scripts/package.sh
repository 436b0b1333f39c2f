#!/usr/bin/env bash
# Builds the Debian package build/sonvekmanager_<version>_<arch>.deb with
# CPack, from its own release build in build-deb/ (or $PACKAGE_BUILD_DIR)
# made with Debian's usual hardening flags. Install it with
#   sudo apt-get install ./build/sonvekmanager_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh dpkg-dev file
build_dir=${PACKAGE_BUILD_DIR:-build-deb}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DSONVEK_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
rm -f "$build_dir"/sonvekmanager_*.deb
(cd "$build_dir" && cpack -G DEB)
mkdir -p build
rm -f build/sonvekmanager_*.deb
cp "$build_dir"/sonvekmanager_*.deb build/
echo "Pakiet: $(ls build/sonvekmanager_*.deb)"
