#!/usr/bin/env python3
"""Pages that declare no encoding, of real text nobody here wrote: the Japanese
and French translations shipped in this machine's packages (the .mo files under
/usr/share/locale, read with msgunfmt). Each text is cut to about 8, 16, 32,
100 or 1000 characters, or set as a few words in a page of mostly markup, as
old shop pages are; Japanese in UTF-8, Shift_JIS, EUC-JP and ISO-2022-JP,
French in windows-1252.

    bench/encoding_corpus.py OUT_DIR [PER_CELL [SEED]]

Writes OUT_DIR/NNN.html and OUT_DIR/manifest.tsv (file, encoding, length,
language, the text as the page must read, JSON-quoted). PER_CELL pages (8
unless given) for each encoding and length: 240 pages by default; another SEED
draws other texts.
"""
import glob
import html
import json
import os
import random
import re
import subprocess
import sys

LENGTHS = ["8", "16", "32", "100", "1000", "markup"]
ENCODINGS = {
    "ja": [("UTF-8", "utf-8"), ("Shift_JIS", "cp932"), ("EUC-JP", "euc_jp"),
           ("ISO-2022-JP", "iso2022_jp")],
    "fr": [("windows-1252", "cp1252")],
}
JAPANESE = re.compile(r"[\u3040-\u30ff\u4e00-\u9fff]")
FORMAT = re.compile(r"%(\d+\$)?[-+ #0']*\d*(\.\d+)?(hh|h|ll|l|L|q|j|z|t)?[a-zA-Z%]|\$\{?\w+\}?|[_&](?=\w)")


def translations(language):
    """Every msgstr of the language's catalogues, in a stable order."""
    texts = []
    for mo in sorted(glob.glob(f"/usr/share/locale/{language}/LC_MESSAGES/*.mo")):
        po = subprocess.run(["msgunfmt", "--no-wrap", mo], capture_output=True, text=True,
                            errors="replace").stdout
        for block in po.split("\n\n")[1:]:
            parts = re.findall(r'^msgstr(?:\[\d+\])? "(.*)"$', block, re.M)
            for part in parts:
                text = part.encode().decode("unicode_escape").encode("latin-1").decode(
                    "utf-8", "replace")
                text = FORMAT.sub("", text)
                text = " ".join(text.split())
                if text:
                    texts.append(text)
    return texts


def encodable(text, codecs):
    try:
        for codec in codecs:
            if text.encode(codec).decode(codec) != text:
                return False
    except UnicodeError:
        return False
    return True


def fits(text, language, codecs):
    if "\ufffd" in text or not encodable(text, codecs):
        return False
    if language == "ja":
        return len(JAPANESE.findall(text)) * 2 >= len(text.replace(" ", ""))
    return any(ord(c) > 127 for c in text) and "<" not in text


def cut(pool, length, rng):
    """About `length` characters of consecutive texts, cut on a character."""
    start = rng.randrange(len(pool))
    text = ""
    for i in range(start, start + len(pool)):
        text = (text + " " + pool[i % len(pool)]).strip()
        if len(text) >= length:
            break
    return text[:length].strip()


MARKUP_HEAD = """<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html><head><title>Shop</title>
<style type="text/css">
body { margin: 0; font-family: sans-serif; background: #ffffff; }
table.menu td { padding: 2px 6px; border-bottom: 1px dotted #cccccc; }
a:link { color: #0033cc; } a:visited { color: #663399; }
.price { color: #cc0000; font-weight: bold; } .small { font-size: 80%; }
</style>
<script type="text/javascript">
function swap(id, src) { var i = document.getElementById(id); if (i) i.src = src; }
var counter = 0; function count() { counter = counter + 1; return counter; }
</script></head>
<body bgcolor="#ffffff" text="#000000" link="#0033cc" vlink="#663399">
"""


def markup_page(words):
    rows = "".join(
        f'<tr><td><a href="/item/{n}.html" onmouseover="swap(\'i{n}\', \'/img/on{n}.gif\')">'
        f'<img id="i{n}" src="/img/off{n}.gif" width="80" height="60" border="0" alt=""></a></td>'
        f'<td class="price">{n * 120 + 980} yen</td><td class="small"><a href="/cart?add={n}">'
        f'cart</a></td></tr>\n' for n in range(1, 24))
    body = "".join(f"<b>{html.escape(w)}</b> " for w in words).strip()
    return (MARKUP_HEAD + '<table class="menu" width="760" cellpadding="0" cellspacing="0">\n'
            + rows + "</table>\n" + f'<div id="t">{body}</div>\n' + "</body></html>\n",
            " ".join(words))


def plain_page(text):
    return ('<html><head><title>t</title></head><body><p id="t">' + html.escape(text, quote=False)
            + "</p></body></html>\n", text)


def main():
    out = sys.argv[1]
    per_cell = int(sys.argv[2]) if len(sys.argv) > 2 else 8
    os.makedirs(out, exist_ok=True)
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 33)
    manifest = []
    for language, encodings in ENCODINGS.items():
        codecs = [codec for _, codec in encodings]
        pool = [t for t in translations(language) if fits(t, language, codecs)]
        words = sorted({w for t in pool for w in re.split(r"[\s、。,.;:!?()「」]+", t)
                        if 2 <= len(w) <= 6 and fits(w, language, codecs)})
        for name, codec in encodings:
            for length in LENGTHS:
                made = 0
                while made < per_cell:
                    if length == "markup":
                        page, text = markup_page(rng.sample(words, 3))
                    else:
                        piece = cut(pool, int(length), rng)
                        if not fits(piece, language, codecs):
                            continue
                        page, text = plain_page(piece)
                    file = f"{len(manifest):03d}.html"
                    with open(os.path.join(out, file), "wb") as f:
                        f.write(page.encode(codec))
                    manifest.append((file, name, length, language, json.dumps(text)))
                    made += 1
    with open(os.path.join(out, "manifest.tsv"), "w", encoding="utf-8") as f:
        for row in manifest:
            f.write("\t".join(row) + "\n")
    print(f"{len(manifest)} pages in {out}")


if __name__ == "__main__":
    main()
