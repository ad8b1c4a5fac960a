#!/usr/bin/env python3
"""Sets the conformance program's native run beside its run under Wine.

Usage: compare_runs.py NATIVE_OUTPUT WINE_OUTPUT

Both files are the full gtest output of the same test sources (native:
against the emulated platform; Wine: built for Windows, against the
reference). Prints one line per test with both results and the reason of
every skip, then the tests that only the native program has. Fails when a
test failed in either run, when the Wine program has a test the native
one lacks (the names must be the same), or when either run is empty.
"""
import re
import sys

RESULT = re.compile(r"^\[ +(OK|SKIPPED|FAILED) +\] (\S+) \(")
RUN = re.compile(r"^\[ RUN +\] (\S+)")


def results(path):
    """{test name: (result, reason)} in run order."""
    out = {}
    current, lines = None, []
    with open(path, encoding="utf-8", errors="replace") as f:
        for raw in f:
            line = raw.rstrip("\r\n")
            m = RUN.match(line)
            if m:
                current, lines = m.group(1), []
                continue
            m = RESULT.match(line)
            if m and m.group(2) == current:
                reason = ""
                if m.group(1) == "SKIPPED":
                    for i, l in enumerate(lines):
                        if l.endswith(": Skipped") and i + 1 < len(lines):
                            reason = lines[i + 1].strip()
                out[current] = (m.group(1), reason)
                current = None
                continue
            if current:
                lines.append(line)
    return out


def main():
    native, wine = results(sys.argv[1]), results(sys.argv[2])
    problems = []
    if not native or not wine:
        problems.append("a run has no tests")
    print("%-72s %-8s %s" % ("test", "native", "Wine"))
    for name, (result, reason) in wine.items():
        mine = native.get(name, ("MISSING", ""))[0]
        text = result + (" (" + reason + ")" if reason else "")
        print("%-72s %-8s %s" % (name, mine, text))
        if mine == "MISSING":
            problems.append(name + " runs under Wine but not natively")
        if result == "FAILED":
            problems.append(name + " failed under Wine")
    for name, (result, _) in native.items():
        if result == "FAILED":
            problems.append(name + " failed natively")
    only = [n for n in native if n not in wine]
    suites = {}
    for n in only:
        suites.setdefault(n.split(".")[0], []).append(n)
    counts = {}
    for _, (result, _) in wine.items():
        counts[result] = counts.get(result, 0) + 1
    print("\nsame names: %d tests in both runs; under Wine %s" %
          (len(wine), ", ".join("%d %s" % (c, r) for r, c in sorted(counts.items()))))
    print("native only (not built for Windows): %d tests: %s" %
          (len(only), ", ".join("%s (%d)" % (s, len(t)) for s, t in sorted(suites.items()))))
    for p in problems:
        print("PROBLEM: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
