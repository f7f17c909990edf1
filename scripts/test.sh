#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the layering
# check, every test of the program's build, then the engine and its tests
# once more under AddressSanitizer and UndefinedBehaviorSanitizer. Warnings in
# our own code fail the build.
set -euo pipefail
cd "$(dirname "$0")/.."

python3 scripts/check_layers.py

bash scripts/setup.sh -DVELMORA_WERROR=ON
(cd "${BUILD_DIR:-build}" && ctest --output-on-failure -j"$(nproc)" --timeout 600)

# The sanitizer build: the engine and its tests only (the windows and the
# browser engine are Qt's own large code, not ours to instrument).
SAN_DIR=${SAN_BUILD_DIR:-build-san}
cmake -S . -B "$SAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_ENGINE_ONLY=ON \
      -DVELMORA_WERROR=ON -DVELMORA_SANITIZE=address,undefined >/dev/null
cmake --build "$SAN_DIR" -j"$(nproc)"
# Full stacks for every allocation, so that the suppressions of Qt's own
# shutdown leaks (scripts/lsan.supp) match them and nothing else.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
(cd "$SAN_DIR" && ctest --output-on-failure -j"$(nproc)" --timeout 600)
