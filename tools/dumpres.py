#!/usr/bin/env python3
"""Print what a compiled resource file (.res, as windres -O res writes it) holds.

Used to check our resource scripts after a change: the strings as the
plug-ins will load them (UTF-16, escapes turned into real characters), the
dialog templates control by control, the version resource, pictures, icons
and the manifest.

  tools/dumpres.py FILE.res               everything, decoded
  tools/dumpres.py --list FILE.res        one line per resource
  tools/dumpres.py --json FILE.res        decoded, as JSON (for scripts)

Texts are printed as JSON strings, so a real line feed shows as \\n and a
backslash as \\\\. Standard library only. Every length in the file is checked
against the bytes that are really there; a damaged file stops the dump with
a message naming the resource and offset.
"""

import json
import struct
import sys

RT_NAMES = {
    1: "CURSOR", 2: "BITMAP", 3: "ICON", 4: "MENU", 5: "DIALOG", 6: "STRING",
    9: "ACCELERATOR", 10: "RCDATA", 12: "GROUP_CURSOR", 14: "GROUP_ICON",
    16: "VERSION", 24: "MANIFEST",
}
CLASS_ATOMS = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox",
               0x84: "ScrollBar", 0x85: "ComboBox"}
DS_SETFONT = 0x40
DS_SHELLFONT = 0x48


class BadResource(Exception):
    pass


class Reader:
    """Little-endian reads within one byte range; never past its end."""

    def __init__(self, data, pos=0, end=None, what="data"):
        self.data = data
        self.pos = pos
        self.end = len(data) if end is None else end
        self.what = what
        if self.end > len(data):
            raise BadResource("%s: claims %d bytes, only %d present" % (what, self.end, len(data)))

    def need(self, n):
        if n < 0 or self.pos + n > self.end:
            raise BadResource("%s: truncated at offset %d (need %d bytes, %d left)"
                              % (self.what, self.pos, n, self.end - self.pos))

    def unpack(self, fmt):
        size = struct.calcsize("<" + fmt)
        self.need(size)
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += size
        return values if len(values) > 1 else values[0]

    def bytes(self, n):
        self.need(n)
        b = self.data[self.pos:self.pos + n]
        self.pos += n
        return b

    def align(self, base=0, to=4):
        skip = (-(self.pos - base)) % to
        self.pos = min(self.pos + skip, self.end)

    def wstring(self):
        """NUL-terminated UTF-16LE text."""
        start = self.pos
        while True:
            self.need(2)
            if self.data[self.pos] == 0 and self.data[self.pos + 1] == 0:
                text = self.data[start:self.pos].decode("utf-16-le", "surrogatepass")
                self.pos += 2
                return text
            self.pos += 2

    def sz_or_ord(self):
        """A name that is either an ordinal (0xFFFF, number) or a text."""
        self.need(2)
        first = struct.unpack_from("<H", self.data, self.pos)[0]
        if first == 0xFFFF:
            self.pos += 2
            return self.unpack("H")
        return self.wstring()


# --------------------------------------------------------------------------
# The .res container.
# --------------------------------------------------------------------------

def read_res(data):
    """Split a .res image into (type, name, language, memory flags, data)."""
    entries = []
    pos = 0
    while pos < len(data):
        hdr = Reader(data, pos, what="resource header at %d" % pos)
        data_size, header_size = hdr.unpack("II")
        if header_size < 16:
            raise BadResource("resource header at %d: header size %d" % (pos, header_size))
        hdr = Reader(data, pos, pos + header_size, "resource header at %d" % pos)
        hdr.pos += 8
        rtype = hdr.sz_or_ord()
        name = hdr.sz_or_ord()
        hdr.align(pos)
        _data_version, flags, lang, _version, _chars = hdr.unpack("IHHII")
        body = Reader(data, pos + header_size, pos + header_size + data_size,
                      "resource %s/%s" % (rtype, name)).bytes(data_size)
        # The empty leading entry only marks the file as 32-bit.
        if not (rtype == 0 and name == 0 and data_size == 0):
            entries.append({"type": rtype, "name": name, "language": lang,
                            "flags": flags, "data": body})
        pos += header_size + data_size
        pos += (-pos) % 4
    return entries


def type_name(rtype):
    return RT_NAMES.get(rtype, str(rtype)) if isinstance(rtype, int) else rtype


# --------------------------------------------------------------------------
# Decoders by resource type.
# --------------------------------------------------------------------------

def decode_strings(entry):
    """A string block holds 16 counted UTF-16 strings; block n has ids 16(n-1)..16n-1."""
    r = Reader(entry["data"], what="string block %s" % entry["name"])
    first = (entry["name"] - 1) * 16
    strings = {}
    for i in range(16):
        count = r.unpack("H")
        if count:
            strings[first + i] = r.bytes(2 * count).decode("utf-16-le", "surrogatepass")
    return strings


def decode_dialog(entry):
    data = entry["data"]
    r = Reader(data, what="dialog %s" % entry["name"])
    ver, sig = r.unpack("HH")
    extended = ver == 1 and sig == 0xFFFF
    if extended:
        help_id, ex_style, style = r.unpack("III")
    else:
        r.pos = 0
        style, ex_style = r.unpack("II")
        help_id = 0
    count, x, y, cx, cy = r.unpack("Hhhhh")
    dlg = {"template": "DIALOGEX" if extended else "DIALOG", "style": style,
           "exstyle": ex_style, "help_id": help_id, "rect": [x, y, cx, cy]}
    dlg["menu"] = r.sz_or_ord()
    dlg["class"] = r.sz_or_ord()
    dlg["caption"] = r.wstring()
    if style & DS_SETFONT or (style & DS_SHELLFONT) == DS_SHELLFONT:
        if extended:
            size, weight, italic, charset = r.unpack("HHBB")
            dlg["font"] = {"size": size, "weight": weight, "italic": italic,
                           "charset": charset, "face": r.wstring()}
        else:
            dlg["font"] = {"size": r.unpack("H"), "face": r.wstring()}
    controls = []
    for _ in range(count):
        r.align()
        if extended:
            c_help, c_ex, c_style, x, y, cx, cy, cid = r.unpack("IIIhhhhI")
        else:
            c_style, c_ex, x, y, cx, cy, cid = r.unpack("IIhhhhH")
            c_help = 0
        cls = r.sz_or_ord()
        text = r.sz_or_ord()
        extra = r.unpack("H")
        r.bytes(extra)
        controls.append({"id": cid, "class": CLASS_ATOMS.get(cls, cls) if isinstance(cls, int) else cls,
                         "style": c_style, "exstyle": c_ex, "help_id": c_help,
                         "rect": [x, y, cx, cy],
                         "text": text if isinstance(text, str) else {"ordinal": text}})
    dlg["controls"] = controls
    return dlg


def decode_version(entry):
    data = entry["data"]

    def walk(pos, end):
        r = Reader(data, pos, end, "version node at %d" % pos)
        length, value_length, vtype = r.unpack("HHH")
        if length < 6 or pos + length > end:
            raise BadResource("version node at %d: length %d" % (pos, length))
        r.end = pos + length
        key = r.wstring()
        r.align()
        if vtype == 1:
            value = r.bytes(2 * value_length).decode("utf-16-le", "surrogatepass").rstrip("\0")
        else:
            value = r.bytes(value_length)
        r.align()
        children = []
        while r.pos < r.end:
            child, nxt = walk(r.pos, r.end)
            children.append(child)
            r.pos = nxt
            r.align()
        return {"key": key, "value": value, "children": children}, pos + length

    root, _ = walk(0, len(data))
    out = {"key": root["key"]}
    fixed = root["value"]
    if len(fixed) >= 52:
        f = struct.unpack_from("<13I", fixed)
        if f[0] != 0xFEEF04BD:
            raise BadResource("version: fixed information signature %08X" % f[0])
        out["file_version"] = "%d.%d.%d.%d" % (f[2] >> 16, f[2] & 0xFFFF, f[3] >> 16, f[3] & 0xFFFF)
        out["product_version"] = "%d.%d.%d.%d" % (f[4] >> 16, f[4] & 0xFFFF, f[5] >> 16, f[5] & 0xFFFF)
        out["file_os"] = "%08X" % f[8]
        out["file_type"] = f[9]
    for child in root["children"]:
        if child["key"] == "StringFileInfo":
            out["string_tables"] = {t["key"]: {s["key"]: s["value"] for s in t["children"]}
                                    for t in child["children"]}
        elif child["key"] == "VarFileInfo":
            for var in child["children"]:
                raw = var["value"]
                pairs = [struct.unpack_from("<HH", raw, i) for i in range(0, len(raw) - 3, 4)]
                out[var["key"].lower()] = ["%04X %d" % p for p in pairs]
    return out


def decode_bitmap(entry):
    r = Reader(entry["data"], what="bitmap %s" % entry["name"])
    size, width, height, planes, bits, compression, image, _xr, _yr, used, _imp = r.unpack("IiiHHIIiiII")
    colours = used or ((1 << bits) if bits <= 8 else 0)
    stride = (width * bits + 31) // 32 * 4
    needed = size + 4 * colours + stride * abs(height)
    if compression == 0 and needed > len(entry["data"]):
        raise BadResource("bitmap %s: needs %d bytes, has %d" % (entry["name"], needed, len(entry["data"])))
    return {"width": width, "height": height, "bits": bits, "compression": compression,
            "palette": colours, "bytes": len(entry["data"])}


def decode_group_icon(entry):
    r = Reader(entry["data"], what="icon group %s" % entry["name"])
    _reserved, kind, count = r.unpack("HHH")
    images = []
    for _ in range(count):
        w, h, colours, _res, planes, bits, size, icon_id = r.unpack("BBBBHHIH")
        images.append({"width": w, "height": h, "colours": colours, "planes": planes,
                       "bits": bits, "bytes": size, "icon": icon_id})
    return {"kind": kind, "images": images}


def decode_icon(entry):
    r = Reader(entry["data"], what="icon %s" % entry["name"])
    _size, width, height, _planes, bits = r.unpack("IiiHH")
    return {"width": width, "height": height // 2, "bits": bits, "bytes": len(entry["data"])}


def decode(entry):
    t = entry["type"]
    if t == 6:
        return decode_strings(entry)
    if t == 5:
        return decode_dialog(entry)
    if t == 16:
        return decode_version(entry)
    if t == 2:
        return decode_bitmap(entry)
    if t == 14:
        return decode_group_icon(entry)
    if t == 3:
        return decode_icon(entry)
    if t == 24:
        return entry["data"].decode("utf-8")
    return {"bytes": len(entry["data"])}


# --------------------------------------------------------------------------
# Output.
# --------------------------------------------------------------------------

def text(s):
    return json.dumps(s, ensure_ascii=False)


def print_entry(entry, decoded):
    head = "%s %s lang %04X" % (type_name(entry["type"]), entry["name"], entry["language"])
    t = entry["type"]
    if t == 6:
        for sid, s in sorted(decoded.items()):
            print("string %d lang %04X: %s" % (sid, entry["language"], text(s)))
    elif t == 5:
        d = decoded
        font = d.get("font", {})
        print("%s: %s %s style %08X exstyle %08X at %s caption %s font %s %s" % (
            head, d["template"], "x".join(map(str, d["rect"][2:])), d["style"], d["exstyle"],
            ",".join(map(str, d["rect"][:2])), text(d["caption"]),
            font.get("size"), text(font.get("face", ""))))
        print("  %d controls" % len(d["controls"]))
        for c in d["controls"]:
            print("  control %5d %-8s style %08X exstyle %08X rect %s text %s" % (
                c["id"], c["class"], c["style"], c["exstyle"],
                ",".join(map(str, c["rect"])),
                text(c["text"]) if isinstance(c["text"], str) else "#%d" % c["text"]["ordinal"]))
    elif t == 16:
        d = decoded
        print("%s: file %s product %s os %s type %d translation %s" % (
            head, d.get("file_version"), d.get("product_version"), d.get("file_os"),
            d.get("file_type", -1), " ".join(d.get("translation", []))))
        for block, values in sorted(d.get("string_tables", {}).items()):
            for k, v in values.items():
                print("  %s %s = %s" % (block, k, text(v)))
    elif t == 24:
        print("%s:" % head)
        for line in decoded.splitlines():
            print("  " + line)
    else:
        print("%s: %s" % (head, json.dumps(decoded, sort_keys=True)))


def main(argv):
    mode = "full"
    files = []
    for a in argv[1:]:
        if a in ("--list", "--json"):
            mode = a[2:]
        elif a.startswith("-"):
            sys.stderr.write(__doc__)
            return 2
        else:
            files.append(a)
    if not files:
        sys.stderr.write(__doc__)
        return 2
    status = 0
    for path in files:
        with open(path, "rb") as f:
            data = f.read()
        try:
            entries = read_res(data)
            if mode == "list":
                for e in entries:
                    print("%-10s %-6s lang %04X %7d bytes" % (type_name(e["type"]), e["name"],
                                                               e["language"], len(e["data"])))
            elif mode == "json":
                out = []
                for e in entries:
                    d = decode(e)
                    if isinstance(d, dict) and e["type"] == 6:
                        d = {str(k): v for k, v in d.items()}
                    out.append({"type": type_name(e["type"]), "name": e["name"],
                                "language": e["language"], "decoded": d})
                print(json.dumps(out, ensure_ascii=False, indent=1, default=lambda b: b.hex()))
            else:
                for e in entries:
                    print_entry(e, decode(e))
        except BadResource as exc:
            sys.stderr.write("%s: %s\n" % (path, exc))
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
