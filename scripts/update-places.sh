#!/usr/bin/env bash
# Makes data/places/places-110m.json, the names the map writes, from Natural
# Earth's 1:110m populated places (public domain) as the npm package globe.gl
# carries them (example/datasets/ne_110m_populated_places_simple.geojson):
# for each place its name, latitude, longitude (to 1/10000 degree), the
# zoom from which Natural Earth shows it, whether it is a country's capital
# and its population; the most important first: by that zoom, then capitals,
# then by population.
#
#   scripts/update-places.sh [VERSION]     # globe.gl's version, 2.46.2 by default
#
# Needs npm and python3; writes nothing else in the tree.
set -euo pipefail
cd "$(dirname "$0")/.."
version="${1:-2.46.2}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "globe.gl@$version" >/dev/null)
tar -xzf "$work/globe.gl-$version.tgz" -C "$work" package/example/datasets/ne_110m_populated_places_simple.geojson
/usr/bin/python3 - "$work/package/example/datasets/ne_110m_populated_places_simple.geojson" \
    data/places/places-110m.json "$version" <<'PY'
import json, sys
source, target, version = sys.argv[1:4]
features = json.load(open(source, encoding="utf-8"))["features"]
rows = []
for f in features:
    p = f["properties"]
    lon, lat = f["geometry"]["coordinates"][:2]
    capital = 1 if p["featurecla"].startswith("Admin-0 capital") else 0
    rows.append([p["name"], round(lat, 4), round(lon, 4), p["min_zoom"], capital, int(p["pop_max"])])
rows.sort(key=lambda r: (r[3], -r[4], -r[5], r[0]))
out = {"fonte": "Natural Earth 1:110m populated places, da globe.gl " + version,
       "campi": ["nome", "lat", "lon", "zoom_minimo", "capitale", "abitanti"],
       "luoghi": rows}
with open(target, "w", encoding="utf-8") as f:
    json.dump(out, f, ensure_ascii=False, separators=(",", ":"))
    f.write("\n")
print(f"{target}: {len(rows)} luoghi")
PY
