#!/usr/bin/env python3
"""Reads nivaro-cli's CSV export back with Python's csv module, as a data tool would: the dialect
is guessed, the date-times parse as ISO 8601, and every value matches the semicolon text export.

usage: csv_readback.py NIVARO_CLI"""
import csv
import datetime
import io
import subprocess
import sys
import tempfile

cli = sys.argv[1]


def run(folder, *args):
    result = subprocess.run([cli, *args], cwd=folder, capture_output=True, check=False)
    if result.returncode != 0:
        sys.exit(f"nivaro-cli {' '.join(args)} failed: {result.stderr.decode()}")
    return result.stdout.decode("utf-8")


def number(text):
    return None if text in ("", "---", "OFL") else float(text)


with tempfile.TemporaryDirectory() as folder:
    run(folder, "sim", "create", "station.img", "--transmitters", "3", "--datasets", "300",
        "--start", "2026-12-08T14:35", "--seed", "7")
    run(folder, "--port", "sim:station.img", "import")
    with open(f"{folder}/fahrenheit.xml", "w", encoding="utf-8") as options:
        options.write('<options><TemperatureFormat value="1"/></options>')

    text = run(folder, "export")
    celsius = run(folder, "export", "--format", "csv")
    fahrenheit = run(folder, "--options", "fahrenheit.xml", "export", "--format", "csv")

    dialect = csv.Sniffer().sniff(celsius[:4096])
    assert dialect.delimiter == ",", f"the sniffer guessed {dialect.delimiter!r}"
    assert csv.Sniffer().has_header(celsius[:4096])

    rows = list(csv.reader(io.StringIO(celsius, newline="")))
    header, data = rows[0], rows[1:]
    assert header == ["Date Time",
                      "Indoor Temperature (°C)", "Indoor Humidity (%)",
                      "Outdoor Temperature 1 (°C)", "Outdoor Humidity 1 (%)",
                      "Outdoor Temperature 2 (°C)", "Outdoor Humidity 2 (%)",
                      "Outdoor Temperature 3 (°C)", "Outdoor Humidity 3 (%)"], header
    assert len(data) == 300, len(data)
    assert data[0][0] == "2026-12-08T14:35:00", data[0][0]

    lines = [line.split(";") for line in text.split("\r\n")[1:] if line]
    assert len(lines) == len(data)
    for row, line in zip(data, lines):
        fields = [field.strip('"') for field in line]
        when = datetime.datetime.fromisoformat(row[0])
        assert when.strftime("%d.%m.%Y %H:%M") == fields[0], (row[0], fields[0])
        for value, shown in zip(row[1:], fields[1:]):
            assert number(value) == number(shown), (row, fields)

    converted = list(csv.reader(io.StringIO(fahrenheit, newline="")))
    assert converted[0][1] == "Indoor Temperature (°F)", converted[0][1]
    for c_row, f_row in zip(data, converted[1:]):
        for column in (1, 3, 5, 7):
            if c_row[column]:
                assert abs(float(c_row[column]) * 9 / 5 + 32 - float(f_row[column])) < 0.2, (c_row, f_row)
            else:
                assert f_row[column] == ""

print("CSV export read back: 300 rows")
