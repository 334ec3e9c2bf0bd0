#!/usr/bin/env python3
"""Fails when an include goes against the order of the folders' libraries:
ui -> app -> package -> platform, crypto -> base, with resources/ (the
user-visible texts) usable from package up. The publisher's tool and the
benchmarks sit on top; tests may include anything."""
import re
import sys
from pathlib import Path

MAY_INCLUDE = {
    "base": {"base"},
    "crypto": {"crypto", "base"},
    "platform": {"platform", "base"},
    "resources": {"resources"},
    "package": {"package", "platform", "crypto", "base", "resources"},
    "app": {"app", "package", "platform", "crypto", "base", "resources"},
    "ui": {"ui", "app", "package", "platform", "crypto", "base", "resources"},
    "tools": {"tools", "app", "package", "platform", "crypto", "base", "resources"},
    "bench": {"bench", "tools", "app", "package", "platform", "crypto", "base", "resources"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.M)

root = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
wrong = []
for folder, allowed in MAY_INCLUDE.items():
    for source in sorted((root / folder).glob("*")):
        if source.suffix not in {".h", ".cpp", ".rc", ".in"}:
            continue
        for target in INCLUDE.findall(source.read_text(encoding="utf-8", errors="replace")):
            if target in MAY_INCLUDE and target not in allowed:
                wrong.append(f"{source.relative_to(root)} includes {target}/")
for line in wrong:
    print(line)
print(f"layers: {len(wrong)} includes against the order")
sys.exit(1 if wrong else 0)
