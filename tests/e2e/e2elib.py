"""Shared pieces of the end-to-end tests: scratch folders, Wine, screenshots, and a gtest-style XML report
so that the test script counts these cases with the others."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback
from xml.sax.saxutils import quoteattr

SOURCE_DIR = os.environ.get("MOKUNA_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "../..")))
BUILD_DIR = os.environ.get("MOKUNA_BUILD_DIR", os.path.join(SOURCE_DIR, "build/windows"))
RESULTS_DIR = os.environ.get("MOKUNA_TEST_RESULTS", os.path.join(BUILD_DIR, "test-results"))
WINE_RUN = os.path.join(SOURCE_DIR, "cmake/wine-run.sh")


def wait_for(condition, timeout, interval=0.1):
    """Polls condition until it is true or timeout seconds pass; returns its last value."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= end:
            return value
        time.sleep(interval)


def scratch_folder(files=()):
    """A new empty working folder holding copies of the given files."""
    folder = tempfile.mkdtemp(prefix="mokuna-e2e-")
    for f in files:
        shutil.copy(f, folder)
    return folder


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=True)
    return path


class Suite:
    """Runs named cases (functions), prints gtest-like lines and writes <name>.xml into RESULTS_DIR."""

    def __init__(self, name):
        self.name = name
        self.cases = []

    def case(self, func):
        self.cases.append(func)
        return func

    def run(self):
        os.makedirs(RESULTS_DIR, exist_ok=True)
        results = []
        for func in self.cases:
            start = time.monotonic()
            print(f"[ RUN      ] {self.name}.{func.__name__}", flush=True)
            try:
                func()
                failure = None
                print(f"[       OK ] {self.name}.{func.__name__}", flush=True)
            except Exception:  # a failed case must not stop the others
                failure = traceback.format_exc()
                print(failure, f"[  FAILED  ] {self.name}.{func.__name__}", sep="\n", flush=True)
            results.append((func.__name__, time.monotonic() - start, failure))
        failed = sum(1 for r in results if r[2])
        with open(os.path.join(RESULTS_DIR, f"{self.name}.xml"), "w", encoding="utf-8") as out:
            out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
            out.write(f'<testsuites tests="{len(results)}" failures="{failed}">\n')
            out.write(f'<testsuite name={quoteattr(self.name)} tests="{len(results)}" failures="{failed}">\n')
            for name, seconds, failure in results:
                out.write(f'<testcase name={quoteattr(name)} classname={quoteattr(self.name)} time="{seconds:.3f}"')
                if failure:
                    out.write(f'><failure message={quoteattr(failure.splitlines()[-1])}/></testcase>\n')
                else:
                    out.write("/>\n")
            out.write("</testsuite>\n</testsuites>\n")
        sys.exit(1 if failed else 0)
