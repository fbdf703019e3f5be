#!/usr/bin/env python3
"""Reads nivaro-cli's web report back as a browser and a reader would: every page parses as HTML5
without an error, every chart as XML, every link and image stays inside the folder, and the
numbers of the records page and of a climate summary row agree with `nivaro-cli stats`.

usage: report_check.py NIVARO_CLI"""
import csv
import io
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

import html5lib

cli = sys.argv[1]


def run(folder, *args):
    result = subprocess.run([cli, *args], cwd=folder, capture_output=True, check=False)
    if result.returncode != 0:
        sys.exit(f"nivaro-cli {' '.join(args)} failed: {result.stderr.decode()}")
    return result.stdout.decode("utf-8")


def number(text):
    """The number of a cell such as '-12.5 °C', '87 %' or '21.31'."""
    match = re.match(r"\s*(-?\d+(?:\.\d+)?)", text)
    assert match, f"no number in {text!r}"
    return float(match.group(1))


def text_of(element):
    return "".join(element.itertext()).strip()


NS = "{http://www.w3.org/1999/xhtml}"


def parse_page(path):
    parser = html5lib.HTMLParser(strict=True, namespaceHTMLElements=True)
    with open(path, "rb") as page:
        try:
            return parser.parse(page)
        except html5lib.html5parser.ParseError as error:
            sys.exit(f"{path} is not valid HTML5: {error}")


def check_links(folder, name, document):
    for element in document.iter():
        for attribute in ("href", "src", "srcset", "action", "data"):
            target = element.get(attribute)
            if target is None:
                continue
            assert not re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:|^//|^/", target), f"{name} points outside: {target}"
            assert ".." not in target.split("/"), f"{name} points outside: {target}"
            assert os.path.isfile(os.path.join(folder, target.split("#")[0])), f"{name}: {target} is missing"


def check_site(folder):
    names = sorted(os.listdir(folder))
    pages = [n for n in names if n.endswith(".html")]
    charts = [n for n in names if n.endswith(".svg")]
    assert {"index.html", "week.html", "archive.html", "records.html", "style.css"} <= set(names), names
    documents = {}
    for name in pages:
        documents[name] = parse_page(os.path.join(folder, name))
        check_links(folder, name, documents[name])
    for name in charts:
        root = ElementTree.parse(os.path.join(folder, name)).getroot()
        assert root.tag == "{http://www.w3.org/2000/svg}svg", name
        title = root.find("{http://www.w3.org/2000/svg}title")
        desc = root.find("{http://www.w3.org/2000/svg}desc")
        if name != "icon.svg":
            assert title is not None and title.text and desc is not None and desc.text, f"{name} has no title"
    for name in names:
        if name.endswith((".svg", ".css", ".html")):
            with open(os.path.join(folder, name), encoding="utf-8") as file:
                text = file.read()
            # The SVG namespace is a name, not a request.
            text = text.replace("http://www.w3.org/2000/svg", "")
            assert not re.search(r"https?:|url\(|@import|//[a-z]", text), f"{name} names a URL outside the folder"
    return documents


def stats(folder, by, options=()):
    rows = list(csv.DictReader(io.StringIO(run(folder, *options, "stats", "--by", by, "--format", "csv"))))
    return {(row["period"], row["quantity"]): row for row in rows}


QUANTITY = {"Temperature": "temperature", "Humidity": "humidity", "Temperatur": "temperature",
            "Luftfeuchte": "humidity"}


def quantity_key(name):
    kind, sensor = [part.strip() for part in name.split("·")]
    where = "indoor" if sensor in ("Indoor", "Innen") else "outdoor" + sensor.split()[-1]
    return f"{where}_{QUANTITY[kind]}"


def check_records(folder, document):
    yearly = stats(folder, "year")
    table = next(t for t in document.iter(NS + "table") if t.get("id") == "all-time")
    rows = list(table.iter(NS + "tbody"))[0].findall(NS + "tr")
    assert len(rows) == 8, len(rows)  # indoor and three transmitters, temperature and humidity
    for row in rows:
        key = quantity_key(text_of(row.find(NS + "th")))
        cells = [text_of(cell) for cell in row.findall(NS + "td")]
        years = [r for (period, quantity), r in yearly.items() if quantity == key]
        highest = max(float(r["max"]) for r in years)
        lowest = min(float(r["min"]) for r in years)
        assert number(cells[0]) == highest, (key, cells, highest)
        assert number(cells[2]) == lowest, (key, cells, lowest)
        when = next(r["max_at"] for r in years if float(r["max"]) == highest)
        day, month, year = cells[1][:10].split(".")
        assert when.startswith(f"{year}-{month}-{day}T{cells[1][11:16]}"), (cells[1], when)


def check_climate_row(folder, document, month):
    daily = stats(folder, "day")
    table = next(t for t in document.iter(NS + "table") if t.get("data-sensor") == "2")
    row = list(table.iter(NS + "tbody"))[0].findall(NS + "tr")[9]
    day, mon, year = text_of(row.find(NS + "th")).split(".")
    assert f"{year}-{mon}" == month, (year, mon)
    cells = [number(text_of(cell)) for cell in row.findall(NS + "td")]
    for offset, kind in ((0, "temperature"), (3, "humidity")):
        expected = daily[(f"{year}-{mon}-{day}", f"outdoor2_{kind}")]
        assert cells[offset:offset + 3] == [float(expected["min"]), float(expected["max"]),
                                            float(expected["mean"])], (cells, expected)


with tempfile.TemporaryDirectory() as folder:
    run(folder, "sim", "create", "station.img", "--transmitters", "3", "--datasets", "3000",
        "--start", "2026-10-20T00:00", "--interval", "60", "--seed", "5")
    run(folder, "--port", "sim:station.img", "import")
    with open(f"{folder}/german.xml", "w", encoding="utf-8") as options:
        options.write('<options><LanguageID value="1031"/><TemperatureFormat value="1"/></options>')

    run(folder, "report", "--out", "site")
    documents = check_site(f"{folder}/site")
    check_records(folder, documents["records.html"])
    check_climate_row(folder, documents["2026-12.html"], "2026-12")
    assert documents["index.html"].get("lang") == "en"

    run(folder, "--options", "german.xml", "report", "--out", "site-de")
    documents = check_site(f"{folder}/site-de")
    root = documents["records.html"]
    assert root.get("lang") == "de"
    assert "Rekorde" in text_of(root), "the German records page has no German title"
    assert "°F" in text_of(root), "the records page ignores the temperature unit"

    # A second run finds nothing to change.
    output = run(folder, "report", "--out", "site")
    assert " 0 files written" in output, output
print("report read back")
