#!/usr/bin/env python3
"""The independent reading behind bench/recall.sh: which addresses a file
tree holds, found without mailsift, and how a mailsift listing compares.

Usage:
  recall_truth.py truth CORPUS OUT     write the addresses of CORPUS (a file
                                       or a folder, links followed) to OUT as
                                       sorted, distinct "ADDRESS<TAB>GROUP"
                                       lines, GROUP being the first name below
                                       CORPUS the address was found under;
                                       what was decoded goes to stderr
  recall_truth.py fingerprint CORPUS   print a digest of the names, sizes and
                                       times of CORPUS's files (the key of the
                                       cached truth)
  recall_truth.py score TRUTH LISTS [GROUP]
                                       compare the output of
                                       `mailsift scan --list=both` (LISTS)
                                       with TRUTH, or with its GROUP lines:
                                       one line "TRUTH FOUND NOT-IN-TRUTH
                                       ONLY-LIST2 LIST1 LIST2" (counts; a List2
                                       entry counts without closing dots),
                                       then "extra<TAB>ADDRESS" and
                                       "missed<TAB>ADDRESS" lines, 10 of each
                                       at most, spread over the sorted lists
  recall_truth.py containers OUTDIR SEED TEXTS
                                       make the container set in OUTDIR: real
                                       texts of this machine that hold
                                       addresses, each packed in every kind of
                                       container or encoding, one folder per
                                       kind (below)

Every file is decoded by what its first bytes say, nested up to 8 deep:
gzip, bzip2 and xz by Python's own modules (zcat, bzcat and xzcat do the
same), zstd by `zstdcat`, zip files (and so jar, docx, odt, epub) by
zipfile, with the text of Word and OpenDocument paragraphs joined across
runs and spans, tar by tarfile, PDF by `pdftotext` (Debian's poppler-utils;
without it a PDF is read as stored), UTF-16 (with a byte order mark, or
nearly every other byte zero) by `iconv`, and mail with MIME parts by the
email package, which undoes base64 and quoted-printable. The text that is
left has its troff escapes removed when it looks like a manual page (the
Python form of the sed program in TROFF_SED below), and its HTML character
references resolved by html.unescape. Addresses are then what the pattern
[A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,} matches (as grep -o would),
lower-cased, and kept when the last name is a top-level domain of the ICANN
section of Debian's public suffix list
(/usr/share/publicsuffix/public_suffix_list.dat, package publicsuffix).

The container set is made of TEXTS files (plain, valid UTF-8, 512 bytes to
64 KiB, holding at least one address that the truth counts) drawn with SEED
from /usr/share/doc, /usr/share/common-licenses, the Perl and the Python
libraries, the same number from each where they have enough, in name order
before the draw: the same machine and seed give the same texts. The folders:

  plain      the texts as they are
  gz, zst    one compressed file per text (gzip, zstd)
  zip, jar   archives of ten texts each (a jar with a manifest first)
  tar.gz, tar.xz, tar.bz2
             archives of ten texts each (tarfile's GNU format, fixed owner
             and times, then gzip -n, xz or bzip2)
  nested     tar.gz archives of ten texts, each text inside as a .gz file or
             inside a zip file
  docx, odt  one document per text, made with zipfile: minimal valid office
             XML, every line a paragraph split into runs (spans) at seeded
             places, in the middle of addresses too
  epub       one book per text (a minimal EPUB 3: mimetype, container,
             package document, one XHTML chapter)
  utf16le, utf16bom
             the text as UTF-16LE (iconv), without and with a byte order mark
  html       the text in a <pre> element, "<", ">" and "&" escaped and every
             "@" written as the character reference &#64; (one in four as &#x40;)
  eml-base64, eml-qp
             a MIME message (email package) with a short plain part and the
             text as a second part in base64 or quoted-printable
  pdf        PDFs of ten texts each (enscript, then ps2pdf), when both
             programs are there; otherwise the folder is left out (stderr)

Standard library only, besides the programs named.
"""

import bz2
import email
import email.message
import email.policy
import gzip
import hashlib
import html
import io
import lzma
import os
import random
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import xml.etree.ElementTree as ET
import zipfile

PUBLIC_SUFFIX_LIST = "/usr/share/publicsuffix/public_suffix_list.dat"
LOCAL = "A-Za-z0-9._%+-"
PATTERN = "[" + LOCAL + "]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,}"
# The pattern itself, for a match that starts where the last one ended, and
# the same starting a run of local-part characters only: a later start in the
# same run reaches the same "@" and the same domain, so it matches exactly
# when the run's start does. Together they give grep -o's matches in linear
# time on long runs of letters (base64, hexadecimal dumps).
PLAIN_RE = re.compile(PATTERN)
RUN_START_RE = re.compile("(?<![" + LOCAL + "])" + PATTERN)

MAX_DEPTH = 8  # containers inside containers
MAX_MEMBER = 512 << 20  # bytes of one decoded member

W_NS = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"
TEXT_NS = "{urn:oasis:names:tc:opendocument:xmlns:text:1.0}"

# The troff escapes that matter around addresses, as a sed program would
# remove them (man pages write `user\-name\@example\&.org` and `\fBuser@host\fR`):
#   sed -e 's/\\f\[[^]]*\]//g; s/\\f(..//g; s/\\f.//g; s/\\s[-+]\?[0-9]//g' \
#       -e 's/\\(at/@/g; s/\\\[at\]/@/g; s/\\e/\\\\/g' \
#       -e 's/\\\([-.@]\)/\1/g; s/\\[&%:|^,\/]//g'
TROFF_SED = [
    (re.compile(r"\\f\[[^]]*\]"), ""),
    (re.compile(r"\\f\(.."), ""),
    (re.compile(r"\\f."), ""),
    (re.compile(r"\\s[-+]?[0-9]"), ""),
    (re.compile(r"\\\(at"), "@"),
    (re.compile(r"\\\[at\]"), "@"),
    (re.compile(r"\\e"), r"\\"),
    (re.compile(r"\\([-.@])"), r"\1"),
    (re.compile(r"\\[&%:|^,/]"), ""),
]
TROFF_RE = re.compile(rb"^(?:\.TH|\.Dd|\.SH|\.\\\"|'\\\")", re.M)
HEADER_LINE_RE = re.compile(rb"^(?:From [^\n]*|[!-9;-~]+:[^\n]*|[ \t][^\n]*)$")
MIME_HEADER_RE = re.compile(rb"^(?:mime-version|content-transfer-encoding):", re.I | re.M)


def icann_top_level_domains(path=PUBLIC_SUFFIX_LIST):
    """The last names of the rules in the ICANN section, lower case."""
    names = set()
    inside = False
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("// ===BEGIN ICANN DOMAINS==="):
                inside = True
            elif line.startswith("// ===END ICANN DOMAINS==="):
                break
            elif inside and line and not line.startswith("//"):
                name = line.lstrip("!*.").split(".")[-1].lower()
                if name.isascii() and name.isalpha():
                    names.add(name)
    if not names:
        sys.exit(f"recall_truth: no ICANN names in {path}")
    return names


def pattern_matches(text):
    """What the pattern matches in `text`, left to right, as grep -o does."""
    pos = 0
    while True:
        m = PLAIN_RE.match(text, pos) or RUN_START_RE.search(text, pos + 1 if pos else 0)
        if not m:
            return
        yield m.group()
        pos = m.end()


def addresses(text, tlds):
    if "@" not in text:
        return
    for match in pattern_matches(text):
        address = match.lower()
        if address.rsplit(".", 1)[1] in tlds:
            yield address


def run_tool(argv, data):
    try:
        done = subprocess.run(argv, input=data, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    except OSError:
        return None
    return done.stdout if done.returncode == 0 or done.stdout else None


class Reader:
    """Turns a file's bytes into the texts a person would read in it."""

    def __init__(self):
        self.counts = {}
        self.has_pdftotext = shutil.which("pdftotext") is not None
        self.has_zstdcat = shutil.which("zstdcat") is not None

    def count(self, what):
        self.counts[what] = self.counts.get(what, 0) + 1

    def texts(self, data, depth=0):
        if depth < MAX_DEPTH:
            decoded = self.decode(data, depth)
            if decoded is not None:
                yield from decoded
                return
        yield self.plain_text(data)

    def decode(self, data, depth):
        """The texts of `data` when a decoder applies, else None."""
        head = data[:8]
        try:
            if head.startswith(b"\x1f\x8b"):
                return self.nested("gzip", gzip.decompress(data), depth)
            if head.startswith(b"BZh"):
                return self.nested("bzip2", bz2.decompress(data), depth)
            if head.startswith(b"\xfd7zXZ\x00"):
                return self.nested("xz", lzma.decompress(data), depth)
            if head.startswith(b"\x28\xb5\x2f\xfd"):
                if not self.has_zstdcat:
                    self.count("zstd (no zstdcat: read as stored)")
                    return None
                out = run_tool(["zstdcat", "-q"], data)
                return None if out is None else self.nested("zstd", out, depth)
            if head.startswith((b"PK\x03\x04", b"PK\x05\x06")):
                return self.zip_texts(data, depth)
            if len(data) > 262 and data[257:262] == b"ustar":
                return self.tar_texts(data, depth)
            if head.startswith(b"%PDF-"):
                return self.pdf_text(data)
            utf16 = utf16_kind(data)
            if utf16:
                out = run_tool(["iconv", "-c", "-f", utf16, "-t", "UTF-8"], data)
                if out is not None:
                    self.count("UTF-16")
                    return [self.plain_text(out)]
            if looks_like_mail(data):
                return self.mail_texts(data, depth)
        except (OSError, EOFError, ValueError, zipfile.BadZipFile, tarfile.TarError, lzma.LZMAError, ET.ParseError):
            self.count("undecodable (read as stored)")
        return None

    def nested(self, kind, data, depth):
        self.count(kind)
        return list(self.texts(data[:MAX_MEMBER], depth + 1))

    def zip_texts(self, data, depth):
        texts = []
        with zipfile.ZipFile(io.BytesIO(data)) as archive:
            self.count("zip")
            names = set(archive.namelist())
            opendocument = "mimetype" in names and archive.read("mimetype").startswith(b"application/vnd.oasis")
            for info in archive.infolist():
                if info.is_dir() or info.flag_bits & 0x1 or info.file_size > MAX_MEMBER:
                    continue
                member = archive.read(info)
                paragraphs = office_paragraphs(info.filename, member, opendocument)
                if paragraphs is not None:
                    self.count("office XML part")
                    texts.append(self.plain_text(paragraphs.encode("utf-8")))
                else:
                    texts.extend(self.texts(member, depth + 1))
        return texts

    def tar_texts(self, data, depth):
        texts = []
        with tarfile.open(fileobj=io.BytesIO(data), mode="r:") as archive:
            self.count("tar")
            for info in archive:
                if info.isfile() and info.size <= MAX_MEMBER:
                    member = archive.extractfile(info)
                    if member is not None:
                        texts.extend(self.texts(member.read(), depth + 1))
        return texts

    def pdf_text(self, data):
        if not self.has_pdftotext:
            self.count("PDF (no pdftotext: read as stored)")
            return None
        with tempfile.NamedTemporaryFile(suffix=".pdf") as f:
            f.write(data)
            f.flush()
            out = run_tool(["pdftotext", "-q", "-enc", "UTF-8", f.name, "-"], b"")
        if out is None:
            self.count("PDF pdftotext could not read (read as stored)")
            return None
        self.count("PDF")
        return [self.plain_text(out)]

    def mail_texts(self, data, depth):
        message = email.message_from_bytes(data, policy=email.policy.compat32)
        self.count("mail")
        end = data.find(b"\n\n")
        texts = [self.plain_text(data if end < 0 else data[:end])]
        for part in message.walk():
            if part.is_multipart():
                continue
            payload = part.get_payload(decode=True)
            if payload:
                texts.extend(self.texts(payload, depth + 1))
        return texts

    def plain_text(self, data):
        text = data.decode("latin-1")
        if TROFF_RE.search(data, 0, 4096):
            self.count("troff")
            for pattern, replacement in TROFF_SED:
                text = pattern.sub(replacement, text)
        if "&" in text:
            text = html.unescape(text)
        return text


def utf16_kind(data):
    """iconv's name for the UTF-16 form of `data`, or None."""
    if data.startswith((b"\xff\xfe", b"\xfe\xff")):
        return "UTF-16"
    sample = data[:4096]
    if len(sample) < 64 or len(sample) % 2:
        return None
    even_zero = sample[0::2].count(0) / (len(sample) / 2)
    odd_zero = sample[1::2].count(0) / (len(sample) / 2)
    if odd_zero > 0.8 and even_zero < 0.05:
        return "UTF-16LE"
    if even_zero > 0.8 and odd_zero < 0.05:
        return "UTF-16BE"
    return None


def looks_like_mail(data):
    """A header block of mail lines that speaks of MIME, then a blank line."""
    end = data.find(b"\n\n", 0, 65536)
    if end < 0:
        return False
    block = data[:end].replace(b"\r\n", b"\n")
    if not MIME_HEADER_RE.search(block):
        return False
    return all(HEADER_LINE_RE.match(line) for line in block.split(b"\n"))


def office_paragraphs(name, member, opendocument):
    """The paragraphs of a Word or OpenDocument part, one per line, or None."""
    if not name.endswith(".xml"):
        return None
    if b"<w:t" in member and W_NS[1:-1].encode() in member:
        root = ET.fromstring(member)
        return "\n".join(word_paragraph(p) for p in root.iter(W_NS + "p"))
    if opendocument and name.rsplit("/", 1)[-1] in ("content.xml", "styles.xml"):
        root = ET.fromstring(member)
        lines = []
        for element in root.iter():
            if element.tag in (TEXT_NS + "p", TEXT_NS + "h"):
                lines.append(opendocument_text(element, top=True))
        return "\n".join(lines)
    return None


def word_paragraph(paragraph):
    parts = []
    for element in paragraph.iter():
        if element.tag == W_NS + "t":
            parts.append(element.text or "")
        elif element.tag in (W_NS + "tab", W_NS + "br", W_NS + "cr"):
            parts.append(" ")
    return "".join(parts)


def opendocument_text(element, top=False):
    """The text of a paragraph, spans joined; spaces, tabs and breaks as a blank."""
    if not top and element.tag in (TEXT_NS + "p", TEXT_NS + "h"):
        return ""  # a nested paragraph is read on its own
    if element.tag in (TEXT_NS + "s", TEXT_NS + "tab", TEXT_NS + "line-break"):
        return " " + (element.tail or "")
    parts = [element.text or ""]
    for child in element:
        parts.append(opendocument_text(child))
    if not top:
        parts.append(element.tail or "")
    return "".join(parts)


def corpus_files(corpus):
    """(path, group) of every regular file of CORPUS, links followed, each
    folder once, in name order."""
    if not os.path.isdir(corpus):
        yield corpus, os.path.basename(corpus)
        return
    seen = set()
    for top, folders, files in os.walk(corpus, followlinks=True):
        try:
            st = os.stat(top)
        except OSError:
            folders[:] = []
            continue
        if (st.st_dev, st.st_ino) in seen:
            folders[:] = []
            continue
        seen.add((st.st_dev, st.st_ino))
        folders.sort()
        relative = os.path.relpath(top, corpus)
        for name in sorted(files):
            path = os.path.join(top, name)
            if os.path.isfile(path):
                group = name if relative == "." else relative.split(os.sep, 1)[0]
                yield path, group


def command_truth(corpus, out):
    tlds = icann_top_level_domains()
    reader = Reader()
    found = set()
    files = size = 0
    for path, group in corpus_files(corpus):
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            reader.count("unreadable")
            continue
        files += 1
        size += len(data)
        for text in reader.texts(data):
            for address in addresses(text, tlds):
                found.add((address, group))
    with open(out, "w", encoding="ascii") as f:
        for address, group in sorted(found):
            f.write(f"{address}\t{group}\n")
    distinct = len({address for address, _ in found})
    decoded = ", ".join(f"{what} {n}" for what, n in sorted(reader.counts.items()))
    print(f"truth of {corpus}: {files} files, {size} bytes, {distinct} addresses; decoded: {decoded or 'nothing'}",
          file=sys.stderr)


def command_fingerprint(corpus):
    digest = hashlib.sha256()
    for path, _ in corpus_files(corpus):
        try:
            st = os.stat(path)
        except OSError:
            continue
        digest.update(f"{path}\0{st.st_size}\0{st.st_mtime_ns}\n".encode("utf-8", "surrogateescape"))
    print(digest.hexdigest()[:16])


def spread_sample(values, count=10):
    """`count` entries spread evenly over the sorted values."""
    values = sorted(values)
    if len(values) <= count:
        return values
    return [values[i * len(values) // count] for i in range(count)]


def command_score(truth_path, lists_path, group=None):
    truth = set()
    with open(truth_path, encoding="ascii") as f:
        for line in f:
            address, line_group = line.rstrip("\n").split("\t")
            if group is None or line_group == group:
                truth.add(address)
    list1, list2 = set(), set()
    current = list1
    with open(lists_path, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            entry = line.rstrip("\n")
            if not entry and current is list1:
                current = list2
            elif entry:
                current.add(entry)
    found = truth & list1
    extra = list1 - truth
    missed = truth - list1
    # A candidate that kept a sentence's closing dot still holds the address.
    only_list2 = missed & {entry.rstrip(".") for entry in list2}
    # truth found not-in-truth only-in-List2 List1 List2
    print(len(truth), len(found), len(extra), len(only_list2), len(list1), len(list2))
    for address in spread_sample(extra):
        print("extra\t" + address.encode("utf-8", "surrogateescape").decode("utf-8", "replace"))
    for address in spread_sample(missed):
        print("missed\t" + address)


SOURCES = [
    ("doc", ["/usr/share/doc"]),
    ("licenses", ["/usr/share/common-licenses"]),
    ("perl", ["/usr/share/perl", "/usr/share/perl5", "/usr/lib/x86_64-linux-gnu/perl5",
              "/usr/lib/x86_64-linux-gnu/perl", "/usr/lib/x86_64-linux-gnu/perl-base"]),
    ("python", ["/usr/lib/python3", "/usr/lib/python3.11", "/usr/share/doc/python3"]),
]
GROUP = 10  # texts per archive
FIXED_TIME = (2020, 1, 1, 0, 0, 0)
FIXED_EPOCH = 1577836800


def candidate_texts(tlds):
    """Per source, the sorted paths of files fit to be drawn."""
    pools = []
    for label, roots in SOURCES:
        paths = set()
        for root in roots:
            if not os.path.isdir(root):
                continue
            for top, folders, files in os.walk(root):
                folders.sort()
                for name in files:
                    path = os.path.join(top, name)
                    if os.path.islink(path) or not os.path.isfile(path):
                        continue
                    size = os.path.getsize(path)
                    if 512 <= size <= 65536:
                        paths.add(path)
        fit = []
        for path in sorted(paths):
            with open(path, "rb") as f:
                data = f.read()
            if b"\0" in data or b"@" not in data or data[:2] == b"\x1f\x8b":
                continue
            try:
                text = data.decode("utf-8")
            except UnicodeDecodeError:
                continue
            if any(addresses(text, tlds)):
                fit.append(path)
        pools.append((label, fit))
    return pools


def draw(pools, count, rng):
    """`count` paths, the same number from each pool where it has enough."""
    shuffled = []
    for _, fit in pools:
        fit = list(fit)
        rng.shuffle(fit)
        shuffled.append(fit)
    chosen = []
    while len(chosen) < count and any(shuffled):
        for fit in shuffled:
            if fit and len(chosen) < count:
                chosen.append(fit.pop())
    return chosen


def member_name(path):
    return path.lstrip("/")


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def run(argv, data=None, env=None):
    return subprocess.run(argv, input=data, stdout=subprocess.PIPE, check=True, env=env).stdout


def zip_bytes(members, first=None):
    """A deflated zip of (name, bytes), `first` stored before them."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data in ([first] if first else []) + members:
            info = zipfile.ZipInfo(name, FIXED_TIME)
            # An EPUB's or OpenDocument's mimetype comes first and uncompressed.
            info.compress_type = zipfile.ZIP_STORED if name == "mimetype" else zipfile.ZIP_DEFLATED
            archive.writestr(info, data)
    return buffer.getvalue()


def tar_bytes(members):
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.GNU_FORMAT) as archive:
        for name, data in members:
            info = tarfile.TarInfo(name)
            info.size = len(data)
            info.mtime = FIXED_EPOCH
            info.mode = 0o644
            archive.addfile(info, io.BytesIO(data))
    return buffer.getvalue()


def xml_text(line):
    """A line as XML character data: no control characters, tabs as blanks."""
    line = "".join(c if c >= " " else " " for c in line.replace("\t", " "))
    return html.escape(line, quote=False)


def split_runs(line, rng):
    """The line in pieces of 1 to 24 characters."""
    pieces = []
    i = 0
    while i < len(line):
        n = rng.randint(1, 24)
        pieces.append(line[i:i + n])
        i += n
    return pieces


def docx_bytes(text, rng):
    w = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
    paragraphs = []
    for line in text.split("\n"):
        runs = "".join(f'<w:r><w:t xml:space="preserve">{xml_text(piece)}</w:t></w:r>'
                       for piece in split_runs(line, rng))
        paragraphs.append(f"<w:p>{runs}</w:p>")
    document = (f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                f'<w:document xmlns:w="{w}"><w:body>{"".join(paragraphs)}</w:body></w:document>')
    content_types = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/word/document.xml" '
        'ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
        '</Types>')
    rels = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" '
        'Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" '
        'Target="word/document.xml"/></Relationships>')
    return zip_bytes([("_rels/.rels", rels.encode()), ("word/document.xml", document.encode())],
                     first=("[Content_Types].xml", content_types.encode()))


def odt_bytes(text, rng):
    paragraphs = []
    for line in text.split("\n"):
        spans = "".join(f'<text:span text:style-name="T{rng.randint(1, 3)}">{xml_text(piece)}</text:span>'
                        for piece in split_runs(line, rng))
        paragraphs.append(f"<text:p>{spans}</text:p>")
    content = (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
        'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">'
        f'<office:body><office:text>{"".join(paragraphs)}</office:text></office:body>'
        '</office:document-content>')
    manifest = (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" '
        'manifest:version="1.2">'
        '<manifest:file-entry manifest:full-path="/" '
        'manifest:media-type="application/vnd.oasis.opendocument.text"/>'
        '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
        '</manifest:manifest>')
    return zip_bytes([("META-INF/manifest.xml", manifest.encode()), ("content.xml", content.encode())],
                     first=("mimetype", b"application/vnd.oasis.opendocument.text"))


def epub_bytes(text, number):
    container = (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">'
        '<rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/>'
        '</rootfiles></container>')
    package = (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">'
        '<metadata xmlns:dc="http://purl.org/dc/elements/1.1/">'
        f'<dc:identifier id="id">recall-{number:03d}</dc:identifier><dc:title>Text {number}</dc:title>'
        '<dc:language>en</dc:language><meta property="dcterms:modified">2020-01-01T00:00:00Z</meta>'
        '</metadata><manifest>'
        '<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>'
        '<item id="text" href="text.xhtml" media-type="application/xhtml+xml"/>'
        '</manifest><spine><itemref idref="text"/></spine></package>')
    nav = ('<?xml version="1.0" encoding="UTF-8"?>\n'
           '<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops">'
           '<head><title>Contents</title></head><body><nav epub:type="toc"><ol>'
           '<li><a href="text.xhtml">Text</a></li></ol></nav></body></html>')
    body = "".join(f"<p>{xml_text(line)}</p>\n" for line in text.split("\n"))
    chapter = ('<?xml version="1.0" encoding="UTF-8"?>\n'
               '<html xmlns="http://www.w3.org/1999/xhtml"><head><title>Text</title></head>'
               f'<body>\n{body}</body></html>')
    return zip_bytes([("META-INF/container.xml", container.encode()),
                      ("OEBPS/content.opf", package.encode()),
                      ("OEBPS/nav.xhtml", nav.encode()),
                      ("OEBPS/text.xhtml", chapter.encode())],
                     first=("mimetype", b"application/epub+zip"))


def html_bytes(text, rng):
    escaped = html.escape(text, quote=False)
    escaped = "".join("&#x40;" if c == "@" and rng.random() < 0.25 else "&#64;" if c == "@" else c
                      for c in escaped)
    return (f'<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>text</title></head>\n'
            f"<body><pre>\n{escaped}</pre></body></html>\n").encode("utf-8")


def mail_bytes(text, number, encoding):
    message = email.message.EmailMessage(policy=email.policy.default)
    message["From"] = "Recall Bench <recall-bench@example.org>"
    message["To"] = "readers@example.net"
    message["Subject"] = f"Text {number}"
    message["Date"] = "Wed, 01 Jan 2020 00:00:00 +0000"
    message.set_content("The text is attached.\n")
    message.add_attachment(text, subtype="plain", charset="utf-8", cte=encoding,
                           disposition="inline", filename=f"text-{number:03d}.txt")
    message.set_boundary(f"==recall-{number:03d}==")
    return message.as_bytes()


def build(out, seed, count):
    tlds = icann_top_level_domains()
    rng = random.Random(seed)
    pools = candidate_texts(tlds)
    chosen = draw(pools, count, rng)
    if not chosen:
        sys.exit("recall_truth: no text with an address found")
    by_source = ", ".join(f"{label} {sum(p in fit for p in chosen)}/{len(fit)}" for label, fit in pools)
    print(f"container set: {len(chosen)} texts drawn with seed {seed} (drawn/fit by source: {by_source})",
          file=sys.stderr)
    texts = []
    for path in chosen:
        with open(path, "rb") as f:
            texts.append((path, f.read()))
    groups = [texts[i:i + GROUP] for i in range(0, len(texts), GROUP)]

    def folder(kind):
        path = os.path.join(out, kind)
        os.makedirs(path)
        return path

    def name(number, path, suffix=""):
        return f"{number:03d}-{os.path.basename(path)}{suffix}"

    d = folder("plain")
    for n, (path, data) in enumerate(texts):
        write(os.path.join(d, name(n, path)), data)
    d = folder("gz")
    for n, (path, data) in enumerate(texts):
        write(os.path.join(d, name(n, path, ".gz")), gzip.compress(data, 9, mtime=0))
    d = folder("zst")
    for n, (path, data) in enumerate(texts):
        write(os.path.join(d, name(n, path, ".zst")), run(["zstd", "-q", "-c"], data))
    d = folder("zip")
    for n, group in enumerate(groups):
        write(os.path.join(d, f"{n:03d}.zip"), zip_bytes([(member_name(p), t) for p, t in group]))
    d = folder("jar")
    manifest = b"Manifest-Version: 1.0\r\nCreated-By: recall\r\n\r\n"
    for n, group in enumerate(groups):
        members = [(f"META-INF/LICENSE-{i}.txt" if i % 2 else f"docs/{i}-{os.path.basename(p)}", t)
                   for i, (p, t) in enumerate(group)]
        write(os.path.join(d, f"lib-{n:03d}.jar"), zip_bytes(members, first=("META-INF/MANIFEST.MF", manifest)))
    for kind, tool in (("tar.gz", ["gzip", "-n", "-c"]), ("tar.xz", ["xz", "-c"]),
                       ("tar.bz2", ["bzip2", "-c"])):
        d = folder(kind)
        for n, group in enumerate(groups):
            tar = tar_bytes([(member_name(p), t) for p, t in group])
            write(os.path.join(d, f"{n:03d}.{kind}"), run(tool, tar))
    d = folder("nested")
    for n, group in enumerate(groups):
        members = []
        for i, (p, t) in enumerate(group):
            if i % 2:
                members.append((member_name(p) + ".zip", zip_bytes([(os.path.basename(p), t)])))
            else:
                members.append((member_name(p) + ".gz", gzip.compress(t, mtime=0)))
        write(os.path.join(d, f"{n:03d}.tar.gz"), gzip.compress(tar_bytes(members), mtime=0))
    d = folder("docx")
    for n, (path, data) in enumerate(texts):
        write(os.path.join(d, name(n, path, ".docx")), docx_bytes(data.decode("utf-8"), rng))
    d = folder("odt")
    for n, (path, data) in enumerate(texts):
        write(os.path.join(d, name(n, path, ".odt")), odt_bytes(data.decode("utf-8"), rng))
    d = folder("epub")
    for n, (path, data) in enumerate(texts):
        write(os.path.join(d, name(n, path, ".epub")), epub_bytes(data.decode("utf-8"), n))
    d16 = folder("utf16le")
    d16bom = folder("utf16bom")
    for n, (path, data) in enumerate(texts):
        utf16 = run(["iconv", "-f", "UTF-8", "-t", "UTF-16LE"], data)
        write(os.path.join(d16, name(n, path, ".txt")), utf16)
        write(os.path.join(d16bom, name(n, path, ".txt")), b"\xff\xfe" + utf16)
    d = folder("html")
    for n, (path, data) in enumerate(texts):
        write(os.path.join(d, name(n, path, ".html")), html_bytes(data.decode("utf-8"), rng))
    for kind, encoding in (("eml-base64", "base64"), ("eml-qp", "quoted-printable")):
        d = folder(kind)
        for n, (path, data) in enumerate(texts):
            write(os.path.join(d, f"{n:03d}.eml"), mail_bytes(data.decode("utf-8"), n, encoding))
    if shutil.which("enscript") and shutil.which("ps2pdf"):
        d = folder("pdf")
        env = dict(os.environ, SOURCE_DATE_EPOCH=str(FIXED_EPOCH))
        for n, group in enumerate(groups):
            listing = b"\f".join(t for _, t in group)  # a form feed: a new page per text
            postscript = run(["enscript", "-q", "-B", "--word-wrap", "-f", "Courier8", "-X", "latin1",
                              "-o", "-"], listing, env)
            write(os.path.join(d, f"{n:03d}.pdf"), run(["ps2pdf", "-", "-"], postscript, env))
    else:
        print("container set: no pdf folder (enscript and ps2pdf are needed: "
              "apt-get install enscript ghostscript)", file=sys.stderr)


def main(argv):
    if len(argv) == 3 and argv[0] == "truth":
        command_truth(argv[1], argv[2])
    elif len(argv) == 2 and argv[0] == "fingerprint":
        command_fingerprint(argv[1])
    elif len(argv) in (3, 4) and argv[0] == "score":
        command_score(*argv[1:])
    elif len(argv) == 4 and argv[0] == "containers" and argv[2].isdigit() and argv[3].isdigit() and int(argv[3]):
        build(argv[1], int(argv[2]), int(argv[3]))
    else:
        sys.exit(__doc__.split("\n\n", 2)[1])


if __name__ == "__main__":
    main(sys.argv[1:])
