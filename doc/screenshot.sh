#!/bin/sh
# Makes doc/report.png, the picture of the page that --html writes, from the
# shipped sample listing: doc/screenshot.sh [PLOMET]  (default: the release build)
set -eu
cd "$(dirname "$0")/.."
plomet=${1:-build/release/estimator/plomet}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$plomet" -d examples/cdrive.txt 35 233 457 449 --top=5 --window=30m --html="$work/report.html" >/dev/null
mkdir "$work/profile"
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --hide-scrollbars --force-device-scale-factor=1 \
  --window-size=800,1480 --screenshot="$work/report.png" "file://$work/report.html" 2>/dev/null
cp "$work/report.png" doc/report.png
