#!/usr/bin/env python3
"""Makes an album with `mirofoto generate` and checks it in headless Chromium.

The album of an image folder is generated into a fresh temporary folder (with
a fresh program folder, so no stored settings take part), served on
127.0.0.1, and crawled from its menu page by album_checker.html inside the
browser. The browser's findings are judged here: every page and every link
and image address answers, every image decodes and fits its box, every page
is read as Shift_JIS and carries its Japanese title, headings and comments.

    check_album.py --mirofoto BIN --image-folder DIR [--screenshots DIR] [--damage]
    check_album.py --album DIR

With --album an album made elsewhere (by the window, or stopped half-way) is
checked as it stands: every page reached from its menu page answers, and so
does every link and image on them; every image decodes.

Exit status 0 when everything holds, 1 with a list of failures otherwise.
With --damage the album is broken on purpose after it is made (a missing
thumbnail, an enlarged picture that is no picture, a page in the wrong
character set, a missing page) and the exit status is 0 only when the check
finds every one of those faults.
"""

import argparse
import collections
import functools
import http.server
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
from pathlib import Path

# The default album settings (a fresh program folder holds none).
THUMB_BOX = (120, 90)
LARGE_BOX = (480, 360)
CHROMIUM_TIMEOUT = 180
# The checker's status for a link to another server (album_checker.html).
OTHER_SITE = "other site, not checked"


def is_picture(name):
    return not name.startswith(".") and name.lower().endswith((".jpg", ".jpe", ".jpeg"))


def jpeg_comment(path):
    """The text of a JPEG file's comment segment (CP932), or ""."""
    data = path.read_bytes()
    pos = 2
    while pos + 4 <= len(data) and data[pos] == 0xFF:
        marker = data[pos + 1]
        if marker == 0xDA:  # image data follows: no more segments
            break
        length = int.from_bytes(data[pos + 2:pos + 4], "big")
        if marker == 0xFE:
            return data[pos + 4:pos + 2 + length].decode("cp932")
        pos += 2 + length
    return ""


def expected_album(image_folder):
    """What the album of an image folder with nothing stored must show:
    the folder itself and each subfolder holding pictures are albums, titled
    with their folder names, every picture ticked."""
    root = Path(image_folder)
    albums = []
    folders = [(root.name, root)] + sorted((p.name, p) for p in root.iterdir() if p.is_dir())
    for title, folder in folders:
        pictures = sorted(p for p in folder.iterdir() if p.is_file() and is_picture(p.name))
        if pictures:
            albums.append({"title": title,
                           "pictures": [{"name": p.name, "comment": jpeg_comment(p)} for p in pictures]})
    return {"title": root.name, "albums": albums}


class AlbumHandler(http.server.SimpleHTTPRequestHandler):
    """Serves the folder and takes the checker's verdict (POST /verdict)."""

    def do_POST(self):
        if self.path != "/verdict":
            self.send_error(404)
            return
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        self.send_response(204)
        self.end_headers()
        self.server.verdict = body
        self.server.verdict_posted.set()

    def log_message(self, *args):
        pass


def serve(folder):
    handler = functools.partial(AlbumHandler, directory=str(folder))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)  # port 0: a free one
    server.verdict = None
    server.verdict_posted = threading.Event()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def chromium_command(profile, *args):
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        raise SystemExit("check_album: chromium not found (scripts/setup.sh installs it)")
    return [browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--disable-dev-shm-usage", f"--user-data-dir={profile}", *args]


def start_chromium(command):
    """Starts the browser in its own process group, so that it can be ended
    with every helper process it started."""
    return subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, start_new_session=True)


def stop_chromium(proc):
    if proc.poll() is None:
        os.killpg(proc.pid, signal.SIGTERM)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
    return proc.communicate()[1].decode("utf-8", "replace")


def crawl_in_browser(server, profile, url):
    """The checker's verdict on the album, or None when the browser gave none
    in time (its messages are printed then)."""
    proc = start_chromium(chromium_command(profile, url))
    # The browser ends by itself only when it fails; a finished crawl posts.
    deadline = time.monotonic() + CHROMIUM_TIMEOUT
    while proc.poll() is None and time.monotonic() < deadline:
        if server.verdict_posted.wait(timeout=0.5):
            break
    err = stop_chromium(proc)
    if server.verdict is None:
        print(err[-4000:], file=sys.stderr)
        return None
    return json.loads(server.verdict)


def fits(size, box):
    """Fitted into the box with the aspect kept: inside it, touching one side."""
    w, h = size
    return 0 < w <= box[0] and 0 < h <= box[1] and (w == box[0] or h == box[1])


def judge(verdict, expected):
    failures = []
    if "error" in verdict:
        return [f"the checker failed: {verdict['error']}"]
    pages = verdict["pages"]

    # What each kind of page may be titled, and what it then must show. The
    # root folder's album bears the menu title too, so the kind comes from
    # the page's place: the start page, an album's index.htm, or another page.
    items = {"menu": {expected["title"]: None}, "thumbnails": {}, "enlarged": {}}
    want = {kind: collections.Counter() for kind in items}
    want["menu"][expected["title"]] += 1
    for album in expected["albums"]:
        items["thumbnails"][album["title"]] = album
        want["thumbnails"][album["title"]] += 1
        for picture in album["pictures"]:
            title = album["title"] + " " + picture["name"]
            items["enlarged"][title] = picture
            want["enlarged"][title] += 1
    got = {kind: collections.Counter() for kind in items}

    for page in pages:
        where = urllib.parse.unquote(page["url"])
        if page["status"] != 200:
            failures.append(f"{where}: answered {page['status']}")
            continue
        kind = ("menu" if page["url"] == verdict["start"] else
                "thumbnails" if page["url"].endswith("/index.htm") else "enlarged")
        got[kind][page["title"]] += 1
        if page["characterSet"] != "Shift_JIS":
            failures.append(f"{where}: read as {page['characterSet']}, not Shift_JIS")
        for link in page["links"]:
            if link["status"] not in (200, OTHER_SITE):
                failures.append(f"{where}: link {link['href']} ({link['text']}) answered {link['status']}")
        if page["title"] not in items[kind]:
            failures.append(f"{where}: unexpected title {page['title']!r} ({kind} page)")
            continue
        item = items[kind][page["title"]]
        box = {"thumbnails": THUMB_BOX, "enlarged": LARGE_BOX}.get(kind)
        for img in page["images"]:
            size = (img["naturalWidth"], img["naturalHeight"])
            if img["status"] != 200 or img["decoded"] != "ok" or size[0] <= 0:
                failures.append(f"{where}: image {img['src']} answered {img['status']}, "
                                f"decode {img['decoded']}, width {size[0]}")
            elif box and not fits(size, box):
                failures.append(f"{where}: image {img['src']} is {size[0]} x {size[1]}, not fitted in "
                                f"{box[0]} x {box[1]}")
        link_texts = [link["text"] for link in page["links"]]
        if kind == "menu":
            if page["h1"] != [expected["title"]]:
                failures.append(f"{where}: heading {page['h1']}, expected [{expected['title']!r}]")
            for album in expected["albums"]:
                if album["title"] not in link_texts:
                    failures.append(f"{where}: no link to the album {album['title']!r}")
        elif kind == "thumbnails":
            if page["h1"] != [item["title"]]:
                failures.append(f"{where}: heading {page['h1']}, expected [{item['title']!r}]")
            if len(page["images"]) != len(item["pictures"]):
                failures.append(f"{where}: {len(page['images'])} thumbnails for {len(item['pictures'])} pictures")
            if link_texts.count("メニューページへ") != 2:
                failures.append(f"{where}: the two links 'メニューページへ' are not there: {link_texts}")
            for picture in item["pictures"]:
                if picture["name"] not in page["text"]:
                    failures.append(f"{where}: the file name {picture['name']!r} is not shown")
        else:
            if len(page["images"]) != 1:
                failures.append(f"{where}: {len(page['images'])} images instead of one")
            if "サムネイルページへ" not in link_texts:
                failures.append(f"{where}: no link 'サムネイルページへ': {link_texts}")
            if item["comment"] and item["comment"] not in page["text"]:
                failures.append(f"{where}: the comment {item['comment']!r} is not shown")

    for kind in items:
        for title, count in (want[kind] - got[kind]).items():
            failures.append(f"{kind} page {title!r} was not reached from the menu page ({count} missing)")
        for title, count in (got[kind] - want[kind]).items():
            if title in items[kind]:
                failures.append(f"{kind} page {title!r} was reached {count} more time(s) than expected")
    return failures


def judge_links(verdict):
    """Only what a visitor would find broken: pages, links and images."""
    if "error" in verdict:
        return [f"the checker failed: {verdict['error']}"]
    failures = []
    for page in verdict["pages"]:
        where = urllib.parse.unquote(page["url"])
        if page["status"] != 200:
            failures.append(f"{where}: answered {page['status']}")
            continue
        for link in page["links"]:
            if link["status"] not in (200, OTHER_SITE):
                failures.append(f"{where}: link {link['href']} ({link['text']}) answered {link['status']}")
        for img in page["images"]:
            if img["status"] != 200 or img["decoded"] != "ok" or img["naturalWidth"] <= 0:
                failures.append(f"{where}: image {img['src']} answered {img['status']}, decode {img['decoded']}")
    return failures


def check_existing(album_folder):
    work = Path(tempfile.mkdtemp(prefix="album-check-"))
    try:
        site = work / "site"
        site.mkdir()
        (work / "profile").mkdir()
        (site / "album").symlink_to(Path(album_folder).resolve(), target_is_directory=True)
        shutil.copy(Path(__file__).with_name("album_checker.html"), site / "checker.html")
        server = serve(site)
        base = f"http://127.0.0.1:{server.server_address[1]}/"
        try:
            verdict = crawl_in_browser(server, work / "profile", base + "checker.html?start=album/index.htm")
        finally:
            server.shutdown()
        if verdict is None:
            raise SystemExit(f"check_album: the browser gave no verdict within {CHROMIUM_TIMEOUT} s")
        failures = judge_links(verdict)
        pages = verdict.get("pages", [])
        print(f"checked {len(pages)} pages, {sum(len(p.get('links', [])) for p in pages)} links, "
              f"{sum(len(p.get('images', [])) for p in pages)} images")
        for f in failures:
            print("  " + f)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


def damage(album):
    """Breaks four different pictures of the album; returns, for each fault,
    its description and a test of whether a failure line reports it."""
    folders = sorted(p for p in album.iterdir() if p.is_dir())
    files = sorted(f for d in folders for f in d.iterdir())
    thumbs = [f for f in files if f.name.endswith("_s.jpg")]
    larges = [f for f in files if f.name.endswith("_l.jpg")]
    pages = [f for f in files if f.suffix == ".htm" and f.name != "index.htm"]
    if len(pages) < 4:
        raise SystemExit("check_album: --damage needs an album of at least four pictures")

    thumbs[0].unlink()
    larges[1].write_bytes(b"no picture here\n")
    wrong_charset = pages[2]
    wrong_charset.write_bytes(wrong_charset.read_bytes().decode("cp932").encode("utf-8"))
    pages[3].unlink()
    return [
        (f"missing thumbnail {thumbs[0].name}", lambda f: thumbs[0].name in f and "answered 404" in f),
        (f"undecodable picture {larges[1].name}", lambda f: larges[1].name in f and "decode EncodingError" in f),
        (f"page {wrong_charset.name} in UTF-8", lambda f: wrong_charset.name in f and "unexpected title" in f),
        (f"missing page {pages[3].name}", lambda f: f"link ./{pages[3].name}" in f and "answered 404" in f),
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mirofoto")
    parser.add_argument("--image-folder")
    parser.add_argument("--album", help="check this album folder as it stands (links and images only)")
    parser.add_argument("--screenshots", help="also save screenshots of a menu and a thumbnail page here")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--damage", action="store_true", help="break the album and expect the check to see it")
    args = parser.parse_args()
    if args.album:
        return check_existing(args.album)
    if not args.mirofoto or not args.image_folder:
        parser.error("--mirofoto and --image-folder are needed unless --album is given")

    image_folder = os.path.abspath(args.image_folder)
    expected = expected_album(image_folder)
    if not expected["albums"]:
        raise SystemExit(f"check_album: no pictures in {image_folder}")

    work = Path(tempfile.mkdtemp(prefix="album-check-"))
    try:
        site = work / "site"
        album = site / "album"
        home = work / "home"
        for folder in (album, home, work / "profile"):
            folder.mkdir(parents=True)
        shutil.copy(Path(__file__).with_name("album_checker.html"), site / "checker.html")

        env = dict(os.environ, MIROFOTO_HOME=str(home))
        gen = subprocess.run([args.mirofoto, "generate", "--image-folder", image_folder, "--output", str(album),
                              "--existing", "overwrite"], env=env, stdin=subprocess.DEVNULL,
                             capture_output=True, text=True, timeout=600)
        if gen.returncode != 0:
            print(gen.stdout, gen.stderr, sep="\n")
            raise SystemExit(f"check_album: mirofoto generate exited with {gen.returncode}")
        faults = damage(album) if args.damage else []

        server = serve(site)
        base = f"http://127.0.0.1:{server.server_address[1]}/"
        try:
            verdict = crawl_in_browser(server, work / "profile", base + "checker.html?start=album/index.htm")
            if verdict is None:
                raise SystemExit(f"check_album: the browser gave no verdict within {CHROMIUM_TIMEOUT} s")
            if args.screenshots:
                take_screenshots(Path(args.screenshots), work, base, expected, verdict)
        finally:
            server.shutdown()

        failures = judge(verdict, expected)
        pages = verdict.get("pages", [])
        images = sum(len(p.get("images", [])) for p in pages)
        links = sum(len(p.get("links", [])) for p in pages)
        print(f"checked {len(pages)} pages, {links} links, {images} images "
              f"({len(expected['albums'])} albums, "
              f"{sum(len(a['pictures']) for a in expected['albums'])} pictures)")
        if failures:
            print(f"{len(failures)} failure(s):")
            for f in failures:
                print("  " + f)
        if args.damage:
            missed = [name for name, seen in faults if not any(seen(f) for f in failures)]
            for name in missed:
                print(f"NOT FOUND: {name}")
            if not missed:
                print(f"all {len(faults)} faults put into the album were found")
            return 1 if missed else 0
        if failures:
            return 1
        print("all pages, links and images resolve; all images decode; titles and texts are right")
        return 0
    finally:
        if args.keep:
            print(f"kept {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


def take_screenshots(folder, work, base, expected, verdict):
    folder.mkdir(parents=True, exist_ok=True)
    albums = [p for p in verdict["pages"] if p["url"] != verdict["start"] and p["url"].endswith("/index.htm")]
    thumbs = max(albums, key=lambda p: len(p.get("images", [])))["url"]
    for name, url in (("menu.png", base + "album/index.htm"), ("thumbnails.png", thumbs)):
        proc = start_chromium(chromium_command(work / "profile", "--window-size=1000,700", "--hide-scrollbars",
                                               f"--screenshot={folder / name}", url))
        try:
            proc.wait(timeout=CHROMIUM_TIMEOUT)
        finally:
            stop_chromium(proc)
        print(f"screenshot {folder / name}")


if __name__ == "__main__":
    sys.exit(main())
