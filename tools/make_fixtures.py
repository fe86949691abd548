#!/usr/bin/env python3
"""Writes the office documents that the file-command tests convert.

The documents come from real producers (python-docx and openpyxl); parts those
libraries cannot write themselves (footnotes, comments, a text box, rich and
phonetic shared strings, inline strings) are added to the produced packages
afterwards. Usage: make_fixtures.py [OUTPUT_DIR] (default tests/fixtures).
Installs python3-docx and python3-openpyxl with apt-get when they are missing.
"""
import io
import os
import re
import subprocess
import sys
import zipfile


def ensure_modules():
    try:
        import docx  # noqa: F401
        import openpyxl  # noqa: F401
    except ImportError:
        # Debian's packages serve the system interpreter; prefer it over
        # another python3 found first on the path.
        system = "/usr/bin/python3"
        if os.path.exists(system) and os.path.realpath(sys.executable) != os.path.realpath(system):
            os.execv(system, [system] + sys.argv)
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        subprocess.run(["apt-get", "update"], check=True, env=env)
        subprocess.run(["apt-get", "install", "-y", "--no-install-recommends",
                        "python3-docx", "python3-openpyxl"], check=True, env=env)


ensure_modules()
import docx  # noqa: E402
import openpyxl  # noqa: E402
from docx.enum.text import WD_BREAK  # noqa: E402
from docx.opc.constants import RELATIONSHIP_TYPE as RT  # noqa: E402
from docx.oxml import parse_xml  # noqa: E402

W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
FIXED_TIME = (2024, 3, 1, 12, 0, 0)


def rewrite_zip(data, edit, extra=()):
    """Copies a package, passing every entry's bytes through edit(name, bytes)
    and appending the (name, bytes) pairs of extra."""
    out = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(data)) as src, \
            zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as dst:
        for info in src.infolist():
            entry = zipfile.ZipInfo(info.filename, FIXED_TIME)
            entry.compress_type = zipfile.ZIP_DEFLATED
            dst.writestr(entry, edit(info.filename, src.read(info.filename)))
        for name, content in extra:
            entry = zipfile.ZipInfo(name, FIXED_TIME)
            entry.compress_type = zipfile.ZIP_DEFLATED
            dst.writestr(entry, content)
    return out.getvalue()


def saved(document):
    buffer = io.BytesIO()
    document.save(buffer)
    return buffer.getvalue()


def add_hyperlink(paragraph, url, text):
    rel = paragraph.part.relate_to(url, RT.HYPERLINK, is_external=True)
    paragraph._p.append(parse_xml(
        f'<w:hyperlink {W} xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/'
        f'relationships" r:id="{rel}"><w:r><w:rPr><w:rStyle w:val="Hyperlink"/><w:u w:val="single"/>'
        f'</w:rPr><w:t>{text}</w:t></w:r></w:hyperlink>'))


TEXT_BOX = (
    '<w:r {w} xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" '
    'xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" '
    'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
    'xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape" '
    'xmlns:v="urn:schemas-microsoft-com:vml">'
    '<mc:AlternateContent><mc:Choice Requires="wps"><w:drawing>'
    '<wp:inline distT="0" distB="0" distL="0" distR="0"><wp:extent cx="1828800" cy="457200"/>'
    '<wp:docPr id="10" name="Matn maydoni"/><a:graphic><a:graphicData '
    'uri="http://schemas.microsoft.com/office/word/2010/wordprocessingShape"><wps:wsp>'
    '<wps:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="1828800" cy="457200"/></a:xfrm>'
    '<a:prstGeom prst="rect"><a:avLst/></a:prstGeom></wps:spPr><wps:txbx><w:txbxContent>'
    '{box}</w:txbxContent></wps:txbx><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic>'
    '</wp:inline></w:drawing></mc:Choice><mc:Fallback><w:pict><v:shape style="width:144pt;'
    'height:36pt"><v:textbox><w:txbxContent>{box}</w:txbxContent></v:textbox></v:shape>'
    '</w:pict></mc:Fallback></mc:AlternateContent></w:r>')

BOX_PARAGRAPH = ('<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Qo\'</w:t></w:r><w:r><w:t>shiq</w:t></w:r>'
                 '<w:r><w:t xml:space="preserve"> va choy</w:t></w:r></w:p>')

FOOTNOTES = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
    f'<w:footnotes {W}><w:footnote w:type="separator" w:id="-1"><w:p><w:r><w:separator/></w:r>'
    '</w:p></w:footnote><w:footnote w:type="continuationSeparator" w:id="0"><w:p><w:r>'
    '<w:continuationSeparator/></w:r></w:p></w:footnote><w:footnote w:id="1"><w:p><w:r>'
    '<w:rPr><w:vertAlign w:val="superscript"/></w:rPr><w:footnoteRef/></w:r><w:r>'
    '<w:t xml:space="preserve"> Manba: maktab kutubxonasi, to\'g\'ri nusxa.</w:t></w:r></w:p>'
    '</w:footnote></w:footnotes>')

COMMENTS = (
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
    f'<w:comments {W}><w:comment w:id="0" w:author="Muharrir" w:date="2024-03-01T12:00:00Z" '
    'w:initials="M"><w:p><w:r><w:t>Bu ma\'noni tekshiring, o</w:t></w:r><w:r><w:rPr><w:i/>'
    '</w:rPr><w:t>\'rtoq.</w:t></w:r></w:p></w:comment></w:comments>')


def add_notes(name, data):
    """Links the footnote and comment parts into the package."""
    if name not in ("[Content_Types].xml", "word/_rels/document.xml.rels", "word/document.xml"):
        return data
    text = data.decode("utf-8")
    if name == "[Content_Types].xml":
        text = text.replace("</Types>",
                            '<Override PartName="/word/footnotes.xml" ContentType="application/'
                            'vnd.openxmlformats-officedocument.wordprocessingml.footnotes+xml"/>'
                            '<Override PartName="/word/comments.xml" ContentType="application/'
                            'vnd.openxmlformats-officedocument.wordprocessingml.comments+xml"/>'
                            "</Types>")
    elif name == "word/_rels/document.xml.rels":
        text = text.replace("</Relationships>",
                            '<Relationship Id="rIdNotes" Type="http://schemas.openxmlformats.org/'
                            'officeDocument/2006/relationships/footnotes" Target="footnotes.xml"/>'
                            '<Relationship Id="rIdComments" Type="http://schemas.openxmlformats.org/'
                            'officeDocument/2006/relationships/comments" Target="comments.xml"/>'
                            "</Relationships>")
    elif name == "word/document.xml":
        text = text.replace(
            "<w:t>NOTE</w:t>",
            '<w:t xml:space="preserve">Izoh </w:t></w:r><w:commentRangeStart w:id="0"/><w:r>'
            '<w:t>bor</w:t></w:r><w:commentRangeEnd w:id="0"/><w:r><w:commentReference w:id="0"/>'
            '</w:r><w:r><w:rPr><w:vertAlign w:val="superscript"/></w:rPr>'
            '<w:footnoteReference w:id="1"/>', 1)
        text = text.replace("<w:r><w:t>BOX</w:t></w:r>", TEXT_BOX.format(w="", box=BOX_PARAGRAPH), 1)
    return text.encode("utf-8")


def letter():
    d = docx.Document()
    d.sections[0].header.paragraphs[0].text = "Maktab gazetasi: yangi choy"
    d.sections[0].footer.paragraphs[0].text = "Toshkent shahri, 2024"
    d.add_heading("O'zbekiston haqida", level=1)
    p = d.add_paragraph()
    p.add_run("Bugun ").bold = True
    p.add_run("sha").italic = True
    p.add_run("har bo").bold = True
    p.add_run("'ylab o").italic = True
    p.add_run("'g'il bola choy ichdi.")
    p = d.add_paragraph()
    p.add_run("Ro'yxat:\tbosh\tqo'shiq")
    p.add_run().add_break(WD_BREAK.LINE)
    p.add_run("ikkinchi qator: ma'no & \"tushuncha\" <b>")
    p = d.add_paragraph("Batafsil: ")
    add_hyperlink(p, "https://example.uz/shahar", "o'quvchilar sahifasi")
    p.add_run(" https://x.uz/sh")
    table = d.add_table(rows=2, cols=2)
    for cell, text in zip(table._cells, ["bosh", "o'g'il", "choy", "Hello world"]):
        cell.text = text
    d.add_paragraph("NOTE")
    d.add_paragraph("Rasm: ").add_run("BOX")
    d.add_paragraph("Oxirgi gap: Men bu kitobni oldim.")
    return rewrite_zip(saved(d), add_notes,
                       [("word/footnotes.xml", FOOTNOTES), ("word/comments.xml", COMMENTS)])


def unchanged():
    d = docx.Document()
    d.sections[0].header.paragraphs[0].text = "Men bu kitobni oldim"
    d.add_paragraph("Men bu kitobni oldim.")
    p = d.add_paragraph()
    p.add_run("Hello ").bold = True
    p.add_run("world")
    return rewrite_zip(saved(d), lambda name, data: data)


def sheet():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Varaq"
    ws["A1"] = "shahar"
    ws["A2"] = "O'zbekiston"
    ws["A3"] = 42
    ws["B1"] = "Men bu kitobni oldim"
    ws["B2"] = "RICH"
    ws["C1"] = "INLINE"
    ws["C2"] = "=A3*2"
    second = wb.create_sheet("Ikkinchi")
    second["A1"] = "choy"
    buffer = io.BytesIO()
    wb.save(buffer)

    # openpyxl writes every string inline; move the first sheet's strings,
    # except C1, into a shared-string table the way spreadsheet programs do.
    shared = []

    def share(match):
        if match.group(1) == "C1":
            return '<c r="C1" t="inlineStr"><is><t>choy ichdik</t></is></c>'
        text = match.group(2)
        if text == "RICH":
            shared.append("<si><r><rPr><b/><sz val=\"11\"/></rPr><t>qo'</t></r><r><rPr><i/>"
                          "<sz val=\"11\"/></rPr><t xml:space=\"preserve\">shiq va </t></r>"
                          "<r><t>bosh</t></r><rPh sb=\"0\" eb=\"1\"><t>shahar</t></rPh>"
                          "<phoneticPr fontId=\"1\"/></si>")
        else:
            shared.append(f"<si><t>{text}</t></si>")
        return f'<c r="{match.group(1)}" t="s"><v>{len(shared) - 1}</v></c>'

    def edit(name, data):
        text = data.decode("utf-8")
        if name == "xl/worksheets/sheet1.xml":
            text = re.sub(r'<c r="([A-Z]+[0-9]+)" t="inlineStr"><is><t>(.*?)</t></is></c>', share, text)
        elif name == "[Content_Types].xml":
            text = text.replace("</Types>", '<Override PartName="/xl/sharedStrings.xml" ContentType='
                                '"application/vnd.openxmlformats-officedocument.spreadsheetml.'
                                'sharedStrings+xml"/></Types>')
        elif name == "xl/_rels/workbook.xml.rels":
            text = text.replace("</Relationships>", '<Relationship Id="rIdStrings" Type="http://'
                                'schemas.openxmlformats.org/officeDocument/2006/relationships/'
                                'sharedStrings" Target="sharedStrings.xml"/></Relationships>')
        else:
            return data
        return text.encode("utf-8")

    package = rewrite_zip(buffer.getvalue(), edit)
    table = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<sst xmlns="http://schemas.'
             f'openxmlformats.org/spreadsheetml/2006/main" count="{len(shared)}" '
             f'uniqueCount="{len(shared)}">' + "".join(shared) + "</sst>")
    return rewrite_zip(package, lambda name, data: data, [("xl/sharedStrings.xml", table)])


def code():
    """Document properties, code set in a code style and in a monospace
    font, and a tracked deletion."""
    from docx.enum.style import WD_STYLE_TYPE
    d = docx.Document()
    d.core_properties.title = "O'zbekiston haqida"
    d.core_properties.subject = "Shahar va qishloq"
    d.core_properties.keywords = "choy, qo'shiq"
    d.core_properties.comments = "Qisqa ma'lumot"
    d.core_properties.category = "Maktab"
    d.core_properties.author = "Shavkat"
    style = d.styles.add_style("HTML Code", WD_STYLE_TYPE.CHARACTER)
    style.font.name = "Courier New"
    p = d.add_paragraph("Buyruq: ")
    p.add_run("git checkout shahar").style = style
    p.add_run(" bilan, so'ng ")
    p.add_run("choy shahar").font.name = "Consolas"
    d.add_paragraph("Yangi DELETED qo'shiq.")
    return rewrite_zip(saved(d), lambda name, data: data.replace(
        b"DELETED", b'</w:t></w:r><w:del w:id="1" w:author="M" w:date="2024-03-01T12:00:00Z">'
        b'<w:r><w:delText xml:space="preserve">eski shahar </w:delText></w:r></w:del><w:r><w:t>')
        if name == "word/document.xml" else data)


def prefixed():
    """The letter with WordprocessingML bound to another prefix."""
    def rename(name, data):
        if not re.fullmatch(r"word/(document|header\d*|footer\d*|footnotes|comments)\.xml", name):
            return data
        return re.sub(rb"(</?|\s)w:", rb"\1ww:", data).replace(b"xmlns:w=", b"xmlns:ww=")
    return rewrite_zip(letter(), rename)


def tables():
    """A workbook with an Excel table, a cell comment, headers and footers, a
    chart title and document properties."""
    from openpyxl.chart import BarChart, Reference
    from openpyxl.comments import Comment
    from openpyxl.worksheet.table import Table
    wb = openpyxl.Workbook()
    wb.properties.title = "Oylik xarajatlar"
    wb.properties.keywords = "choy"
    ws = wb.active
    ws.title = "Ro'yxat"
    for row in [["Ko'cha", "Narx", "Izoh"], ["Toshkent shahri", 42, "bosh"],
                ["Chorsu", 7, "qo'shiq"]]:
        ws.append(row)
    ws.add_table(Table(displayName="Jadval1", ref="A1:C3"))
    ws["E6"] = "=COUNTA(Jadval1[Ko''cha])"
    ws["A2"].comment = Comment("Bu ma'lumot to'g'ri", "Muharrir")
    ws.oddHeader.center.text = "Maktab hisoboti: choy"
    ws.oddFooter.left.text = "Toshkent shahri"
    chart = BarChart()
    chart.title = "Choy narxi"
    chart.add_data(Reference(ws, min_col=2, min_row=1, max_row=3), titles_from_data=True)
    ws.add_chart(chart, "E2")
    buffer = io.BytesIO()
    wb.save(buffer)
    return rewrite_zip(buffer.getvalue(), lambda name, data: data)


def broken():
    return rewrite_zip(unchanged(), lambda name, data: data.replace(b"</w:body>", b"</w:bod>")
                       if name == "word/document.xml" else data)


def bomb():
    """A small package whose document part expands to 12 MiB of spaces."""
    body = (f'<w:document {W}><w:body><w:p><w:r><w:t>shahar</w:t></w:r></w:p>'
            + " " * (12 << 20) + "</w:body></w:document>")
    return rewrite_zip(unchanged(), lambda name, data: body.encode()
                       if name == "word/document.xml" else data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures")
    os.makedirs(out, exist_ok=True)
    for name, make in [("letter.docx", letter), ("unchanged.docx", unchanged),
                       ("sheet.xlsx", sheet), ("broken.docx", broken), ("bomb.docx", bomb),
                       ("code.docx", code), ("prefixed.docx", prefixed),
                       ("tables.xlsx", tables)]:
        data = make()
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
