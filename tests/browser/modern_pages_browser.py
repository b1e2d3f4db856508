#!/usr/bin/env python3
"""Checks an HTML5-style album in headless Chromium at phone to 4K sizes.

An album is made with `mirofoto generate --page-style modern` from the sample
photos (and an album of many copies of them, so that thumbnails lie below the
first screen), served on 127.0.0.1 and opened in headless Chromium, driven
through its DevTools protocol on a pipe. At every size: no page scrolls
sideways; every image in view has loaded, and every image once the page is
scrolled to its end; where the screen's scale is 1.5 or more, every picture
that offers a 2x copy shows it, and none does below. On a picture page
<- -> Esc and up, and a swipe, lead to the right pages; with scripts off the
links alone still reach every page of the album and the keys do nothing.
axe-core, run in the page, finds no serious or critical violation on any page
kind (and does find one put there on purpose). A screenshot of each size and
page kind goes to --screenshots when given.

    modern_pages_browser.py --mirofoto BIN --image-folder SAMPLES [--screenshots DIR] [--keep]
"""

import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
from check_album import chromium_command, serve, stop_chromium  # noqa: E402

AXE = Path(__file__).with_name("node") / "node_modules" / "axe-core" / "axe.min.js"
# CSS pixels, device scale, touch screen.
SIZES = [(360, 740, 3, True), (390, 844, 3, True), (768, 1024, 2, True), (1920, 1080, 1, False),
         (3840, 2160, 2, False)]
TIMEOUT = 30


class Browser:
    """Headless Chromium over --remote-debugging-pipe: JSON messages ended
    by NUL, written to its fd 3 and read from its fd 4."""

    def __init__(self, profile):
        to_r, self.to_w = os.pipe()
        self.from_r, from_w = os.pipe()

        def child():
            a, b = os.dup(to_r), os.dup(from_w)  # never 3 or 4 themselves
            os.dup2(a, 3)
            os.dup2(b, 4)

        self.proc = subprocess.Popen(chromium_command(profile, "--remote-debugging-pipe", "about:blank"),
                                     preexec_fn=child, close_fds=False, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE, start_new_session=True)
        os.close(to_r)
        os.close(from_w)
        self.buffer = b""
        self.next_id = 0

    def call(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_w, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            while b"\0" in self.buffer:
                raw, self.buffer = self.buffer.split(b"\0", 1)
                reply = json.loads(raw)
                if reply.get("id") == self.next_id:
                    if "error" in reply:
                        raise RuntimeError(f"{method}: {reply['error']}")
                    return reply.get("result", {})
            chunk = os.read(self.from_r, 1 << 20)
            if not chunk:
                raise RuntimeError("the browser went away")
            self.buffer += chunk
        raise RuntimeError(f"{method}: no answer in {TIMEOUT} s")

    def close(self):
        os.close(self.to_w)
        stop_chromium(self.proc)


class Tab:
    def __init__(self, browser):
        self.browser = browser
        target = browser.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = browser.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]

    def send(self, method, params=None):
        return self.browser.call(method, params, self.session)

    def eval(self, expression):
        r = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in r:
            raise RuntimeError(f"{expression[:60]}: {r['exceptionDetails']}")
        return r["result"].get("value")

    def wait(self, expression, what):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            try:
                if self.eval(expression):
                    return True
            except RuntimeError:
                pass  # between two documents
            time.sleep(0.05)
        raise RuntimeError(f"timed out waiting for {what}")

    def goto(self, url):
        self.send("Page.navigate", {"url": url})
        self.wait(f"location.href === {json.dumps(url)} && document.readyState === 'complete'", url)

    def size(self, width, height, scale, touch):
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": scale, "mobile": touch})
        self.send("Emulation.setTouchEmulationEnabled", {"enabled": touch, "maxTouchPoints": 5 if touch else 1})

    def key(self, key, code):
        for kind in ("rawKeyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent",
                      {"type": kind, "key": key, "code": key, "windowsVirtualKeyCode": code,
                       "nativeVirtualKeyCode": code})

    def screenshot(self, path):
        shot = self.send("Page.captureScreenshot", {"format": "png"})
        path.write_bytes(base64.b64decode(shot["data"]))


# Images of the page, as the browser has them.
IMAGES = """Array.from(document.images, i => { const r = i.getBoundingClientRect();
  return {src: i.getAttribute('src'), current: i.currentSrc, done: i.complete && i.naturalWidth > 0,
          srcset: i.hasAttribute('srcset'), inView: r.bottom > 0 && r.top < innerHeight && r.width > 0}; })"""
ALL_IN_VIEW_LOADED = f"{IMAGES}.every(i => !i.inView || i.done)"
ALL_LOADED = f"{IMAGES}.every(i => i.done)"


def check_page(tab, url, scale, failures, label):
    tab.goto(url)
    overflow = tab.eval("document.documentElement.scrollWidth - innerWidth")
    if overflow > 0:
        failures.append(f"{label} {url}: {overflow} px wider than the screen")
    try:
        tab.wait(ALL_IN_VIEW_LOADED, "the images in view")
    except RuntimeError:
        failures.append(f"{label} {url}: images in view not loaded: "
                        f"{[i['src'] for i in tab.eval(IMAGES) if i['inView'] and not i['done']]}")
    tab.eval("window.scrollTo(0, document.documentElement.scrollHeight)")
    try:
        tab.wait(ALL_LOADED, "every image after scrolling")
    except RuntimeError:
        failures.append(f"{label} {url}: images not loaded at the end: "
                        f"{[i['src'] for i in tab.eval(IMAGES) if not i['done']]}")
    for image in tab.eval(IMAGES):
        twice = image["current"].endswith("2x.jpg")
        if image["srcset"] and twice != (scale >= 1.5):
            failures.append(f"{label} {url}: {image['src']} shows {image['current']}")


def album_pages(album):
    """Every page of the album folder, as paths relative to the site."""
    return sorted(str(p.relative_to(album.parent)) for p in album.rglob("*.htm"))


def check_keys(tab, base, pages, failures):
    """On the middle picture of an album with three or more."""
    folder = max({Path(p).parent for p in pages if not p.endswith("index.htm")},
                 key=lambda f: sum(1 for p in pages if Path(p).parent == f))
    start = base + str(folder) + "/index.htm"
    tab.goto(start)
    pictures = tab.eval("Array.from(document.querySelectorAll('ul.grid a'), a => a.href)")
    if len(pictures) < 3:
        failures.append(f"keys: {folder} has {len(pictures)} pictures")
        return
    moves = [("ArrowRight", 39, pictures[2]), ("ArrowLeft", 37, pictures[0]), ("Escape", 27, start)]
    for key, code, expected in moves:
        tab.goto(pictures[1])
        tab.key(key, code)
        try:
            tab.wait(f"location.href === {json.dumps(expected)}", f"{key} to {expected}")
        except RuntimeError:
            failures.append(f"keys: {key} on {pictures[1]} led to {tab.eval('location.href')}, not {expected}")
    tab.goto(pictures[1])
    tab.key("ArrowUp", 38)
    try:
        tab.wait(f"location.href === {json.dumps(start)}", "ArrowUp")
    except RuntimeError:
        failures.append(f"keys: ArrowUp at the top of {pictures[1]} stayed")
    # A swipe to the left: the next picture.
    tab.goto(pictures[1])
    for kind, x in (("touchStart", 300), ("touchMove", 200), ("touchEnd", 80)):
        points = [] if kind == "touchEnd" else [{"x": x, "y": 300}]
        tab.send("Input.dispatchTouchEvent", {"type": kind, "touchPoints": points})
    try:
        tab.wait(f"location.href === {json.dumps(pictures[2])}", "swipe")
    except RuntimeError:
        failures.append(f"swipe: {pictures[1]} led to {tab.eval('location.href')}")


def check_without_scripts(tab, base, album_url, pages, failures):
    tab.send("Emulation.setScriptExecutionDisabled", {"value": True})
    seen, queue = set(), [album_url]
    while queue:
        url = queue.pop()
        if url in seen:
            continue
        seen.add(url)
        tab.goto(url)
        for href in tab.eval("Array.from(document.querySelectorAll('a[href]'), a => a.href)"):
            href = href.split("#")[0]
            if href.startswith(base + "album/") and href.endswith(".htm") and href not in seen:
                queue.append(href)
    reached = sorted(urllib.parse.unquote(u[len(base):]) for u in seen)
    if reached != pages:
        failures.append(f"without scripts the links reach {len(reached)} of {len(pages)} pages: "
                        f"missing {sorted(set(pages) - set(reached))}")
    # The keys are the script's: with scripts off they do nothing.
    pictures = [p for p in pages if not p.endswith("index.htm")]
    tab.goto(base + urllib.parse.quote(pictures[0]))
    # Seen at once, with no wait for a navigation that must not come: the
    # page script's key handler takes the keys it moves by (preventDefault).
    taken = tab.eval("(() => { const e = new KeyboardEvent('keydown', {key: 'Escape', cancelable: true});"
                     " document.dispatchEvent(e); return e.defaultPrevented; })()")
    if taken or urllib.parse.unquote(tab.eval("location.href")) != base + pictures[0]:
        failures.append("with scripts off the page still takes the keys: the scripts were not off")
    tab.send("Emulation.setScriptExecutionDisabled", {"value": False})


AXE_RUN = """axe.run(document, {resultTypes: ['violations']}).then(r => r.violations
  .filter(v => v.impact === 'serious' || v.impact === 'critical')
  .map(v => v.id + ' (' + v.impact + '): ' + v.help + ' ' + v.nodes.map(n => n.target.join(' ')).join(', ')))"""


def check_accessibility(tab, urls, failures):
    source = AXE.read_text()
    for url in urls:
        tab.goto(url)
        tab.eval(source)
        for v in tab.eval(AXE_RUN):
            failures.append(f"axe {url}: {v}")
    # The check must see a fault: a picture without alt text.
    tab.goto(urls[-1])
    tab.eval(source)
    tab.eval("document.body.insertAdjacentHTML('beforeend', '<img src=\"x.jpg\">')")
    if not any(v.startswith("image-alt") for v in tab.eval(AXE_RUN)):
        failures.append("axe did not see a picture without alt text")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mirofoto", required=True)
    parser.add_argument("--image-folder", required=True)
    parser.add_argument("--screenshots")
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    if not AXE.is_file():
        raise SystemExit(f"modern_pages_browser: {AXE} missing (scripts/setup.sh --tests installs it)")

    work = Path(tempfile.mkdtemp(prefix="modern-pages-"))
    browser = None
    server = None
    try:
        images = work / "写真"
        shutil.copytree(args.image_folder, images)
        many = images / "たくさん"
        many.mkdir()
        samples = sorted(p for p in images.rglob("*") if p.suffix.lower() in (".jpg", ".jpeg") and many not in p.parents)
        for i in range(30):
            shutil.copy(samples[i % len(samples)], many / f"写真{i:02d}.jpg")
        album = work / "site" / "album"
        album.mkdir(parents=True)
        env = dict(os.environ, MIROFOTO_HOME=str(work / "home"))
        gen = subprocess.run([args.mirofoto, "generate", "--image-folder", str(images), "--output", str(album),
                              "--existing", "overwrite", "--page-style", "modern"],
                             env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=600)
        if gen.returncode != 0:
            print(gen.stdout, gen.stderr, sep="\n")
            raise SystemExit(f"modern_pages_browser: mirofoto generate exited with {gen.returncode}")

        server = serve(work / "site")
        base = f"http://127.0.0.1:{server.server_address[1]}/"
        pages = album_pages(album)
        thumbnail_pages = [p for p in pages if p.endswith("/index.htm") and p != "album/index.htm"]
        first_pictures = []
        for t in thumbnail_pages:
            folder = Path(t).parent
            first_pictures += sorted(p for p in pages if Path(p).parent == folder and p != t)[:2]
        checked = ["album/index.htm", *thumbnail_pages, *first_pictures]
        url = lambda p: base + urllib.parse.quote(p)

        browser = Browser(work / "profile")
        tab = Tab(browser)
        tab.send("Page.enable")
        failures = []
        shots = Path(args.screenshots) if args.screenshots else None
        if shots:
            shots.mkdir(parents=True, exist_ok=True)
        for width, height, scale, touch in SIZES:
            label = f"{width}x{height}@{scale}"
            tab.size(width, height, scale, touch)
            for p in checked:
                check_page(tab, url(p), scale, failures, label)
            if shots:
                busiest = max(thumbnail_pages, key=lambda t: sum(1 for p in pages if Path(p).parent == Path(t).parent))
                for kind, p in (("menu", "album/index.htm"), ("thumbnails", busiest), ("picture", first_pictures[0])):
                    tab.goto(url(p))
                    tab.screenshot(shots / f"modern-{kind}-{width}x{height}.png")
        tab.size(390, 844, 3, True)
        check_keys(tab, base, pages, failures)
        check_without_scripts(tab, base, url("album/index.htm"), pages, failures)
        check_accessibility(tab, [url("album/index.htm"), url(thumbnail_pages[0]), url(first_pictures[0])], failures)
        tab.size(1920, 1080, 1, False)
        check_accessibility(tab, [url("album/index.htm"), url(first_pictures[0])], failures)

        print(f"checked {len(checked)} pages at {len(SIZES)} sizes, {len(pages)} pages without scripts")
        for f in failures:
            print("FAIL " + f)
        if failures:
            return 1
        print("no page scrolls sideways, every image loads, 2x copies where the screen asks, keys and swipes "
              "move, links alone reach everything, axe finds nothing serious")
        return 0
    finally:
        if browser:
            browser.close()
        if server:
            server.shutdown()
        if args.keep:
            print(f"kept {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
