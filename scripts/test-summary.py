#!/usr/bin/env python3
"""Adds up JUnit XML reports: one line per build (with how its Windows programs ran), then a closing total."""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

total = {"passed": 0, "failed": 0, "skipped": 0}
for build in sys.argv[1:]:
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    reports = sorted(Path(build, "test-results").glob("*.xml"))
    for report in reports:
        for case in ET.parse(report).getroot().iter("testcase"):
            if case.find("failure") is not None or case.find("error") is not None:
                counts["failed"] += 1
            elif case.find("skipped") is not None or case.get("result") == "skipped":
                counts["skipped"] += 1
            else:
                counts["passed"] += 1
    name = Path(build).name
    # How the Windows programs ran: 32-bit native, 32-bit emulated or 64-bit.
    ways = [w.read_text().strip() for w in sorted(Path(build, "test-results").glob("*.way"))]
    how = f"; {', '.join(ways)}" if ways else ""
    print(f"{name}: {counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped"
          f" ({len(reports)} test programs{how})")
    for k in total:
        total[k] += counts[k]
print(f"tests: {total['passed']} passed, {total['failed']} failed, {total['skipped']} skipped")
