#!/usr/bin/env bash
# Installs what is missing, builds and runs every test headless.
# With SANITIZE=1 the tests are built and run once more under
# AddressSanitizer and UndefinedBehaviorSanitizer (in build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
scripts/build.sh
ctest --test-dir build --output-on-failure -j "$(nproc)"
if [ "${SANITIZE:-0}" = 1 ]; then
    BUILD_DIR=build-asan BUILD_TYPE=Debug scripts/build.sh -DSONVEK_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
fi
