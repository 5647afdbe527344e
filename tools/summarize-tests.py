#!/usr/bin/env python3
"""Adds up what the test run did and prints one closing line: "Summary: N passed, M failed".

GoogleTest suites count their cases (from each suite's own [  PASSED  ] / [  FAILED  ] lines in
ctest's log), script tests theirs (an "N passed, M failed" line); a ctest test without GoogleTest output counts as one; a suite that failed without
naming a failed case (a crash, a non-zero exit) counts one more failure; each fuzz target and
each failed build stage counts as one.

usage: summarize-tests.py RESULTS_DIR BUILD_DIR...
"""
import re
import sys
from pathlib import Path

SECTION = re.compile(r"^\d+/\d+ Test: (?P<name>.+)$", re.M)
PASSED = re.compile(r"^\[  PASSED  \] (\d+) tests?\.", re.M)
FAILED = re.compile(r"^\[  FAILED  \] (\d+) tests?, listed below", re.M)
PLAIN = re.compile(r"^(\d+) passed, (\d+) failed$", re.M)


def count_ctest_log(log: Path):
    passed = failed = 0
    suites = []
    text = log.read_text(errors="replace")
    starts = [m.start() for m in SECTION.finditer(text)] + [len(text)]
    for begin, end in zip(starts, starts[1:]):
        section = text[begin:end]
        name = SECTION.match(section).group("name")
        ok = "\nTest Passed." in section
        cases_passed = sum(int(n) for n in PASSED.findall(section))
        cases_failed = sum(int(n) for n in FAILED.findall(section))
        for plain_passed, plain_failed in PLAIN.findall(section):  # script tests
            cases_passed += int(plain_passed)
            cases_failed += int(plain_failed)
        if cases_passed or cases_failed:
            passed += cases_passed
            failed += cases_failed
            if not ok and cases_failed == 0:
                failed += 1
        elif ok:
            passed += 1
        else:
            failed += 1
        suites.append((name, ok, cases_passed, cases_failed))
    return passed, failed, suites


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    results = Path(argv[1])
    total_passed = total_failed = 0
    for build in argv[2:]:
        log = Path(build) / "Testing" / "Temporary" / "LastTest.log"
        if not log.exists():
            continue
        passed, failed, suites = count_ctest_log(log)
        print(f"{build}: {passed} passed, {failed} failed in {len(suites)} ctest tests")
        for name, ok, cases_passed, cases_failed in suites:
            if not ok:
                print(f"  failed: {name} ({cases_failed} cases failed)")
        total_passed += passed
        total_failed += failed
    fuzz_log = results / "fuzz.log"
    if fuzz_log.exists():
        for line in fuzz_log.read_text(errors="replace").splitlines():
            if line.startswith("fuzz ") and ": passed" in line:
                total_passed += 1
            elif line.startswith("fuzz ") and ": FAILED" in line:
                total_failed += 1
    stages = results / "stage-failures.txt"
    if stages.exists():
        total_failed += len(stages.read_text().splitlines())
    print(f"Summary: {total_passed} passed, {total_failed} failed")
    return 1 if total_failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
