#!/usr/bin/env python3
"""Makes an EPUB 3 book for the end-to-end tests: make_epub.py OUT.epub LABEL=PAGE...

Each PAGE (an XHTML or HTML file in Shift_JIS or UTF-8) becomes one content document in UTF-8,
its charset declarations saying so, in the order given; the navigation document lists each
under its LABEL."""
import sys
import zipfile

out, *documents = sys.argv[1:]
items, refs, links = [], [], []
with zipfile.ZipFile(out, "w") as book:
    book.writestr(zipfile.ZipInfo("mimetype"), "application/epub+zip")
    book.writestr("META-INF/container.xml",
                  '<?xml version="1.0"?><container version="1.0" '
                  'xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles>'
                  '<rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/>'
                  '</rootfiles></container>', zipfile.ZIP_DEFLATED)
    for n, entry in enumerate(documents):
        label, path = entry.split("=", 1)
        raw = open(path, "rb").read()
        try:
            text = raw.decode("utf-8")
        except UnicodeDecodeError:
            text = raw.decode("cp932")
        for name in ("Shift_JIS", "shift_jis"):
            text = text.replace(name, "UTF-8")
        book.writestr(f"OEBPS/text/p{n}.xhtml", text.encode("utf-8"), zipfile.ZIP_DEFLATED)
        items.append(f'<item id="p{n}" href="text/p{n}.xhtml" media-type="application/xhtml+xml"/>')
        refs.append(f'<itemref idref="p{n}"/>')
        links.append(f'<li><a href="text/p{n}.xhtml">{label}</a></li>')
    items.append('<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>')
    book.writestr("OEBPS/content.opf",
                  '<?xml version="1.0" encoding="UTF-8"?><package xmlns="http://www.idpf.org/2007/opf" '
                  'version="3.0"><metadata xmlns:dc="http://purl.org/dc/elements/1.1/">'
                  '<dc:title>試験の本</dc:title><dc:creator>試験 著者</dc:creator></metadata>'
                  f'<manifest>{"".join(items)}</manifest><spine>{"".join(refs)}</spine></package>',
                  zipfile.ZIP_DEFLATED)
    book.writestr("OEBPS/nav.xhtml",
                  '<?xml version="1.0" encoding="UTF-8"?><html xmlns="http://www.w3.org/1999/xhtml" '
                  'xmlns:epub="http://www.idpf.org/2007/ops"><head><title>目次</title></head><body>'
                  f'<nav epub:type="toc"><ol>{"".join(links)}</ol></nav></body></html>',
                  zipfile.ZIP_DEFLATED)
