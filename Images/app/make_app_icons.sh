#!/usr/bin/env bash
# Renders the application icon from vantorel.svg into the sizes the desktop installs.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
for size in 32 64 128; do
    rsvg-convert -w "$size" -h "$size" vantorel.svg -o "vantorel-$size.png"
done
