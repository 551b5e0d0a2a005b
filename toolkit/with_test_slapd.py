#!/usr/bin/env python3
"""Runs a toolkit test program under Wine against a throw-away slapd that
publishes the print queues and groups the directory picker tests expect (the
lists of PublishedQueues() and TestDirectoryServer in
toolkit/directory_picker_test.cpp), and names the server
to the program in QUILLON_TEST_SLAPD ("127.0.0.1:port"). The slapd is the one
of the engine's end-to-end runs.

Usage: with_test_slapd.py EMULATOR PROGRAM [ARGUMENTS...]
Without slapd installed the program runs without the variable and its server
tests skip; under CI that is a failure."""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "engine"))
from wine_end_to_end_test import Slapd  # noqa: E402

QUEUE_COUNT = 120
PRINTERS = "ou=Printers,dc=corp,dc=example"
GROUPS = "ou=Groups,dc=corp,dc=example"
# The groups the targeting page's picker lists (TestDirectoryServer's too).
GROUP_NAMES = ["Pilot Computers", "floor2-pilot", "IT"]


def published_queues():
    queues = [("PRT-SRV-HP4", "HP4share"), ("LASER", "LASERshare")]
    queues += [(f"PRTSRV{i % 4 + 1}-Q{i:03}", f"S{i:03}") for i in range(2, QUEUE_COUNT)]
    return queues


def main():
    command = sys.argv[1:]
    if not command:
        sys.exit(__doc__)
    entries = [(PRINTERS, ["objectClass: organizationalUnit", "ou: Printers"])]
    entries += [(f"cn={name},{PRINTERS}", Slapd.queue(name, share))
                for name, share in published_queues()]
    entries += [(GROUPS, ["objectClass: organizationalUnit", "ou: Groups"])]
    entries += [(f"cn={name},{GROUPS}",
                 ["objectClass: groupOfNames", Slapd.line("cn", name), f"member: {PRINTERS}"])
                for name in GROUP_NAMES]
    with tempfile.TemporaryDirectory(prefix="quillon-toolkit-slapd-") as folder:
        try:
            with Slapd(Path(folder) / "slapd", entries) as server:
                environment = dict(os.environ, QUILLON_TEST_SLAPD=f"127.0.0.1:{server.port}")
                return subprocess.call(command, env=environment)
        except unittest.SkipTest as reason:
            print(f"with_test_slapd: {reason}", file=sys.stderr)
    return subprocess.call(command)


if __name__ == "__main__":
    sys.exit(main())
