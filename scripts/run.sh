#!/usr/bin/env bash
# Installs what is missing, builds and starts SonvekManager.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
exec build/src/SonvekManager "$@"
