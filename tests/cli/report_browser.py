#!/usr/bin/env python3
"""Shows pages of nivaro-cli's web report in headless Chromium at a phone's and a desktop's width,
served by a local web server as a reader gets them: a console error, a request the server cannot
answer, a style sheet or chart the page did not load, or a blank screenshot fails. Skipped (exit 77) when Chromium is not installed, unless
NIVARO_REQUIRE_BROWSER is set.

usage: report_browser.py NIVARO_CLI"""
import functools
import http.server
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import zlib

cli = sys.argv[1]
browser = shutil.which("chromium") or shutil.which("chromium-browser")
if browser is None:
    if os.environ.get("NIVARO_REQUIRE_BROWSER"):
        sys.exit("chromium is not installed, and NIVARO_REQUIRE_BROWSER asks for it")
    print("chromium is not installed: skipped")
    sys.exit(77)


def run(folder, *args):
    result = subprocess.run([cli, *args], cwd=folder, capture_output=True, check=False)
    if result.returncode != 0:
        sys.exit(f"nivaro-cli {' '.join(args)} failed: {result.stderr.decode()}")


def png_pixels(path):
    """Rows of pixel bytes of an 8-bit RGB or RGBA PNG without interlacing (as Chromium writes)."""
    with open(path, "rb") as file:
        data = file.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is no PNG"
    position, chunks, header = 8, [], None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        position += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, header
    size = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
    stride = width * size
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - size] if x >= size else 0
            up = previous[x]
            corner = previous[x - size] if x >= size else 0
            if kind == 1:
                line[x] = (line[x] + left) & 255
            elif kind == 2:
                line[x] = (line[x] + up) & 255
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(line))
        previous = line
    return rows, size


def shows_something(path):
    """More than a few colours, and not only in a thin strip (a bare header over an empty page)."""
    rows, size = png_pixels(path)
    colours, busy = set(), 0
    for row in rows[::4]:
        row_colours = {row[i:i + 3] for i in range(0, len(row), size * 4)}
        colours |= row_colours
        busy += len(row_colours) > 2
    return len(colours) > 20 and busy > len(rows[::4]) // 4


with tempfile.TemporaryDirectory() as folder:
    run(folder, "sim", "create", "station.img", "--transmitters", "2", "--datasets", "2000",
        "--start", "2026-11-01T00:00", "--interval", "60", "--seed", "9")
    run(folder, "--port", "sim:station.img", "import")
    run(folder, "report", "--out", "site")

    requests = []

    class Handler(http.server.SimpleHTTPRequestHandler):
        def log_request(self, code="-", size="-"):
            requests.append((self.path, int(code)))

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(Handler, directory=f"{folder}/site"))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    address = f"http://127.0.0.1:{server.server_address[1]}"
    failures = []
    for page in ("index.html", "2026-12.html", "records.html"):
        with open(f"{folder}/site/{page}", encoding="utf-8") as text:
            needed = {"/" + name for name in
                      re.findall(r'(?:<img src|rel="stylesheet" href)="([^"#]+)"', text.read())}
        for width, height in ((390, 844), (1280, 900)):
            requests.clear()
            shot = f"{folder}/{page}-{width}.png"
            result = subprocess.run(
                [browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                 "--no-first-run", "--user-data-dir=" + f"{folder}/profile", "--enable-logging=stderr",
                 "--v=0", f"--window-size={width},{height}", f"--screenshot={shot}",
                 f"{address}/{page}"],
                capture_output=True, timeout=120, check=False)
            log = result.stderr.decode(errors="replace")
            console = [line for line in log.splitlines() if "CONSOLE" in line or "Uncaught" in line
                       or re.search(r"ERR_FILE_NOT_FOUND|Failed to load", line)]
            if result.returncode != 0 or not os.path.exists(shot):
                failures.append(f"{page} at {width}px: chromium failed ({result.returncode}): {log[-500:]}")
            elif console:
                failures.append(f"{page} at {width}px: console says: {console}")
            elif any(code >= 400 for _, code in requests):
                failures.append(f"{page} at {width}px: requests failed: {requests}")
            elif not needed <= {path for path, _ in requests}:
                failures.append(f"{page} at {width}px: not loaded: {needed - {path for path, _ in requests}}")
            elif not shows_something(shot):
                failures.append(f"{page} at {width}px: the screenshot is blank")
    server.shutdown()
    if failures:
        sys.exit("\n".join(failures))
print("pages shown")
