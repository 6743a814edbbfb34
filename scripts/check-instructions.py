#!/usr/bin/env python3
"""Checks the instructions of the module's 32-bit x86 code, per kernel level.

Code compiled for a level may use that level's instructions; everything else
must run on a Pentium II (MMX without SSE) and so uses neither SSE nor MMX:

  general code (every other object, and code shared between objects, such as
  inline functions the linker keeps one copy of): no MMX, SSE or later;
  the MMX kernel files (KernelsMmx, UploadMmx), their own code: plain MMX
  only, no MMX extensions (pshufw, pmulhuw, pavgb, pminub, pmovmskb, movntq,
  ...), no 3DNow!, no SSE;
  the SSE2, AVX2 and AVX-512 kernel files, their own code: anything.

  check-instructions.py objects FILE_OR_DIR...   object files (.o, .obj; a
      folder is searched for them), each judged by its own name
  check-instructions.py linked MODULE MAP        a linked module (ziv.dll),
      each address judged by the object the link map says it came from

Exits 1 and lists the offending instructions (function, address, text) when
any is found, or when the MMX kernels hold no MMX code or no EMMS (the check
would then prove nothing).
"""
import os
import re
import subprocess
import sys

LEVEL_OF_FILE = re.compile(r"(?:Kernels|Upload)(Mmx|Sse2|Avx2|Avx512)\.cpp\.(?:o|obj)\)?$")

# MMX instructions that came with SSE (the "MMX extensions") or with 3DNow!.
MMX_EXTENSIONS = {
    "pshufw", "pmulhuw", "pavgb", "pavgw", "pminub", "pmaxub", "pminsw", "pmaxsw", "pmovmskb", "pinsrw",
    "pextrw", "psadbw", "movntq", "maskmovq",
}
THREE_D_NOW = re.compile(r"^(femms|pf\w+|pi2f\w|pf2i\w|pavgusb|pmulhrw|pswapd|prefetchw)$")
# SSE and later instructions without a vector register operand.
SSE_WITHOUT_REGISTERS = re.compile(
    r"^(prefetch(nta|t0|t1|t2)|sfence|lfence|mfence|clflush\w*|movnti|ldmxcsr|stmxcsr|vzeroupper|vzeroall)$")
VECTOR_REGISTER = re.compile(r"%(x|y|z)mm\d+|%k[0-7]\b")
MMX_REGISTER = re.compile(r"%mm\d\b")

INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$")
FUNCTION = re.compile(r"^([0-9a-f]+) <(.+)>:$")
SECTION = re.compile(r"^Disassembly of section (\S+):$")


def kind(mnemonic, operands):
    """'sse', 'mmxext', 'mmx' or None for an instruction."""
    if VECTOR_REGISTER.search(operands) or SSE_WITHOUT_REGISTERS.match(mnemonic):
        return "sse"
    if THREE_D_NOW.match(mnemonic):
        return "mmxext"
    if MMX_REGISTER.search(operands) or mnemonic == "emms":
        return "mmxext" if mnemonic in MMX_EXTENSIONS else "mmx"
    return None


ALLOWED = {
    "general": set(),
    "Mmx": {"mmx"},
    "Sse2": {"mmx", "mmxext", "sse"},
    "Avx2": {"mmx", "mmxext", "sse"},
    "Avx512": {"mmx", "mmxext", "sse"},
}


def own_section(name):
    """Whether a code section belongs to its object alone (not a COMDAT copy
    of an inline function that the linker may pick for every caller)."""
    return name in (".text", ".text.unlikely", ".text.startup", ".text.hot", ".text.exit")


def disassemble(path):
    """Yields (section, function, address, mnemonic, operands)."""
    out = subprocess.run(["objdump", "-d", "-w", "--no-show-raw-insn", path], check=True, capture_output=True,
                         text=True).stdout
    section, function = "", "?"
    for line in out.splitlines():
        m = SECTION.match(line)
        if m:
            section = m.group(1)
            continue
        m = FUNCTION.match(line)
        if m:
            function = m.group(2)
            continue
        m = INSTRUCTION.match(line)
        # Only code sections: objdump also decodes data sections that a PE
        # file marks as code (such as .gcc_except_table).
        if m and section.startswith(".text"):
            operands = m.group(3).split("#")[0].strip()
            yield section, function, int(m.group(1), 16), m.group(2), operands


class Report:
    def __init__(self):
        self.faults = []
        self.seen = {}  # (level, kind) -> count

    def judge(self, level, where, function, address, mnemonic, operands):
        k = kind(mnemonic, operands)
        if k is None:
            return
        self.seen[(level, k)] = self.seen.get((level, k), 0) + 1
        if mnemonic == "emms":
            self.seen[(level, "emms")] = self.seen.get((level, "emms"), 0) + 1
        if k not in ALLOWED[level]:
            self.faults.append(f"{where}: {function} +{address:#x}: {mnemonic} {operands} ({k} in {level} code)")

    def finish(self):
        for fault in self.faults[:200]:
            print(fault)
        if len(self.faults) > 200:
            print(f"... and {len(self.faults) - 200} more")
        for (level, k), count in sorted(self.seen.items()):
            print(f"{level}: {count} {k} instructions")
        ok = not self.faults
        if self.seen.get(("Mmx", "mmx"), 0) == 0 or self.seen.get(("Mmx", "emms"), 0) == 0:
            print("no MMX code (or no EMMS) in the MMX kernels: nothing was checked")
            ok = False
        print("instruction check: " + ("passed" if ok else "FAILED"))
        return 0 if ok else 1


def object_files(arguments):
    for argument in arguments:
        if os.path.isdir(argument):
            for root, _, files in os.walk(argument):
                for name in sorted(files):
                    if name.endswith((".o", ".obj")):
                        yield os.path.join(root, name)
        else:
            yield argument


def check_objects(arguments):
    report = Report()
    for path in object_files(arguments):
        m = LEVEL_OF_FILE.search(path)
        for section, function, address, mnemonic, operands in disassemble(path):
            level = m.group(1) if m and own_section(section) else "general"
            report.judge(level, os.path.basename(path), function, address, mnemonic, operands)
    return report.finish()


# A link map's input sections: ".text  0xADDRESS  0xSIZE  object", the name
# alone on its line when it is long.
MAP_SECTION = re.compile(r"^ (\.[\w.$]\S*)\s*$|^ (\.[\w.$]\S*)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")
MAP_CONTINUED = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")


def map_ranges(map_path):
    """(start, end, level, object) of every input section in the link map;
    level None for data (exception tables) that the linker put among the code."""
    ranges = []
    pending = None
    with open(map_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            m = MAP_SECTION.match(line)
            if m and m.group(1):
                pending = m.group(1)
                continue
            if m:
                name, start, size, source = m.group(2), m.group(3), m.group(4), m.group(5)
            elif pending is not None:
                c = MAP_CONTINUED.match(line)
                pending_name, pending = pending, None
                if not c:
                    continue
                name, start, size, source = pending_name, c.group(1), c.group(2), c.group(3)
            else:
                continue
            start, size = int(start, 16), int(size, 16)
            if size == 0:
                continue
            level_match = LEVEL_OF_FILE.search(source.strip())
            if not name.startswith(".text"):
                level = None
            elif level_match and own_section(name):
                level = level_match.group(1)
            else:
                level = "general"
            ranges.append((start, start + size, level, source.strip()))
    ranges.sort(key=lambda r: r[0])
    return ranges


def check_linked(module, map_path):
    import bisect
    ranges = map_ranges(map_path)
    starts = [r[0] for r in ranges]
    report = Report()
    for _, function, address, mnemonic, operands in disassemble(module):
        i = bisect.bisect_right(starts, address) - 1
        if i >= 0 and address < ranges[i][1]:
            level, source = ranges[i][2], os.path.basename(ranges[i][3])
            if level is None:
                continue
        else:
            level, source = "general", "?"
        report.judge(level, f"{os.path.basename(module)} ({source})", function, address, mnemonic, operands)
    return report.finish()


def main(argv):
    if len(argv) >= 2 and argv[0] == "objects":
        return check_objects(argv[1:])
    if len(argv) == 3 and argv[0] == "linked":
        return check_linked(argv[1], argv[2])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
