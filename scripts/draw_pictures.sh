#!/usr/bin/env bash
# Draws the start window's picture and the application icon into
# src/app/ui/images/ (cover.png, velmora.png, velmora.svg). Needs only the
# Qt development packages the program itself builds with.
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=src/app/ui/images
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$OUT"
g++ -std=c++20 -O1 -fPIC -Wall -Wextra scripts/draw_pictures.cpp -o "$TMP/draw_pictures" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$TMP/draw_pictures" "$OUT"
ls -l "$OUT"
