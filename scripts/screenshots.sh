#!/usr/bin/env bash
# Renews the README's screenshots (docs/*.png) from the real program: starts
# `velmora` on a virtual display (Xvfb), photographs the start window,
# presses "文献检索下载" and photographs every window that opens. It names
# what it took and what it could not reach.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
# Needs xvfb, xdotool, imagemagick and a CJK font (scripts/setup.sh
# installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
OUT=docs
PROGRAM=$BUILD/velmora
[ -x "$PROGRAM" ] || { echo "no program at $PROGRAM: build it first" >&2; exit 1; }
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh" >&2; exit 1; }
done
mkdir -p "$OUT"

WORK=$(mktemp -d)
XVFB_PID=
APP_PID=
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and tells it on fd 3.
exec 3<> "$WORK/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do
  [ -s "$WORK/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$WORK/display")"
exec 3>&-

# A fresh home, so the pictures show what a new user sees, and a saved result
# page as the search window's start page (there is no network here).
export VELMORA_HOME=$WORK/home
cat >"$WORK/results.html" <<'PAGE'
<!DOCTYPE html><html><head><meta charset="utf-8"><title>gene expression - PMC search results</title>
<style>body{font-family:sans-serif;margin:16px} li.article{margin-bottom:14px} .docsum-title{font-size:17px;color:#205493}
.meta{color:#555;font-size:13px} button{padding:6px 14px}</style></head><body>
<h2>Search results: gene expression</h2><div class="articles"><ul>
<li class="margin-bottom-3 grid-col-12 article"><a class="usa-link docsum-title docsum-link" href="https://pmc.ncbi.nlm.nih.gov/articles/PMC4107773">Single-cell <b>gene expression</b> atlas of the developing human heart</a><div class="meta">Journal of Cardiac Biology. 2024. PMC4107773</div></li>
<li class="margin-bottom-3 grid-col-12 article"><a class="usa-link docsum-title docsum-link" href="https://pmc.ncbi.nlm.nih.gov/articles/PMC5203314">Regulatory variants shape <b>gene expression</b> across tissues</a><div class="meta">Genome Studies. 2023. PMC5203314</div></li>
<li class="margin-bottom-3 grid-col-12 article"><a class="usa-link docsum-title docsum-link" href="https://pmc.ncbi.nlm.nih.gov/articles/PMC6620911">Circadian control of hepatic <b>gene expression</b> in mice</a><div class="meta">Chronobiology Reports. 2022. PMC6620911</div></li>
</ul><button class="usa-button more">Show More Results</button></div></body></html>
PAGE
export VELMORA_START_PAGE=file://$WORK/results.html
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR
"$PROGRAM" >"$WORK/velmora.log" 2>&1 &
APP_PID=$!

# Waits until the window is drawn: the picture of it stops changing.
settle() {
  local id=$1 previous= current
  for _ in $(seq 30); do
    sleep 0.3
    current=$(import -window "$id" rgb:- 2>/dev/null | md5sum)
    [ "$current" = "$previous" ] && return 0
    previous=$current
  done
}

shoot() { # window id, file name
  settle "$1"
  import -window "$1" "$OUT/$2"
  echo "took $OUT/$2 ($(identify -format '%wx%h' "$OUT/$2"))"
}

cover=$(xdotool search --sync --onlyvisible --name '^Velmora$' | head -n1)
shoot "$cover" start-window.png

# "文献检索下载" is the left one of the two buttons in the strip below the
# picture; click the middle of it.
eval "$(xdotool getwindowgeometry --shell "$cover")"
xdotool mousemove --window "$cover" $((WIDTH - 8 - 90 - 8 - 60)) $((HEIGHT - 20)) click 1

took_search=no
took_download=no
for _ in $(seq 50); do
  sleep 0.2
  windows=$(xdotool search --onlyvisible --name '.' 2>/dev/null || true)
  for id in $windows; do
    [ "$id" = "$cover" ] && continue
    name=$(xdotool getwindowname "$id")
    case "$name" in
      文件下载*) [ $took_download = no ] && { shoot "$id" download-window.png; took_download=yes; } ;;
      *) [ $took_search = no ] && { shoot "$id" search-window.png; took_search=yes; } ;;
    esac
  done
  [ $took_search = yes ] || [ $took_download = yes ] && break
done

# The download window opens from the search window's menu; where the search
# window is not part of this build, the button opens the download window.
[ $took_search = yes ] || echo "no search window in this build: search-window.png not renewed"
[ $took_download = yes ] || echo "the download window did not open: download-window.png not renewed"
