#!/bin/sh
# Builds the libFuzzer target against an existing build of the project
# (build/ in the source tree) with clang's fuzzer and address sanitizer.
#   fuzz/build.sh && ./build/fuzz_names -max_total_time=60 -max_len=20000
set -e
cd "$(dirname "$0")/.."
QT="$(pkg-config --cflags --libs Qt6Core)"
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address -Isrc \
  fuzz/fuzz_names.cpp src/transfer/headers.cpp src/transfer/filetype.cpp src/transfer/codecs.cpp \
  -Lbuild/src -lvelmora_core -Wl,-rpath,"$PWD/build/src" $QT -o build/fuzz_names
