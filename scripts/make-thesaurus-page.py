#!/usr/bin/env python3
"""Makes the vendor's thesaurus page server/trvs/ck.asp from the Chinese Open
Wordnet (OMW tab format: synset TAB cmn:lemma TAB lemma).

Every synset with two or more distinct lemmas becomes one thesaurus line, its
lemmas joined by ","; the page body is the status mark "1" followed by "##" and
the lines separated by "##", on a single line (a line break would end up inside
a record). Only lemmas made purely of CJK ideographs are kept: digits, Latin
letters and punctuation (",", "#", "+", "&", "<" ...) would either break the
record format or be altered by the page cleaning. The licence and citation are
copied beside the page, as the licence requires.

usage: scripts/make-thesaurus-page.py [SOURCE_DIR] [OUT_DIR]
  SOURCE_DIR  holds wn-data-cmn.tab, LICENSE, citation.bib (default ../shared/data/thesaurus)
  OUT_DIR     default server/trvs
"""
import os
import re
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
IDEOGRAPHS = re.compile(r"^[\u4e00-\u9fff]+$")


def synsets(tab_path):
    groups = {}  # insertion order: the order of the source file
    with open(tab_path, encoding="utf-8") as source:
        for line in source:
            if line.startswith("#"):
                continue
            fields = line.rstrip("\r\n").split("\t")
            if len(fields) != 3 or not fields[1].endswith(":lemma"):
                continue
            lemma = fields[2].strip()
            if IDEOGRAPHS.match(lemma):
                words = groups.setdefault(fields[0], [])
                if lemma not in words:
                    words.append(lemma)
    return [words for words in groups.values() if len(words) >= 2]


def main():
    source_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "..", "shared", "data", "thesaurus")
    out_dir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "server", "trvs")
    lines = [",".join(words) for words in synsets(os.path.join(source_dir, "wn-data-cmn.tab"))]
    for line in lines:
        line.encode("gbk")  # ciku.txt is GBK: fail here rather than in the program
    body = "1##" + "##".join(lines)
    # The body is not rendered: the program reads its markup from a browser
    # that is 15 twips wide, where laying out the whole thesaurus one character
    # per line would take many seconds.
    page = ('<html><head><meta charset="utf-8"><style>body{display:none}</style></head>'
            "<body>" + body + "</body></html>")
    with open(os.path.join(out_dir, "ck.asp"), "w", encoding="utf-8", newline="") as out:
        out.write(page)
    shutil.copyfile(os.path.join(source_dir, "LICENSE"), os.path.join(out_dir, "THESAURUS-LICENSE.txt"))
    shutil.copyfile(os.path.join(source_dir, "citation.bib"), os.path.join(out_dir, "THESAURUS-CITATION.bib"))
    print(f"{len(lines)} thesaurus lines, {len(body)} characters")


if __name__ == "__main__":
    main()
