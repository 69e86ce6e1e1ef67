#!/usr/bin/python3
"""What a Pocket PC's installer reads of the device build's CAB, read back
apart from our own code: cabextract (a reader nobody here wrote) unpacks it,
and the .000 install script is read here afresh from the public description
of the format (the "MSCE" header of 100 bytes, then the STRINGS, DIRS, FILES,
REGHIVES and REGKEYS sections), not through tools/cab.

  /usr/bin/python3 tests/device/check_cab.py CAB ITEM_DLL SETUP_DLL

Checks: the StrongARM processor (2577), Windows CE 3.0 or later, the item
library installed as \\Windows\\crestitem.dll and byte for byte ITEM_DLL, the
setup library as the member numbered 999 and byte for byte SETUP_DLL, and
the Today item's registration with its DLL value \\Windows\\crestitem.dll.
"""
import os
import struct
import subprocess
import sys
import tempfile

ROOTS = {1: "HKCR", 2: "HKCU", 3: "HKLM", 4: "HKU"}
TODAY_KEY = "HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune"


def u16(b, at):
    return struct.unpack_from("<H", b, at)[0]


def u32(b, at):
    return struct.unpack_from("<I", b, at)[0]


def read_script(b):
    if b[:4] != b"MSCE" or u32(b, 8) != len(b):
        raise ValueError("no MSCE header, or a length that is not the file's")
    s = {"processor": u32(b, 20), "min": (u32(b, 24), u32(b, 28)), "max": (u32(b, 32), u32(b, 36))}
    counts = [u16(b, 48 + 2 * i) for i in range(6)]
    offsets = [u32(b, 60 + 4 * i) for i in range(6)]

    def entries(section, parse):
        at, out = offsets[section], []
        for _ in range(counts[section]):
            at, entry = parse(at)
            out.append(entry)
        return out

    def string(at):
        n = u16(b, at + 2)
        return at + 4 + n, (u16(b, at), b[at + 4:at + 4 + n].rstrip(b"\0").decode("latin-1"))

    def id_list(at):
        n = u16(b, at + 2)
        ids = [u16(b, at + 4 + 2 * i) for i in range(n // 2)]
        return at + 4 + n, (u16(b, at), [i for i in ids if i])

    def file(at):
        n = u16(b, at + 10)
        name = b[at + 12:at + 12 + n].rstrip(b"\0").decode("latin-1")
        return at + 12 + n, (u16(b, at), u16(b, at + 2), name)

    def hive(at):
        n = u16(b, at + 6)
        ids = [u16(b, at + 8 + 2 * i) for i in range(n // 2)]
        return at + 8 + n, (u16(b, at), u16(b, at + 2), [i for i in ids if i])

    def key(at):
        n = u16(b, at + 10)
        body = b[at + 12:at + 12 + n]
        name, _, data = body.partition(b"\0")
        return at + 12 + n, (u16(b, at + 2), u32(b, at + 6), name.decode("latin-1"), data)

    strings = dict(entries(0, string))
    dirs = {i: "\\".join(strings[x] for x in path) for i, path in entries(1, id_list)}
    s["files"] = [(dirs.get(d, "?"), name, fid) for fid, d, name in entries(2, file)]
    hives = {i: ROOTS.get(root, "?") + "\\" + "\\".join(strings[x] for x in path)
             for i, root, path in entries(3, hive)}
    s["values"] = {(hives[h], name): (kind, data) for h, kind, name, data in entries(4, key)}
    return s


def main():
    cab, item, setup = sys.argv[1:4]
    problems = []
    with tempfile.TemporaryDirectory() as work:
        subprocess.run(["cabextract", "-q", "-d", work, cab], check=True)
        members = {name.rsplit(".", 1)[-1]: os.path.join(work, name) for name in os.listdir(work)}
        script = read_script(open(members["000"], "rb").read())

        def same(member, library):
            return member in members and open(members[member], "rb").read() == open(library, "rb").read()

        if script["processor"] != 2577:
            problems.append("processor %d, not the StrongARM (2577)" % script["processor"])
        if script["min"] != (3, 0):
            problems.append("installs from Windows CE %d.%d, not 3.0" % script["min"])
        installed = {(d, n): f for d, n, f in script["files"]}
        fid = installed.get(("%CE2%", "crestitem.dll"))
        if fid is None:
            problems.append("no crestitem.dll to %CE2% (\\Windows) among " + repr(script["files"]))
        elif not same("%03d" % fid, item):
            problems.append("member %03d is not %s byte for byte" % (fid, item))
        if not same("999", setup):
            problems.append("no member .999 holding %s byte for byte" % setup)
        kind, data = script["values"].get((TODAY_KEY, "DLL"), (None, b""))
        if kind != 0 or data.rstrip(b"\0").decode("latin-1") != "\\Windows\\crestitem.dll":
            problems.append("the Today item's DLL value is %r (type %r)" % (data, kind))
    for p in problems:
        print("FAILED: " + p)
    print("%s: %d members, processor %d, Windows CE %d.%d and later, %d files, %d registry values%s"
          % (os.path.basename(cab), len(members), script["processor"], script["min"][0], script["min"][1],
             len(script["files"]), len(script["values"]), "" if problems else ": as a Pocket PC needs it"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
