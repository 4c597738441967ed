#!/usr/bin/env python3
"""Counts the test cases that ran, from the XML that every test program writes, and prints the totals."""
import argparse
import glob
import os
import xml.etree.ElementTree as ET

parser = argparse.ArgumentParser()
parser.add_argument("native")
parser.add_argument("windows")
parser.add_argument("--fuzz", nargs=2, type=int, default=[0, 0])
parser.add_argument("--steps", type=int, default=0)
args = parser.parse_args()


def count(folder):
    passed = failed = skipped = 0
    for path in sorted(glob.glob(os.path.join(folder, "*.xml"))):
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError:
            failed += 1  # a program that died mid-run leaves a broken report
            continue
        for case in root.iter("testcase"):
            if case.find("failure") is not None or case.find("error") is not None:
                failed += 1
            elif case.get("result") == "skipped" or case.find("skipped") is not None or case.get("status") == "notrun":
                skipped += 1
            else:
                passed += 1
    return passed, failed, skipped


np, nf, ns = count(args.native)
wp, wf, ws = count(args.windows)
fp, ff = args.fuzz[0] - args.fuzz[1], args.fuzz[1]
print(f"native tests (sanitizers): {np} passed, {nf} failed, {ns} skipped")
print(f"wine tests (Win32 and end-to-end): {wp} passed, {wf} failed, {ws} skipped")
print(f"fuzz targets: {fp} passed, {ff} failed")
failed = nf + wf + ff + args.steps
print(f"total: {np + wp + fp} passed, {failed} failed, {ns + ws} skipped")
raise SystemExit(1 if failed else 0)
