#!/usr/bin/env bash
# Makes what a Pocket PC installs: DIR/Crestune.ARM.CAB (default DIR: dist/)
# and the ARM libraries packed in it, DIR/ARM/crestitem.dll and
# DIR/ARM/setup.dll. Installs what is missing, builds the CAB tool (inf2cab)
# for this machine, the ARM libraries with tools/device-build.sh, and packs
# them as package/crestune.inf describes. Then reads the CAB back with
# cabextract and the libraries' headers with pefile.
set -euo pipefail
cd "$(dirname "$0")"
out=$(realpath -m "${1:-dist}")
tools/install-deps.sh host
cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j"$(nproc)" --target inf2cab >/dev/null
if [ ! -x tools/device-build.sh ]; then
  echo "package.sh: tools/device-build.sh is missing: the ARM libraries cannot be built" >&2
  exit 1
fi
tools/device-build.sh build-arm
mkdir -p "$out/ARM"
cp build-arm/crestitem.dll build-arm/setup.dll "$out/ARM/"
build/bin/inf2cab package/crestune.inf "$out/Crestune.ARM.CAB" --source "$out/ARM"

cabextract -t "$out/Crestune.ARM.CAB" >/dev/null
cabextract -l "$out/Crestune.ARM.CAB" | sed -n '/|/p'
# The ARM images: machine ARM (0x01C0), subsystem Windows CE GUI (9), 3.00.
/usr/bin/python3 - "$out/ARM/crestitem.dll" "$out/ARM/setup.dll" <<'PY'
import sys, pefile
for name in sys.argv[1:]:
    pe = pefile.PE(name, fast_load=True)
    o = pe.OPTIONAL_HEADER
    ok = pe.FILE_HEADER.Machine == 0x1C0 and o.Subsystem == 9 and (o.MajorSubsystemVersion, o.MinorSubsystemVersion) == (3, 0)
    print("%s: machine 0x%04X, subsystem %d %d.%02d%s" % (name, pe.FILE_HEADER.Machine, o.Subsystem,
          o.MajorSubsystemVersion, o.MinorSubsystemVersion, "" if ok else "  <- not a Windows CE 3.0 ARM image"))
    if not ok:
        sys.exit(1)
PY
echo "The package is $out/Crestune.ARM.CAB"
