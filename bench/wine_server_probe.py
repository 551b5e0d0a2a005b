#!/usr/bin/env python3
"""Probes 20 print servers under Wine: 5 answer, 5 refuse and 10 never answer
(their packets dropped by an nftables or iptables rule this script sets up and
removes). Needs root for the rule: without it, or without nft/iptables, it says
so and skips. Fails when the probe takes 2.5 s or more.
Usage: wine_server_probe.py server_probe_bench.exe"""
import os
import shutil
import socket
import subprocess
import sys

PORT = 44545
OPEN = [f"127.0.2.{i}" for i in range(1, 6)]
REFUSED = [f"127.0.3.{i}" for i in range(1, 6)]
SILENT = [f"127.0.4.{i}" for i in range(1, 11)]
LIMIT_MS = 2500.0


def firewall():
    """Commands that add and remove a rule dropping SYNs to the silent servers."""
    if shutil.which("nft"):
        table = "quillon_probe_bench"
        return ([["nft", "add", "table", "inet", table],
                 ["nft", "add", "chain", "inet", table, "out",
                  "{ type filter hook output priority 0 ; }"],
                 ["nft", "add", "rule", "inet", table, "out", "ip", "daddr", "127.0.4.0/24",
                  "tcp", "dport", str(PORT), "drop"]],
                [["nft", "delete", "table", "inet", table]])
    if shutil.which("iptables"):
        rule = ["OUTPUT", "-d", "127.0.4.0/24", "-p", "tcp", "--dport", str(PORT), "-j", "DROP"]
        return [["iptables", "-I"] + rule], [["iptables", "-D"] + rule]
    return None


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    if os.geteuid() != 0:
        print("wine_server_probe: skipped, the firewall rule needs root")
        return 0
    commands = firewall()
    if commands is None:
        print("wine_server_probe: skipped, neither nft nor iptables is installed")
        return 0
    add, remove = commands
    listeners = []
    try:
        for command in add:
            done = subprocess.run(command, capture_output=True, text=True)
            if done.returncode != 0:
                print(f"wine_server_probe: skipped, {' '.join(command)}: {done.stderr.strip()}")
                return 0
        for address in OPEN:
            listener = socket.socket()
            listener.bind((address, PORT))
            listener.listen(8)
            listeners.append(listener)
        servers = OPEN + REFUSED + SILENT
        out = subprocess.run(["wine", sys.argv[1], str(PORT)] + servers, capture_output=True,
                             text=True, timeout=120).stdout.splitlines()
        answers = dict(line.split(" ", 1) for line in out if not line.startswith("total"))
        total = float(next(line for line in out if line.startswith("total")).split()[1])
        wrong = [s for s in servers if answers.get(s, "").startswith("answers") != (s in OPEN)]
        print(f"wine_server_probe: 20 servers (5 answer, 5 refuse, 10 silent) in {total:.0f} ms")
        for server in servers:
            print(f"  {server} {answers.get(server, 'missing')} ms")
        if wrong or total >= LIMIT_MS:
            print(f"  FAIL: wrong answers {wrong}" if wrong else f"  FAIL: {LIMIT_MS:.0f} ms or more")
            return 1
        print(f"  PASS: under {LIMIT_MS:.0f} ms")
        return 0
    finally:
        for listener in listeners:
            listener.close()
        for command in remove:
            subprocess.run(command, capture_output=True)


if __name__ == "__main__":
    sys.exit(main())
