#!/usr/bin/env python3
"""Fills a folder as a deployment share looks after weeks of logons, for
timing `quillon report`: notification output files in the engine's format
(successes, failed moves, aborted runs, the run-once guard, several runs per
file, US general dates), debug files and e-mail back-ups beside the engine,
the share's own files, and a few damaged files.

Usage: report_share.py FOLDER [--files N] [--users N] [--shared] [--seed N]

--files is the number of output files (default 10,000, about 50 MB);
--users the number of distinct users (default: one per file). With fewer
users than files each user has files of several documents, so the summary
stays the same size while the files grow in number. --shared writes the same
reports into one file for every user (a document without the computer and
outcome in the file name), so one file holds them all.
"""
import argparse
import os
import random
import shutil

EXPLAIN = {
    1801: "the print server has no shared printer of that name; check the share name in the "
          "document against the server's shares, or the printer was already removed.",
    1722: "the print server did not answer; check that it is running and reachable from the "
          "client, and that its Print Spooler service runs and is not blocked by a firewall.",
    3019: "the client does not have this printer's driver and the user may not download it "
          "(print spooler hardening since 2021). Install the driver before the user logs on: "
          "run QuillonEngine /StageDrivers as a computer start-up script (or deploy the driver "
          "by policy), or have the print server offer a package-aware driver; a connection "
          "being moved stays on its old server.",
    5: "the user is not allowed to do this. Since the 2021 print spooler hardening a standard "
       "user may not install printer drivers: install the driver on the client first "
       "(QuillonEngine /StageDrivers as a computer start-up script does, or a policy), or use "
       "a package-aware driver on the print server.",
}
OLD_SERVERS = ["PRT-OLD01", "PRT-OLD02", "PRT-OLD03", "LEGACYPRN"]
NEW_SERVERS = ["PRT-NEW01", "PRT-NEW02"]
QUEUES = ["HP4", "HP5", "Floor2-Color", "Floor3-Mono", "Plotter", "Labels", "Reception",
          "Finance-MFP", "Warehouse", "Board-Room", "Lab-Color", "Mail-Room"]
LOCALS = ["Microsoft Print to PDF", "Microsoft XPS Document Writer", "OneNote (Desktop)", "Fax"]


def general_date(day, seconds):
    """The simulated client's general date: 12/8/2026 6:22:18 PM."""
    hour, rest = divmod(seconds, 3600)
    minute, second = divmod(rest, 60)
    hour12 = 12 if hour % 12 == 0 else hour % 12
    return f"12/{day}/2026 {hour12}:{minute:02}:{second:02} {'AM' if hour < 12 else 'PM'}"


def report(rng, computer, user, printers, old_to_new, outcome):
    """One run's report text as RunMessage holds it, each line led by CR LF.
    The connections a run moves are replaced in `printers`, so a later run
    finds them on the new server."""
    lines = [f"* ----- Computer: {computer} Username: {user} Printers ----- *"]
    if outcome == "already":
        return ("\r\nThis INI file has already succeeded on this machine."
                "\r\nIf you would like to run this INI file again, please save it as a different name or "
                "\r\nplease select the Always Run feature on the General step.")
    for server, queue in printers:
        lines.append(f"\\\\{server}\\{queue} (\\\\{server})")
    for local in rng.sample(LOCALS, rng.randint(1, 3)):
        lines.append(f"Local Printer: {local}")
    server, queue = printers[0]
    lines.append(f"Default Printer:\\\\{server}\\{queue}")
    if outcome == "aborted":
        lines += ["", "Error accessing Active Directory. Try installing an MDAC update.",
                  "> Error Number: -2147016646", "> Error Description: The server is not operational."]
        return "".join("\r\n" + line for line in lines)
    lines += ["", "* ----- Migrating Networked Printers Between Servers ----- *"]
    failed_one = outcome == "failed"
    for index, (server, queue) in enumerate(printers):
        if server not in old_to_new:
            lines.append(f"Printer already migrated: \\\\{server}\\{queue} (\\\\{server})")
            continue
        old, new = f"\\\\{server}\\{queue}", f"\\\\{old_to_new[server]}\\{queue}"
        lines.append(f"Migrating: {old} to {new}")
        if failed_one and index == len(printers) - 1:
            code = rng.choice(list(EXPLAIN))
            lines += [f"Error ({code}) populating network printer: {new}",
                      f"What error {code} means: {EXPLAIN[code]}",
                      f"Not removing {old}: the new connection {new} could not be added."]
        else:
            lines += [f"Populated networked printer: {new}", f"Deleted networked printer: {old}"]
            if index == 0:
                lines.append(f"Set default printer: {new}")
            printers[index] = (old_to_new[server], queue)
    return "".join("\r\n" + line for line in lines)


def output_files(rng, computer, user, runs):
    """One user's runs, days apart, appended as the engine appends them: the
    aborted ones to the FAILED_ file, the others to the SUCCESS_ file."""
    printers = [(rng.choice(OLD_SERVERS), queue) for queue in rng.sample(QUEUES, rng.randint(3, 9))]
    old_to_new = {server: rng.choice(NEW_SERVERS) for server in OLD_SERVERS}
    files = {"SUCCESS_": [], "FAILED_": []}
    day = rng.randint(1, 10)
    succeeded = False
    always_run = rng.random() < 0.5  # the document's AlwaysRun: no guard, a full run each logon
    for _ in range(runs):
        if succeeded and not always_run:
            outcome = "already"
        else:
            outcome = rng.choices(["succeeded", "failed", "aborted"], [78, 18, 4])[0]
        seconds = rng.randint(7 * 3600, 10 * 3600)
        text = (f"\r\n\r\nReport At: {general_date(day, seconds)}\r\n\r\n"
                + report(rng, computer, user, printers, old_to_new, outcome) + "\r\n")
        files["FAILED_" if outcome == "aborted" else "SUCCESS_"].append(text)
        succeeded = succeeded or outcome == "succeeded"
        day += rng.randint(1, 2)
        if day > 28:
            break
    return {prefix: "".join(chunks).encode("ascii") for prefix, chunks in files.items() if chunks}


def scrambled(text):
    """The engine's debug file bytes for a text (UTF-16LE, reordered, summed)."""
    data = text.encode("utf-16-le")
    n = len(data)
    order = [0]
    front, back = 1, n - 1
    while front < back:
        order += [front, back]
        front, back = front + 1, back - 1
    if front == back:
        order.append(front)
    out = bytearray(n)
    previous = 0
    for k, index in enumerate(order):
        previous = (data[index] + previous) % 256
        out[k] = previous
    return bytes(out)


def debug_text(computer, report_path):
    star = "*" * 80
    lines = [star, "*" * 30 + "     BEGIN DEBUG     " + "*" * 29, star,
             ">> Command line parameter: \\\\files\\deploy\\migration.ini",
             ">> Opening INI File: \\\\files\\deploy\\migration.ini",
             ">> This INI file has already successed on this machine.",
             star, "*" * 22 + "     NOTIFICATION VIA FILE OUTPUT     " + "*" * 21, star,
             ">> Writing to notification output file: " + report_path,
             ">> Finished notification, abort status: False",
             star, "*" * 31 + "     END DEBUG     " + "*" * 30, star]
    return "".join(line + "\r\n" for line in lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--users", type=int, default=0)
    parser.add_argument("--shared", action="store_true")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    users = args.users or args.files
    if os.path.exists(args.folder):
        shutil.rmtree(args.folder)
    os.makedirs(args.folder)
    sites = ["north", "south", "east", "west"]
    for site in sites:
        os.makedirs(os.path.join(args.folder, "reports", site))
    # The share's own files.
    with open(os.path.join(args.folder, "migration.ini"), "w", newline="") as f:
        f.write("[GENERAL]\r\nUseActiveDirectory=False\r\nUseManualDefinitions=True\r\n")
    with open(os.path.join(args.folder, "QuillonEngine.exe"), "wb") as f:
        f.write(b"MZ" + bytes(rng.randrange(256) for _ in range(4096)))
    with open(os.path.join(args.folder, "migration.bat"), "w", newline="") as f:
        f.write("@echo off\r\n\\\\files\\deploy\\QuillonEngine.exe \\\\files\\deploy\\migration.ini\r\n")

    total = 0
    made = 0
    index = 0
    seen = set()
    while made < args.files:
        user_index = index % users
        document = index // users
        index += 1
        computer = f"PC{user_index:05d}"
        user = f"user{user_index:05d}"
        seen.add(user_index)
        site = sites[user_index % len(sites)]
        name = f"moves-{2020 + document}.txt" if args.files > users else "moves.txt"
        for prefix, data in output_files(rng, computer, user, rng.randint(2, 16)).items():
            if made == args.files:
                break
            path = os.path.join(args.folder, "reports", site, f"{computer}_{user}_{prefix}{name}")
            # A few damaged files, as a share holds them after crashes and copies.
            damage = made % 331
            if damage == 1:
                data = data[: len(data) * 2 // 3]                       # cut mid-report
            elif damage == 2:
                data = data + b"\0" * 2048                              # a crash's zeros
            elif damage == 3:
                data = b""                                              # empty
            elif damage == 4:
                data = bytes(rng.randrange(256) for _ in range(3000))   # junk under a report's name
            elif damage == 5:
                data = data.replace(b"Local Printer: Fax", b"Local Printer: T\xe9l\xe9copie")  # Windows-1252
            if args.shared:
                path = os.path.join(args.folder, "reports", "site.txt")
            with open(path, "ab" if args.shared else "wb") as f:
                f.write(data)
            total += len(data)
            made += 1
            # The debug file of some computers, beside the engine.
            if document == 0 and user_index % 50 == 0 and prefix == "SUCCESS_":
                text = debug_text(computer, "\\\\files\\deploy\\reports\\" + os.path.basename(path))
                with open(os.path.join(args.folder, computer + ".debug"), "wb") as f:
                    f.write(scrambled(text))
    if args.shared:
        print(f"{args.folder}: 1 shared output file of {total / 1e6:.1f} MB for {len(seen):,} users")
        return
    print(f"{args.folder}: {made:,} output files of {total / 1e6:.1f} MB for {len(seen):,} users")


if __name__ == "__main__":
    main()
