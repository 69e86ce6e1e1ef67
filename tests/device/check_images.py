#!/usr/bin/python3
"""What a Pocket PC needs of the device build's two DLLs, read back with
Debian's pefile (a reader nobody here wrote), and the code disassembled by
llvm-objdump where it is installed.

  /usr/bin/python3 tests/device/check_images.py BUILD_DIR

Checks each of BUILD_DIR/crestitem.dll and BUILD_DIR/setup.dll against the
library's own .def and .rc files: the headers the device's loader reads, base
relocations that all land on words holding addresses inside the image, imports
only from COREDLL (by ordinal) and aygshell, the .def's exports, the .rc's icon
groups and dialogs, and no instruction a StrongARM (ARMv4) lacks.
"""
import os
import re
import shutil
import subprocess
import sys

import pefile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LIBRARIES = {
    "crestitem.dll": ("item/crestitem.def", "item/crestitem.rc", "item/resource.h"),
    "setup.dll": ("setup/setup.def", "setup/setup.rc", "setup/resource.h"),
}
# Libraries every Pocket PC 2002 has, and how the device's import libraries
# import from them.
ALLOWED_IMPORTS = {"coredll.dll": "ordinal", "aygshell.dll": "name"}
# Ordinals known apart from our own table: COREDLL's binary interface.
COREDLL_ANCHORS = {"DefWindowProcW": 264, "SendMessageW": 868, "RegOpenKeyExW": 461}
RT_ICON, RT_DIALOG, RT_GROUP_ICON = 3, 5, 14

failures = []
passes = 0


def check(condition, what):
    global passes
    if condition:
        passes += 1
    else:
        failures.append(what)
        print("FAIL: " + what)


def read_def(path):
    """(library, [(name, ordinal or None, noname)]) of a .def file."""
    exports, library, in_exports = [], None, False
    for line in open(os.path.join(ROOT, path)):
        line = line.split(";")[0].strip()
        if not line:
            continue
        words = line.split()
        if words[0] == "LIBRARY":
            library, in_exports = words[1], False
        elif words[0] == "EXPORTS":
            in_exports = True
        elif in_exports:
            m = re.match(r"(\w+)\s*(?:@\s*(\d+))?\s*(NONAME)?$", line)
            exports.append((m.group(1), int(m.group(2)) if m.group(2) else None, bool(m.group(3))))
    return library, exports


def read_rc(rc_path, header_path):
    """{id: style or None} of the ICON and DIALOG statements of a .rc file."""
    defines = {}
    for line in open(os.path.join(ROOT, header_path)):
        m = re.match(r"#define\s+(\w+)\s+(\d+)", line)
        if m:
            defines[m.group(1)] = int(m.group(2))
    icons, dialogs, current = set(), {}, None
    for line in open(os.path.join(ROOT, rc_path)):
        m = re.match(r"(\w+)\s+(ICON|DIALOG)\b", line)
        if m:
            rid = defines.get(m.group(1), None)
            rid = rid if rid is not None else int(m.group(1))
            if m.group(2) == "ICON":
                icons.add(rid)
            else:
                dialogs[rid] = None
                current = rid
        m = re.match(r"STYLE\s+(0x[0-9A-Fa-f]+)", line)
        if m and current is not None:
            dialogs[current] = int(m.group(1), 16)
    return icons, dialogs


def section_of(pe, rva):
    for s in pe.sections:
        if s.VirtualAddress <= rva < s.VirtualAddress + max(s.Misc_VirtualSize, s.SizeOfRawData):
            return s
    return None


def check_headers(name, pe):
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    check(fh.Machine == 0x01C0, f"{name}: machine {fh.Machine:#x}, not ARM (0x01C0)")
    check(fh.Characteristics & 0x2000, f"{name}: not marked as a DLL")
    check(fh.Characteristics & 0x0002, f"{name}: not marked executable")
    check(not fh.Characteristics & 0x0001, f"{name}: relocations marked stripped")
    check(oh.Magic == 0x10B, f"{name}: not PE32")
    check(oh.Subsystem == 9, f"{name}: subsystem {oh.Subsystem}, not Windows CE GUI (9)")
    check((oh.MajorSubsystemVersion, oh.MinorSubsystemVersion) == (3, 0),
          f"{name}: subsystem version {oh.MajorSubsystemVersion}.{oh.MinorSubsystemVersion}, not 3.00")
    check((oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion) == (3, 0),
          f"{name}: operating system version not 3.00")
    check(oh.ImageBase == 0x10000000, f"{name}: image base {oh.ImageBase:#x}")
    check((oh.SectionAlignment, oh.FileAlignment) == (0x1000, 0x200), f"{name}: alignments")
    entry = section_of(pe, oh.AddressOfEntryPoint)
    check(entry is not None and entry.Characteristics & 0x20000000,
          f"{name}: entry point {oh.AddressOfEntryPoint:#x} not in executable code")
    check(pe.verify_checksum(), f"{name}: checksum does not verify")
    check(not hasattr(pe, "DIRECTORY_ENTRY_TLS"), f"{name}: has thread-local data")
    # pefile's guess from the share of zero bytes says nothing of a small
    # image's structure: any other warning is a fault.
    warnings = [w for w in pe.get_warnings() if not w.startswith("Byte 0x00 makes up")]
    check(not warnings, f"{name}: pefile warns: {warnings}")


def check_relocations(name, pe):
    oh = pe.OPTIONAL_HEADER
    low, high = oh.ImageBase, oh.ImageBase + oh.SizeOfImage
    blocks = getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])
    check(blocks, f"{name}: no base relocations")
    relocated = set()
    for block in blocks:
        for entry in block.entries:
            if entry.type == 0:  # IMAGE_REL_BASED_ABSOLUTE: padding
                continue
            check(entry.type == 3, f"{name}: relocation of type {entry.type} at {entry.rva:#x}, not HIGHLOW")
            check(entry.rva % 4 == 0 and section_of(pe, entry.rva) is not None,
                  f"{name}: relocation at {entry.rva:#x} not on a word of the image")
            value = pe.get_dword_at_rva(entry.rva)
            check(value is not None and low <= value < high,
                  f"{name}: relocated word at {entry.rva:#x} holds {value}, not an address in the image")
            relocated.add(entry.rva)
    # The other way round: every word of the linked sections that holds an
    # address of the image is one the loader moves (code included: its
    # literal pools hold the addresses it loads; no ARMv4 instruction the
    # compiler emits reads as 0x1000xxxx, an ANDNE of registers).
    for s in pe.sections:
        if s.Name.rstrip(b"\0") in (b".reloc", b".rsrc", b".idata", b".edata"):
            continue
        data = s.get_data()[: s.Misc_VirtualSize]
        for at in range(0, len(data) - 3, 4):
            value = int.from_bytes(data[at:at + 4], "little")
            rva = s.VirtualAddress + at
            if low <= value < high:
                check(rva in relocated, f"{name}: address {value:#x} at {rva:#x} has no base relocation")
    return relocated


def check_imports(name, pe):
    imports = getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
    check(imports, f"{name}: imports nothing")
    ordinals = set()
    for lib in imports:
        dll = lib.dll.decode().lower()
        kind = ALLOWED_IMPORTS.get(dll)
        check(kind is not None, f"{name}: imports from {lib.dll.decode()}, which a Pocket PC lacks")
        for imp in lib.imports:
            if kind == "ordinal":
                check(imp.import_by_ordinal and imp.name is None,
                      f"{name}: {lib.dll.decode()} import {imp.name} not by ordinal")
                ordinals.add(imp.ordinal)
            elif kind == "name":
                check(imp.name is not None, f"{name}: {lib.dll.decode()} import by ordinal {imp.ordinal}")
    return ordinals


def check_exports(name, pe, def_path):
    library, exports = read_def(def_path)
    directory = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    check(directory is not None, f"{name}: exports nothing")
    if directory is None:
        return
    check(directory.name.decode().lower() == library.lower() + ".dll", f"{name}: export directory names "
          f"{directory.name}")
    found = {s.ordinal: s for s in directory.symbols if s.address}
    by_name = {s.name.decode(): s for s in directory.symbols if s.name}
    for export, ordinal, noname in exports:
        if ordinal is not None:
            check(ordinal in found, f"{name}: ordinal {ordinal} ({export}) not exported")
            if ordinal in found:
                check((found[ordinal].name is None) == noname,
                      f"{name}: ordinal {ordinal} exported {'with' if noname else 'without'} a name")
        if not noname:
            check(export in by_name, f"{name}: {export} not exported by name")
    check(len(found) == len(exports), f"{name}: exports {len(found)} functions, the .def {len(exports)}")
    for s in directory.symbols:
        sec = section_of(pe, s.address)
        check(sec is not None and sec.Characteristics & 0x20000000,
              f"{name}: export {s.ordinal} at {s.address:#x} is not code")


def check_resources(name, pe, rc_path, header_path):
    icons, dialogs = read_rc(rc_path, header_path)
    tree = {}
    directory = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    check(directory is not None, f"{name}: no resources")
    for rtype in directory.entries if directory else []:
        for rname in rtype.directory.entries:
            for lang in rname.directory.entries:
                tree[(rtype.id, rname.id)] = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
    for icon in sorted(icons):
        group = tree.get((RT_GROUP_ICON, icon))
        check(group is not None, f"{name}: icon group {icon} missing")
        if group:
            count = int.from_bytes(group[4:6], "little")
            members = [int.from_bytes(group[6 + 14 * i + 12:6 + 14 * i + 14], "little") for i in range(count)]
            check(count > 0 and all((RT_ICON, m) in tree for m in members),
                  f"{name}: icon group {icon} names icons {members} not all present")
    for dialog, style in sorted(dialogs.items()):
        template = tree.get((RT_DIALOG, dialog))
        check(template is not None, f"{name}: dialog {dialog} missing")
        if template and style is not None:
            check(int.from_bytes(template[0:4], "little") == style, f"{name}: dialog {dialog} style differs")


def check_code(name, path, pe):
    """No BX, BLX (register or immediate) or CLZ in any word of the code."""
    bad = []
    for s in pe.sections:
        if not s.Characteristics & 0x20000000:
            continue
        data = s.get_data()[: s.Misc_VirtualSize]
        for at in range(0, len(data) - 3, 4):
            w = int.from_bytes(data[at:at + 4], "little")
            rva = s.VirtualAddress + at
            if (w & 0x0FFFFFF0) == 0x012FFF10:
                bad.append(f"BX at {rva:#x}")
            elif (w & 0x0FFFFFF0) == 0x012FFF30:
                bad.append(f"BLX (register) at {rva:#x}")
            elif (w & 0xFE000000) == 0xFA000000:
                bad.append(f"BLX (immediate) at {rva:#x}")
            elif (w & 0x0FFF0FF0) == 0x016F0F10:
                bad.append(f"CLZ at {rva:#x}")
    check(not bad, f"{name}: instructions a StrongARM lacks: {', '.join(bad[:8])}")
    objdump = shutil.which("llvm-objdump-14") or shutil.which("llvm-objdump")
    if objdump:
        out = subprocess.run([objdump, "-d", "--triple=armv4", path], capture_output=True, text=True).stdout
        found = re.findall(r"^\s*([0-9a-f]+):.*\t(bx|blx|clz)\b", out, re.M)
        check(not found, f"{name}: llvm-objdump finds {found[:8]}")
        check(re.search(r"mov\s+pc, lr", out), f"{name}: llvm-objdump finds no return")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check_images.py BUILD_DIR")
    all_ordinals = []
    for dll, (def_path, rc_path, header_path) in LIBRARIES.items():
        path = os.path.join(sys.argv[1], dll)
        if not os.path.exists(path):
            check(False, f"{dll}: not built ({path})")
            continue
        pe = pefile.PE(path)
        check_headers(dll, pe)
        relocated = check_relocations(dll, pe)
        ordinals = check_imports(dll, pe)
        check_exports(dll, pe, def_path)
        check_resources(dll, pe, rc_path, header_path)
        check_code(dll, path, pe)
        all_ordinals.append(ordinals)
        print(f"{dll}: {os.path.getsize(path)} bytes, {len(pe.sections)} sections, "
              f"{sum(len(lib.imports) for lib in pe.DIRECTORY_ENTRY_IMPORT)} imports, {len(relocated)} relocations")
    for function, ordinal in COREDLL_ANCHORS.items():
        check(all(ordinal in o for o in all_ordinals), f"COREDLL's {function} ({ordinal}) is not imported by both")
    print(f"{passes} passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
