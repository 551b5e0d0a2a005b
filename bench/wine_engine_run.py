#!/usr/bin/env python3
"""Times whole QuillonEngine.exe runs under Wine on a document with every
method and channel off, as a logon would start it, once Wine itself is up
(the first, untimed run starts it). Prints the size of the program and the
run times; fails when the median run takes a second or more.
Usage: wine_engine_run.py [QuillonEngine.exe] [RUNS]"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
BUDGET_SECONDS = 1.0


def main():
    engine = Path(sys.argv[1] if len(sys.argv) > 1 else SOURCE / "build/win64/engine/QuillonEngine.exe")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    os.environ.setdefault("WINEDEBUG", "-all")
    os.environ.setdefault("WINEPREFIX", str(SOURCE / "build" / "wineprefix"))
    with tempfile.TemporaryDirectory(prefix="quillon-bench-") as folder:
        deploy = Path(folder)
        shutil.copyfile(engine, deploy / "QuillonEngine.exe")
        shutil.copyfile(SOURCE / "examples/bench/all-off.ini", deploy / "all-off.ini")
        document = "Z:" + str(deploy / "all-off.ini").replace("/", "\\")

        def run():
            # Output to nowhere, not a pipe: Wine's service processes inherit a
            # pipe and would hold it open after the engine has ended.
            started = time.monotonic()
            subprocess.run(["wine", str(deploy / "QuillonEngine.exe"), document], cwd=deploy,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                           timeout=60)
            return time.monotonic() - started

        first = run()
        times = [run() for _ in range(runs)]
        if not list(deploy.glob("*.debug")):
            sys.exit("the run wrote no debug file: it did not get through the document")
    median = statistics.median(times)
    print(f"QuillonEngine.exe: {engine.stat().st_size} bytes")
    print(f"first run (starts Wine): {first:.3f} s")
    print(f"{runs} runs, every method off: min {min(times):.3f} s, median {median:.3f} s, "
          f"max {max(times):.3f} s")
    if median >= BUDGET_SECONDS:
        sys.exit(f"median run {median:.3f} s is over the budget of {BUDGET_SECONDS} s")


if __name__ == "__main__":
    main()
