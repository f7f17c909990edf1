#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cd "${BUILD_DIR:-build}"
ctest --output-on-failure -j"$(nproc)" --timeout 600
