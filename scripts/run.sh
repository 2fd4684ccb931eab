#!/usr/bin/env bash
# Installs what is needed, builds and starts Phonedeck.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
exec build/bin/Phonedeck "$@"
