#!/usr/bin/env python3
"""Writes flat-XML sources of a large word-processing document and a large
spreadsheet, for LibreOffice to turn into .docx and .xlsx (bench/office_bench.sh).

The text is tools/gen_prose.py's made-up prose; paragraphs carry bold and
italic spans (some cutting a word in two) and the sheet holds text cells
beside numbers, so the packages look like what people write.

    bench/make_big_office.py MEGABYTES OUTDIR   # writes OUTDIR/big.fodt and OUTDIR/big.fods
"""
import os
import random
import subprocess
import sys
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"')
STYLES = ('<office:automatic-styles>'
          '<style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>'
          '<style:style style:name="T2" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>'
          '</office:automatic-styles>')


def paragraph(line, rng):
    words = line.split(" ")
    out = []
    for word in words:
        w = escape(word)
        r = rng.random()
        if r < 0.04:
            w = '<text:span text:style-name="T1">' + w + "</text:span>"
        elif r < 0.06 and len(word) > 3:
            cut = len(word) // 2
            w = escape(word[:cut]) + '<text:span text:style-name="T2">' + escape(word[cut:]) + "</text:span>"
        out.append(w)
    return "<text:p>" + " ".join(out) + "</text:p>\n"


def main():
    megabytes, outdir = float(sys.argv[1]), sys.argv[2]
    prose = subprocess.run([sys.executable, os.path.join(HERE, "..", "tools", "gen_prose.py"),
                            str(megabytes), "21"], check=True, capture_output=True,
                           text=True).stdout.splitlines()
    rng = random.Random(21)
    with open(os.path.join(outdir, "big.fodt"), "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<office:document ' + NS +
                ' office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">'
                + STYLES + "<office:body><office:text>\n")
        for line in prose:
            f.write(paragraph(line, rng))
        f.write("</office:text></office:body></office:document>\n")
    # Sentences as cells: a date-like number, a short text and a long one per row.
    sentences = [s.strip() + "." for line in prose for s in line.split(".") if s.strip()]
    with open(os.path.join(outdir, "big.fods"), "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<office:document ' + NS +
                ' office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">'
                "<office:body><office:spreadsheet><table:table table:name=\"Katta\">\n")
        # Half of the prose: a sheet's XML per byte of text is larger than a document's.
        for i, s in enumerate(sentences[: len(sentences) // 2]):
            short = " ".join(s.split(" ")[:3])
            f.write('<table:table-row><table:table-cell office:value-type="float" office:value="%d">'
                    "<text:p>%d</text:p></table:table-cell>"
                    '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>'
                    '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>'
                    "</table:table-row>\n" % (i, i, escape(short), escape(s)))
        f.write("</table:table></office:spreadsheet></office:body></office:document>\n")


if __name__ == "__main__":
    main()
