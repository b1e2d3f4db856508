#!/usr/bin/env python3
"""Makes an HTML5-style album and checks every page with a real HTML validator.

An image folder is made from the sample photos with names that need escaping
(quotes, "&", "<", Japanese), comments that carry markup, and an album
settings file whose free HTML blocks are valid HTML. The album is made with
`mirofoto generate` and every page is checked by html-validate (installed by
scripts/setup.sh into tests/browser/node). Then one block is made invalid on
purpose and the validator must find it, so a validator that sees nothing
cannot pass.

    validate_pages.py --mirofoto BIN --image-folder SAMPLES [--keep]

Exit status 0 when every page of the valid album is valid and the broken one
is not, 1 otherwise.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

NODE_DIR = Path(__file__).with_name("node")
VALIDATOR = NODE_DIR / "node_modules" / "html-validate" / "bin" / "html-validate.mjs"

# The rules of the HTML standard and of whole documents; nothing of taste.
CONFIG = {
    "extends": ["html-validate:standard", "html-validate:document"],
    "rules": {},
}

# Free HTML blocks of each page kind (1 after the body start, 2 the middle,
# 3 before the body end): valid HTML of the kind users write.
BLOCKS = {
    "HTML10": "<p>ようこそ <b>写真</b> の部屋へ</p>",
    "HTML20": "<p class=\"note\">旅の記録</p><CRLF><hr>",
    "HTML30": "<p>&copy; 2024 写真家</p>",
    "HTML11": "<p>アルバム &amp; 写真</p>",
    "HTML21": "<div><em>お気に入り</em></div>",
    "HTML31": "<footer><small>おわり</small></footer>",
    "HTML12": "<p>拡大</p>",
    "HTML22": "<ul><li>一</li><li>二</li></ul>",
    "HTML32": "<p><a href=\"https://example.org/\">リンク</a></p>",
}


def with_comment(jpeg: bytes, comment: str) -> bytes:
    """The JPEG with a comment segment (CP932) put right after its start."""
    body = comment.encode("cp932")
    segment = b"\xff\xfe" + (len(body) + 2).to_bytes(2, "big") + body
    return jpeg[:2] + segment + jpeg[2:]


def make_image_folder(samples: Path, root: Path):
    photos = sorted(p for p in samples.rglob("*") if p.suffix.lower() in (".jpg", ".jpeg"))
    if len(photos) < 4:
        raise SystemExit(f"validate_pages: too few sample photos in {samples}")
    data = [p.read_bytes() for p in photos[:4]]
    (root / "旅行").mkdir(parents=True)
    (root / "家族 2024").mkdir()
    (root / "IMG 0001.JPG").write_bytes(with_comment(data[0], "海辺の<b>夕日</b> &amp; 波"))
    (root / "駅 & 海.jpg").write_bytes(with_comment(data[1], ""))
    (root / "旅行" / "<x> \"q\" it's.jpg").write_bytes(with_comment(data[2], "山の朝<br>晴れ"))
    (root / "旅行" / "b.jpeg").write_bytes(data[3])
    (root / "家族 2024" / "c.jpg").write_bytes(with_comment(data[0], "家族と \"一緒\""))


def write_settings(path: Path, style: str, blocks=None):
    lines = ["[オプション]", "ページ形式=" + style, "列数=3", "背景色選択1=False"]
    lines += [f"{k}={v}" for k, v in (blocks or BLOCKS).items()]
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode("cp932"))


def generate(mirofoto, image_folder, output, home, *extra):
    env = dict(os.environ, MIROFOTO_HOME=str(home))
    run = subprocess.run([mirofoto, "generate", "--image-folder", str(image_folder), "--output", str(output),
                          "--create-output", "--existing", "overwrite", *extra],
                         env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=600)
    if run.returncode != 0:
        print(run.stdout, run.stderr, sep="\n")
        raise SystemExit(f"validate_pages: mirofoto generate exited with {run.returncode}")


def validate(pages, config_file):
    """html-validate's messages per page: {page: [text, ...]}."""
    run = subprocess.run(["node", str(VALIDATOR), "--config", str(config_file), "--formatter", "json",
                          *map(str, pages)], capture_output=True, text=True, timeout=300)
    if run.returncode not in (0, 1) or not run.stdout.strip():
        print(run.stdout, run.stderr, sep="\n")
        raise SystemExit(f"validate_pages: html-validate exited with {run.returncode}")
    found = {}
    for result in json.loads(run.stdout):
        for m in result.get("messages", []):
            found.setdefault(result["filePath"], []).append(f"{m.get('line')}:{m.get('column')} "
                                                            f"{m.get('ruleId')}: {m.get('message')}")
    return found


def page_facts(album: Path):
    """What every HTML5 page must carry, checked without the validator."""
    failures = []
    for page in sorted(album.rglob("*.htm")):
        raw = page.read_bytes()
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            failures.append(f"{page}: not UTF-8")
            continue
        for needle in ("<!DOCTYPE html>", '<html lang="ja">', '<meta charset="utf-8">',
                       '<meta name="viewport" content="width=device-width, initial-scale=1">'):
            if needle not in text:
                failures.append(f"{page}: lacks {needle}")
        for href in re.findall(r'(?:href|src)="([^"]*)"', text):
            if re.match(r"^[a-z]+:|^/", href) and "example.org" not in href:
                failures.append(f"{page}: link not relative: {href}")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mirofoto", required=True)
    parser.add_argument("--image-folder", required=True)
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    if not VALIDATOR.is_file():
        raise SystemExit(f"validate_pages: {VALIDATOR} missing (scripts/setup.sh --tests installs it)")

    work = Path(tempfile.mkdtemp(prefix="validate-pages-"))
    try:
        images = work / "写真 <集>"
        make_image_folder(Path(args.image_folder), images)
        config = work / "html-validate.json"
        config.write_text(json.dumps(CONFIG))
        failures = []

        # The style from the settings file, and from the command line over a
        # classic settings file.
        for style, extra in (("1", []), ("0", ["--page-style", "modern"])):
            settings = work / f"style{style}.mfs"
            write_settings(settings, style)
            album = work / f"album{style}"
            generate(args.mirofoto, images, album, work / f"home{style}", "--settings", str(settings), *extra)
            pages = sorted(album.rglob("*.htm"))
            root_album = album / "E58699E79C9F+3CE99B863E"  # the image folder's own name, encoded
            if not (root_album / "index.htm").is_file():
                failures.append(f"style {style}: no root album folder {root_album.name}: "
                                f"{sorted(p.name for p in album.iterdir())}")
            if len(pages) != 1 + 3 + 5:
                failures.append(f"style {style}: {len(pages)} pages, expected 9")
            failures += page_facts(album)
            for page, messages in validate(pages, config).items():
                failures += [f"{page}: {m}" for m in messages]

        # A block that is not valid HTML must be found on its page kind.
        broken = work / "broken.mfs"
        write_settings(broken, "1", dict(BLOCKS, HTML21="<p><div>迷子</p>"))
        album = work / "broken"
        generate(args.mirofoto, images, album, work / "home-broken", "--settings", str(broken))
        found = validate(sorted(album.rglob("index.htm")), config)
        thumbnail_pages = [p for p in found if Path(p).parent != album]
        if len(thumbnail_pages) != 3:
            failures.append(f"the invalid block was found on {len(thumbnail_pages)} of 3 thumbnail pages: {found}")

        for f in failures:
            print("FAIL " + f)
        if failures:
            return 1
        print("every page of the HTML5 album is valid; an invalid free block is found")
        return 0
    finally:
        if args.keep:
            print(f"kept {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
