#!/usr/bin/env python3
"""Every Japanese text in the program's sources has a finished English translation, and every
translation still has its text in the sources.

    translations_test.py SOURCE_DIR

The string table and the dialog templates are checked through the program itself (the Language
widget tests); this finds the texts written anywhere else, and the translations left behind.
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

FOLDERS = ["app", "board", "options", "platform", "res", "files", "engine", "filter", "tools", "plugin"]
# Japanese texts that are never shown: the dialog font's names.
NOT_SHOWN = {"ＭＳ Ｐゴシック", "ＭＳ ゴシック"}
JAPANESE = re.compile("[\u3000-\u9fff\uff00-\uffef]")
ESCAPES = {"n": "\n", "t": "\t", "\\": "\\", '"': '"', "'": "'", "0": "\0"}


def literals(code):
    """The string literals of C++ code, adjacent ones joined, comments and character literals skipped."""
    found, i, n = [], 0, len(code)
    pending = None  # a literal that the next may continue
    while i < n:
        c = code[i]
        if code.startswith("//", i):
            i = code.find("\n", i)
            i = n if i < 0 else i
        elif code.startswith("/*", i):
            i = code.find("*/", i + 2) + 2
        elif c == "'":
            i += 1
            while code[i] != "'":
                i += 2 if code[i] == "\\" else 1
            i += 1
        elif c == '"':
            raw = code[i - 1] == "R" if i > 0 else False
            text = []
            if raw:
                end = code.index("(", i)
                delim = ")" + code[i + 1 : end] + '"'
                close = code.index(delim, end)
                text.append(code[end + 1 : close])
                i = close + len(delim)
            else:
                i += 1
                while code[i] != '"':
                    if code[i] == "\\":
                        text.append(ESCAPES.get(code[i + 1], code[i + 1]))
                        i += 2
                    else:
                        text.append(code[i])
                        i += 1
                i += 1
            pending = (pending or "") + "".join(text)
            continue
        elif not c.isspace() and pending is not None:
            found.append(pending)
            pending = None
            i += 1
        else:
            i += 1
    if pending is not None:
        found.append(pending)
    return found


def main():
    root = pathlib.Path(sys.argv[1])
    failures = []
    translations = {}
    for message in ET.parse(root / "i18n" / "aerolyre_en.ts").getroot().iter("message"):
        source = message.findtext("source")
        translation = message.find("translation")
        if source in translations:
            failures.append(f"translated twice: {source!r}")
        if translation is None or translation.get("type") in ("unfinished", "vanished", "obsolete") or not translation.text:
            failures.append(f"no finished translation: {source!r}")
        translations[source] = translation.text if translation is not None else None

    texts = set()
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix in (".cpp", ".h"):
                for text in literals(path.read_text(encoding="utf-8")):
                    texts.add(text)
                    if JAPANESE.search(text) and text not in NOT_SHOWN and text not in translations:
                        failures.append(f"{path.relative_to(root)}: no English for {text!r}")
    for source in translations:
        if source not in texts:
            failures.append(f"a translation of a text no longer in the sources: {source!r}")

    for f in failures:
        print("FAIL:", f)
    print(f"{len(translations)} translations, {len(texts)} texts in the sources")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
