#!/usr/bin/env python3
"""Times `quillon report` over generated deployment shares (report_share.py)
and measures each run's peak resident memory.

Usage: report_bench.py QUILLON WORK_FOLDER [ROUNDS]

The shares: 2,500 and 10,000 output files, about one user each; 10,000 files of
2,500 users (four documents each: the files grow, the summary does not); the
same reports in one shared file of about 50 MB; an empty folder for the
program's own memory; one file of 152 MB that a user wrote into the share,
a run moving connections from 4 million distinct servers. Fails when the
median run over 10,000 files takes 2 seconds or more, or when the 4 million
servers take 64 MB or more at peak: memory follows the summary's bounds, not
the input.
"""
import json
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def folder_bytes(folder):
    total = files = 0
    for root, _, names in os.walk(folder):
        for name in names:
            total += os.path.getsize(os.path.join(root, name))
            files += 1
    return files, total


def run(quillon, share, work):
    """Seconds, peak resident KiB and the report of one run. The peak comes
    from /usr/bin/time, whose own small process forks the program: a child
    forked from this interpreter would count the interpreter's memory too."""
    measured = os.path.join(work, "time.txt")
    start = time.monotonic()
    child = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", measured, quillon, "report",
                            "--json", share], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - start
    if child.returncode not in (0, 1):
        sys.exit(f"quillon report {share} exited {child.returncode}")
    with open(measured) as f:
        peak = int(f.read().split()[-1])
    return seconds, peak, json.loads(child.stdout)


def write_many_servers(share, servers=4_000_000):
    os.makedirs(share, exist_ok=True)
    path = os.path.join(share, "PC1_eve_SUCCESS_moves.txt")
    if os.path.exists(path):
        return
    with open(path, "w", newline="") as f:
        f.write("\r\n\r\nReport At: 12/8/2026 6:22:18 PM\r\n\r\n\r\n"
                "* ----- Computer: PC1 Username: eve Printers ----- *\r\n")
        for i in range(servers):
            f.write("Migrating: \\\\SRV%07d\\P to \\\\NEW\\P\r\n" % i)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    quillon, work = os.path.abspath(sys.argv[1]), sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    os.makedirs(work, exist_ok=True)
    generator = os.path.join(HERE, "report_share.py")
    cases = [
        ("empty folder", "empty", None),
        ("2,500 files", "files-2500", ["--files", "2500"]),
        ("10,000 files", "files-10000", ["--files", "10000"]),
        ("10,000 files of 2,500 users", "files-10000-users-2500", ["--files", "10000", "--users", "2500"]),
        ("the 10,000 files' reports in 1", "shared", ["--files", "10000", "--shared"]),
        ("4 million servers in 1 file", "many-servers", write_many_servers),
    ]
    print(f"{'share':30} {'files':>7} {'MB':>6} {'users':>7} {'runs':>8} {'median s':>9} {'peak RSS MB':>12}")
    failed = False
    for name, folder, options in cases:
        share = os.path.join(work, folder)
        if options is None:
            os.makedirs(share, exist_ok=True)
        elif callable(options):
            options(share)
        else:
            subprocess.run([sys.executable, generator, share] + options, check=True,
                           stdout=subprocess.DEVNULL)
        files, size = folder_bytes(share)
        run(quillon, share, work)  # the files into the page cache, as on a share read twice
        results = [run(quillon, share, work) for _ in range(rounds)]
        seconds = statistics.median(r[0] for r in results)
        peak = max(r[1] for r in results) / 1024
        report = results[-1][2]
        print(f"{name:30} {files:>7,} {size / 1e6:>6.1f} {len(report['users']):>7,} "
              f"{report['runs']['total']:>8,} {seconds:>9.3f} {peak:>12.1f}")
        if name == "10,000 files" and seconds >= 2:
            print("quillon report took 2 seconds or more over 10,000 files", file=sys.stderr)
            failed = True
        if folder == "many-servers" and peak >= 64:
            print("quillon report's memory grew with 4 million servers", file=sys.stderr)
            failed = True
    if failed:
        sys.exit("quillon report bench failed")


if __name__ == "__main__":
    main()
