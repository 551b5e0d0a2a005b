#!/usr/bin/env python3
"""QuillonEngine.exe run whole under Wine, as a logon script runs it: copied
into a deployment folder of its own with its document, started with and
without a command line. The test starts the servers the runs talk to (slapd,
an SMTP server) on loopback and reads what the runs leave behind: the debug
file beside the program, the run status in the Wine user's profile, the
printers, the registry, the mail and the event log calls.

Usage: wine_end_to_end_test.py --engine QuillonEngine.exe --fixture
       quillon_wine_fixture.exe --display-prefix PREFIX [unittest arguments]
The Wine prefix is the one in WINEPREFIX; a message box case runs in
PREFIX under an Xvfb of its own (scripts/wine-with-display)."""

import argparse
import base64
import getpass
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
ARGS = None
STARS = "*" * 80


def load_debug_decoder():
    """The decoding of scripts/read-debug-log, the administrators' own reader."""
    path = SOURCE / "scripts" / "read-debug-log"
    namespace = {"__name__": "read_debug_log"}
    exec(compile(path.read_text(), str(path), "exec"), namespace)
    return namespace["decode"]


decode_debug = load_debug_decoder()


def banner(left, title, right):
    return [STARS, "*" * left + title + "*" * right, STARS]


def windows_path(path):
    """The name Wine gives a host path: the Z: drive is the host's root."""
    return "Z:" + str(path).replace("/", "\\")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


# The document's keys in order, every one present; a case changes some.
DOCUMENT = [
    ("GENERAL", [("UseActiveDirectory", "False"), ("UseManualDefinitions", "False"),
                 ("AlwaysRun", "False"), ("ShowProgress", "False")]),
    ("ACTIVE DIRECTORY", [("DomainName", "")]),
    ("MANUAL DEFINITIONS SERVERS", [("FromServers", ""), ("ToServers", "")]),
    ("MANUAL DEFINITIONS PRINTERS", [("FromPrinters", ""), ("ToPrinters", "")]),
    ("MANUAL DEFINITIONS MIXED", [("FromServers", ""), ("FromPrinters", ""),
                                  ("ToServers", ""), ("ToPrinters", "")]),
    ("NOTIFICATION SMTP", [("UseSMTP", "False"), ("SMTPServerNameOrIP", ""),
                           ("ServerPort", "25"), ("EmailSubject", ""), ("EmailTo", ""),
                           ("EmailFrom", "")]),
    ("NOTIFICATION FILE OUTPUT", [("UseFileOutput", "False"), ("FileOutputPath", ""),
                                  ("FileOutputName", ""), ("IncludeComputerName", "False"),
                                  ("IncludeOutcome", "False"), ("WriteToEventLog", "False")]),
    ("NOTIFICATION CLIENT POP-UP", [("UseClientPopup", "False"),
                                    ("UseSuccessClientPopup", "False"), ("SuccessMessage", ""),
                                    ("UseFailureClientPopup", "False"), ("FailureMessage", "")]),
    ("DEPLOYMENT", [("DeploymentPath", ""), ("CreateWebLaunchPage", "False"),
                    ("CreateBatchFile", "False"), ("IncludeMDAC", "False"), ("MDACOption", "0")]),
    ("POPULATE", [("ServerNames", ""), ("PrinterNames", "")]),
    ("PRUNE", [("ServerNames", ""), ("PrinterNames", ""), ("DeleteADOrphans", "False"),
               ("DeleteAllNonNetworked", "False")]),
    ("PRINTER_DRIVER", [("PrinterName", ""), ("DriverName", ""), ("DriverFileName", ""),
                        ("PortName", ""), ("DriverSharePath", "")]),
    ("SET_DEFAULT", [("DefaultType", "0"), ("DefaultPrinterName", "")]),
    ("SUPPORT", [("DebugOn", "True")]),
]


def document_text(changes=None):
    changes = changes or {}
    lines = []
    for section, keys in DOCUMENT:
        lines.append("[" + section + "]")
        for key, value in keys:
            lines.append(key + "=" + changes.get((section, key), value))
    return "\r\n".join(lines) + "\r\n"


# What the engine logs of the unchanged document above.
SETTINGS_LOG = """>> UseActiveDirectory: False
>> UseManualDefinitions: False
>> AlwaysRun: False
>> ShowProgress: False
>> DomainName: 
>> Server to Server Pairs <<
>> From Server: 
>> To Server: 
>> Printer to Printer Pairs <<
>> From Printer: 
>> To Printer: 
>> Mixed to Mixed Pairs <<
>> From Server: 
>> From Printer: 
>> To Server: 
>> To Printer: 
>> UseSMTP: False
>> SMTPServerNameOrIP: 
>> ServerPort: 25
>> EmailSubject: 
>> Email To Addresses <<
>> To Email Address: 
>> EmailFrom: 
>> UseFileOutput: False
>> FileOutputPath: 
>> FileOutputName: 
>> IncludeComputerName: False
>> IncludeOutcome: False
>> WriteToEventLog: False
>> UseClientPopup: False
>> UseSuccessClientPopup: False
>> SuccessMessage: 
>> UseFailureClientPopup: False
>> FailureMessage: 
>> DeploymentPath: 
>> CreateHTMLLaunchPage: False
>> CreateBatchFile: False
>> IncludeMDAC: False
>> MDACOption: 0
>> Populate <<
>> Server Name: 
>> Printer Name: 
>> Prune <<
>> Server Name: 
>> Printer Name: 
>> Delete AD Orphans: False
>> Delete All Non-Networked: False
>> Printer Driver <<
>> Printer Name: 
>> Driver Name: 
>> Driver File Name: 
>> Port Name: 
>> Driver Share Path: 
>> DebugOn: True""".split("\n")


def wine(*command, cwd=None, env=None, timeout=60):
    """Runs a Windows program and returns when it ends. Its output goes to
    files, not pipes: Wine's own service processes inherit the descriptors and
    would hold a pipe open for seconds after the program has ended."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run(["wine", *map(str, command)], cwd=cwd, env=env,
                                timeout=timeout, stdout=out, stderr=err)
        out.seek(0)
        err.seek(0)
        result.stdout = out.read().decode("utf-8", "replace")
        result.stderr = err.read().decode("utf-8", "replace")
    return result


def fixture(*commands):
    return wine(ARGS.fixture, *commands)


class Deployment:
    """A deployment folder with the engine and its documents."""

    def __init__(self, root, name="deploy"):
        self.folder = Path(root) / name
        self.folder.mkdir()
        self.engine = self.folder / "QuillonEngine.exe"
        shutil.copyfile(ARGS.engine, self.engine)

    def write(self, name, changes=None, encoding="ascii", targeting=None):
        """The document in `encoding`: "utf-16" is Notepad's Unicode, with its mark.
        `targeting` adds a [TARGETING] section with those keys."""
        text = document_text(changes)
        if targeting:
            text += "[TARGETING]\r\n" + "".join(f"{key}={value}\r\n"
                                                for key, value in targeting.items())
        path = self.folder / name
        path.write_bytes(text.encode(encoding))
        return path

    def run(self, command_line=None, cwd=None, env=None):
        """Runs the engine once with `command_line` as its one argument."""
        args = [self.engine] if command_line is None else [self.engine, command_line]
        return wine(*args, cwd=cwd or self.folder, env=env)

    def debug_lines(self):
        files = sorted(self.folder.glob("*.debug"))
        assert len(files) == 1, f"debug files: {files}"
        data = files[0].read_bytes()
        text = decode_debug(data)
        assert len(data) == 2 * len(text)
        assert text.endswith("\r\n")
        return files[0].name, text[:-2].split("\r\n")


class WineRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = Path(tempfile.mkdtemp(prefix="quillon-wine-"))
        prefix = Path(os.environ.get("WINEPREFIX", Path.home() / ".wine"))
        cls.status_file = prefix / "drive_c" / "users" / getpass.getuser() / "Quillon_status.log"
        state = fixture("printers", "default")
        cls.printers = [line[len("printer: "):] for line in state.stdout.splitlines()
                        if line.startswith("printer: ")]
        cls.default_printer = next(line[len("default: "):] for line in state.stdout.splitlines()
                                   if line.startswith("default: "))
        cls.computer = socket.gethostname().split(".")[0].upper()[:15]

    @classmethod
    def tearDownClass(cls):
        # The status lines of this test's documents go; other lines stay.
        if cls.status_file.exists():
            mark = windows_path(cls.root)
            kept = [line for line in cls.status_file.read_bytes().split(b"\r\n")
                    if line and not line.decode("latin-1").startswith(mark)]
            cls.status_file.write_bytes(b"".join(line + b"\r\n" for line in kept))
        shutil.rmtree(cls.root, ignore_errors=True)

    def setUp(self):
        self.case = Path(tempfile.mkdtemp(dir=self.root))

    def status_lines(self):
        if not self.status_file.exists():
            return []
        mark = windows_path(self.case)
        return [line for line in self.status_file.read_bytes().decode("latin-1").split("\r\n")
                if line.startswith(mark)]

    def inventory_lines(self):
        """The printer inventory and the default printer capture as this prefix answers them."""
        lines = [">> Getting client's list of printers <<", ">> * ----- My Printers ----- * <<"]
        lines += [">> Found local printer: " + name for name in self.printers]
        lines.append(">> Finished getting network printers, abort status: False")
        if self.default_printer:
            lines.append("Default printer:" + self.default_printer)
        else:
            lines += ["ERROR: No default printer set.", "SYSTEM ERROR: 2"]
        return lines

    def assert_ran(self, result):
        self.assertEqual(result.returncode, 0, result.stderr[-2000:])

    def test_document_on_the_command_line_runs_once(self):
        deploy = Deployment(self.case)
        document = deploy.write("Office Move.ini")
        # Wine quotes an argument that holds blanks, as the logon script does.
        command_line = '"' + windows_path(document) + '"'
        first = deploy.run(windows_path(document))
        self.assert_ran(first)

        name, lines = deploy.debug_lines()
        self.assertEqual(name, self.computer + ".debug")
        opening = (banner(30, "     BEGIN DEBUG     ", 29)
                   + banner(24, "     COMMAND LINE PARAMETERS    ", 23)
                   + [">> Command line parameter: " + command_line,
                      ">> Opening INI File: " + windows_path(document)]
                   + SETTINGS_LOG)
        closing = banner(31, "     END DEBUG     ", 30)
        self.assertEqual(lines, opening
                         + [">> Running Quillon, abort status: False"]
                         + banner(28, "     NETWORK PRINTERS    ", 27)
                         + self.inventory_lines()
                         + [">> Finished notification, abort status: False"]
                         + closing)
        self.assertEqual(self.status_lines(), [windows_path(document) + ",True"])

        # The next logon: the guard stops the run before the printers.
        second = deploy.run(windows_path(document))
        self.assert_ran(second)
        _, lines = deploy.debug_lines()
        self.assertEqual(lines, opening
                         + [">> This INI file has already successed on this machine.",
                            ">> Finished notification, abort status: False"]
                         + closing)
        self.assertEqual(self.status_lines(), [windows_path(document) + ",True"])

    def test_document_is_found_in_the_program_folder(self):
        deploy = Deployment(self.case)
        deploy.write("first.ini", {("GENERAL", "AlwaysRun"): "True"})
        # Started from elsewhere: the program's own folder is searched.
        result = deploy.run(cwd=self.case)
        self.assert_ran(result)
        _, lines = deploy.debug_lines()
        document = windows_path(deploy.folder / "first.ini")
        self.assertEqual(lines[6:10], [">> Command line parameter: ",
                                       ">> First found INI file : first.ini",
                                       ">> Opening INI File: " + document,
                                       ">> UseActiveDirectory: False"])
        self.assertIn(">> AlwaysRun: True", lines)
        self.assertEqual(lines[-4], ">> Finished notification, abort status: False")
        self.assertEqual(self.status_lines(), [document + ",True"])

    def test_local_printer_is_added_made_default_read_and_removed(self):
        self.check_local_printer("Quillon End To End " + str(os.getpid()), "ascii")

    def test_local_printer_outside_the_code_page_is_added_and_removed(self):
        # The prefix's code page is 1252, which has no "Ł" or "ź": the
        # document names it in UTF-16, the engine passes it on whole.
        self.check_local_printer("Quillon Łódź " + str(os.getpid()), "utf-16")

    def check_local_printer(self, printer, encoding):
        tag = str(os.getpid())
        driver = "Quillon End To End Driver " + tag
        installed = fixture("install-driver", driver)
        self.assertEqual(installed.returncode, 0, installed.stdout)
        try:
            deploy = Deployment(self.case)
            manual = {("GENERAL", "UseManualDefinitions"): "True",
                      ("GENERAL", "AlwaysRun"): "True",
                      ("PRINTER_DRIVER", "PrinterName"): printer,
                      ("PRINTER_DRIVER", "DriverName"): driver,
                      ("PRINTER_DRIVER", "PortName"): "FILE:"}
            add = deploy.write("add.ini", {**manual,
                                           ("POPULATE", "ServerNames"): ".",
                                           ("POPULATE", "PrinterNames"): printer,
                                           ("SET_DEFAULT", "DefaultType"): "2",
                                           ("SET_DEFAULT", "DefaultPrinterName"): printer},
                               encoding)
            self.assert_ran(deploy.run(windows_path(add)))
            _, lines = deploy.debug_lines()
            self.assertIn(">> Populated local printer: " + printer, lines)
            self.assertIn("Set default printer: " + printer, lines)
            errors = [line for line in lines if line.startswith("ERROR")]
            self.assertIn(errors, ([], ["ERROR: No default printer set."]))

            remove = deploy.write("remove.ini", {**manual,
                                                 ("PRUNE", "ServerNames"): ".",
                                                 ("PRUNE", "PrinterNames"): printer}, encoding)
            self.assert_ran(deploy.run(windows_path(remove)))
            _, lines = deploy.debug_lines()
            self.assertIn(">> Found local printer: " + printer, lines)
            self.assertIn("Default printer:" + printer, lines)
            self.assertIn(">> Removed local printer: " + printer, lines)
            self.assertEqual(self.status_lines(), [windows_path(add) + ",True",
                                                   windows_path(remove) + ",True"])
        finally:
            cleared = fixture("remove-printer", printer, "remove-driver", driver, "printers")
            self.assertEqual(cleared.returncode, 0, cleared.stdout)
            self.assertNotIn("printer: " + printer, cleared.stdout)

    def test_targeting_reads_the_tokens_groups_the_site_and_the_addresses(self):
        deploy = Deployment(self.case)
        # Wine's token holds the builtin Users group ("BUILTIN\\Users"), which a
        # document names plainly; every address lies in one of the two networks.
        pilot = deploy.write("pilot.ini", targeting={
            "UseTargeting": "True", "UserGroups": "NoSuchGroup, Users",
            "Subnets": "0.0.0.0/0, ::/0"})
        self.assert_ran(deploy.run(windows_path(pilot)))
        _, lines = deploy.debug_lines()
        met = [line for line in lines if line.startswith(">> Targeted: ")]
        self.assertEqual(len(met), 2, lines)
        self.assertRegex(met[0], r"^>> Targeted: computer \S+ has address [0-9a-f.:]+ in "
                                 r"(0\.0\.0\.0/0|::/0)$")
        self.assertRegex(met[1], r"^>> Targeted: user .+ is in group Users$")
        self.assertIn(">> Running Quillon, abort status: False", lines)

        # Not targeted: the reason ends the run, which stores no outcome.
        for name, targeting, reason in [
                ("group.ini", {"UserGroups": "NoSuchGroup"},
                 r"user .+ is in none of the groups NoSuchGroup"),
                ("site.ini", {"Sites": "Default-First-Site-Name"},
                 r"the site of computer \S+ cannot be found \(.+\)")]:
            document = deploy.write(name, targeting={"UseTargeting": "True", **targeting})
            self.assert_ran(deploy.run(windows_path(document)))
            _, lines = deploy.debug_lines()
            self.assertRegex(lines[-4], "^>> Not targeted: " + reason + "$")
            self.assertNotIn(">> Running Quillon, abort status: False", lines)
        self.assertEqual(self.status_lines(), [windows_path(pilot) + ",True"])

    def test_directory_is_queried_from_slapd_through_wldap32(self):
        # More queues than the server hands out unpaged: only paging reads them all.
        many = [(f"cn=PRTSRV4-Q{n:04},ou=Printers,dc=corp,dc=example",
                 Slapd.queue(f"PRTSRV4-Q{n:04}", f"Q{n:04}")) for n in range(1200)]
        with Slapd(self.case / "slapd", [
                ("ou=Printers,dc=corp,dc=example", ["objectClass: organizationalUnit",
                                                    "ou: Printers"]),
                ("cn=PRTSRV2-HP4,ou=Printers,dc=corp,dc=example", Slapd.queue("PRTSRV2-HP4", "HP4")),
                ("cn=PRTSRV3-Color,ou=Printers,dc=corp,dc=example",
                 Slapd.queue("PRTSRV3-Color", "Color", "Colour")),
                *many], size_limit=1000) as server:
            deploy = Deployment(self.case)
            domain = f"127.0.0.1:{server.port}/dc=corp,dc=example"
            document = deploy.write("ad.ini", {("GENERAL", "UseActiveDirectory"): "True",
                                               ("ACTIVE DIRECTORY", "DomainName"): domain})
            self.assert_ran(deploy.run(windows_path(document)))
        _, lines = deploy.debug_lines()
        start = lines.index(">> Moving Printers Using AD <<")
        # slapd offers no Negotiate: the refused bind with the user's own
        # credentials is logged with wldap32's reason, then the anonymous one works.
        fallback = ">> Binding with the user's credentials failed, trying anonymously: "
        self.assertTrue(lines[start + 1].startswith(fallback), lines[start + 1])
        self.assertGreater(len(lines[start + 1]), len(fallback))
        del lines[start + 1]
        self.assertEqual(lines[start:start + 6], [
            ">> Moving Printers Using AD <<",
            ">> Created connection to AD: LDAP://" + domain,
            ">> Querying AD for printers, command:Select name, printShareName FROM 'LDAP://"
            + domain + "' WHERE objectCategory='printQueue'",
            ">> * ----- AD Printers ----- * <<",
            ">> AD Printer: HP4 (\\\\PRTSRV2\\HP4)",
            ">> AD Printer: Color (\\\\PRTSRV3\\Color)",
        ])
        published = [line for line in lines if line.startswith(">> AD Printer: ")]
        self.assertEqual(published[2:], [f">> AD Printer: Q{n:04} (\\\\PRTSRV4\\Q{n:04})"
                                         for n in range(1200)])
        self.assertIn(">> Finished getting list of AD printers, abort status: False", lines)
        self.assertEqual(self.status_lines(), [windows_path(document) + ",True"])

    def test_directory_names_beyond_the_code_page_are_read_whole(self):
        # The prefix's code page is 1252: "Büro" has a form there, "Łódź" has
        # not; both come through whole, as the directory's UTF-8 is kept.
        printers = "ou=Printers,dc=corp,dc=example"
        with Slapd(self.case / "slapd", [
                (printers, ["objectClass: organizationalUnit", "ou: Printers"]),
                (f"cn=PRTSRV2-Büro,{printers}", Slapd.queue("PRTSRV2-Büro", "Büro")),
                (f"cn=PRTSRV2-Łódź,{printers}", Slapd.queue("PRTSRV2-Łódź", "Łódź"))]) as server:
            deploy = Deployment(self.case)
            domain = f"127.0.0.1:{server.port}/dc=corp,dc=example"
            document = deploy.write("ad.ini", {("GENERAL", "UseActiveDirectory"): "True",
                                               ("ACTIVE DIRECTORY", "DomainName"): domain,
                                               ("PRUNE", "DeleteADOrphans"): "True"})
            self.assert_ran(deploy.run(windows_path(document)))
        _, lines = deploy.debug_lines()
        published = [line for line in lines if line.startswith(">> AD Printer: ")]
        self.assertEqual(published, [">> AD Printer: Büro (\\\\PRTSRV2\\Büro)",
                                     ">> AD Printer: Łódź (\\\\PRTSRV2\\Łódź)"])
        self.assertIn(">> Finished getting list of AD printers, abort status: False", lines)

    def test_event_log_calls_are_made(self):
        deploy = Deployment(self.case)
        key = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\EventLog\\Application\\Quillon"
        # An earlier run's registration would be kept; this run makes its own.
        wine("reg", "delete", key, "/v", "EventMessageFile", "/f")
        document = deploy.write("event.ini", {("GENERAL", "AlwaysRun"): "True",
                                              ("NOTIFICATION FILE OUTPUT", "WriteToEventLog"):
                                                  "True"})
        # Wine keeps no event log; its trace channel shows each report.
        env = dict(os.environ, WINEDEBUG="-all,+eventlog,fixme+advapi")
        result = deploy.run(windows_path(document), env=env)
        self.assert_ran(result)
        _, lines = deploy.debug_lines()
        self.assertIn(">> Logged event in application event log.", lines)
        self.assertFalse([line for line in lines if line.startswith("ERROR: Writing event")])
        reports = [line for line in result.stderr.splitlines() if "ReportEventW (" in line]
        self.assertEqual(len(reports), 1, result.stderr[-3000:])
        # Information (4), category 0, event 20001, one insertion string.
        self.assertRegex(reports[0], r"ReportEventW \([0-9A-F]+,0x0004,0x0000,0x00004e21,"
                                     r"0+,0x0001,0x[0-9a-f]{8},")
        self.assertIn('ReportEventW L"\\r\\n* ----- Computer: ' + self.computer, result.stderr)
        # The engine names itself: it carries the message table of its events.
        registered = fixture("registry", key + "\\EventMessageFile")
        self.assertEqual(registered.stdout.strip().lower(), windows_path(deploy.engine).lower())

    def test_report_is_mailed_over_smtp(self):
        with SmtpServer() as smtp:
            deploy = Deployment(self.case)
            document = deploy.write("mail.ini", {
                ("GENERAL", "AlwaysRun"): "True",
                ("NOTIFICATION SMTP", "UseSMTP"): "True",
                ("NOTIFICATION SMTP", "SMTPServerNameOrIP"): "127.0.0.1",
                ("NOTIFICATION SMTP", "ServerPort"): str(smtp.port),
                ("NOTIFICATION SMTP", "EmailSubject"): "Printer move",
                ("NOTIFICATION SMTP", "EmailTo"): "admin@corp.example",
                ("NOTIFICATION SMTP", "EmailFrom"): "quillon@corp.example"})
            result = deploy.run(windows_path(document))
            self.assert_ran(result)
            messages = smtp.wait_for(1)
        _, lines = deploy.debug_lines()
        self.assertEqual(len(messages), 1, "\n".join(lines[-30:]))
        mail_from, recipients, content = messages[0]
        self.assertEqual(mail_from, "quillon@corp.example")
        self.assertEqual(recipients, ["admin@corp.example"])
        subject = next(line for line in content.split("\r\n") if line.startswith("Subject: "))
        self.assertTrue(subject.endswith(" Printer move"), subject)
        # Date with the zone Windows gives, Message-ID named after the HELO.
        headers = content.split("\r\n\r\n")[0].split("\r\n")
        date = next(line for line in headers if line.startswith("Date: "))
        self.assertRegex(date, r"^Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d\d "
                               r"(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} "
                               r"\d\d:\d\d:\d\d [+-]\d{4}$")
        message_id = next(line for line in headers if line.startswith("Message-ID: "))
        self.assertRegex(message_id, r"^Message-ID: <\d{14}\.[0-9a-f]{16}@"
                                     r"([A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+|\[127\.0\.0\.1\])>$")
        self.assertIn("* ----- Computer: " + self.computer + " Username: ", content)
        self.assertEqual(list(deploy.folder.glob("*_EmailFailure.txt")), [])
        self.assertFalse([line for line in lines if line.startswith("ERROR: Sending SMTP email")])

    def test_message_box_waits_for_the_user(self):
        """No document at all: the run stops at its "Error" box until it is
        answered, and writes its debug file only then."""
        deploy = Deployment(self.case)
        # A box never found must not leave the engine waiting for the timeout.
        script = ('wine "$1" & engine=$!; wine "$2" answer-box Error; status=$?; '
                  'if [ $status -ne 0 ]; then wineserver -k; fi; wait $engine; exit $status')
        runner = subprocess.Popen(
            [str(SOURCE / "scripts" / "wine-with-display"), ARGS.display_prefix, "bash", "-c",
             script, "run", str(deploy.engine), ARGS.fixture],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            shown = runner.stdout.readline().rstrip("\r\n")
            waiting = not list(deploy.folder.glob("*.debug"))
            # Only now is the box answered: the run must not have gone on before.
            out, err = runner.communicate(input="go\n", timeout=120)
        finally:
            if runner.poll() is None:
                runner.kill()
        self.assertEqual(runner.returncode, 0, shown + out + err[-2000:])
        self.assertEqual(shown, "Unable to find INI file. Please check your deployment and try again.")
        self.assertTrue(waiting, "the run went on while the box was up")
        _, lines = deploy.debug_lines()
        self.assertEqual(lines[6:9], [">> Command line parameter: ",
                                      ">> First found INI file : ",
                                      "ERROR: Unable to find an INI File."])


class Slapd:
    """A throw-away slapd on a free loopback port with its own configuration and
    the print queue schema the engine reads."""

    SCHEMA = """attributetype ( 1.3.6.1.4.1.99999.1.1.1 NAME 'printShareName'
  EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 )
attributetype ( 1.3.6.1.4.1.99999.1.1.2 NAME 'objectCategory'
  EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15 SINGLE-VALUE )
objectclass ( 1.3.6.1.4.1.99999.1.2.1 NAME 'printQueue' SUP top STRUCTURAL
  MUST ( cn $ objectCategory ) MAY ( name $ printShareName ) )
"""

    @staticmethod
    def line(attribute, value):
        """An LDIF line; a value beyond ASCII goes in base64, as LDIF asks."""
        if value.isascii():
            return attribute + ": " + value
        return attribute + ":: " + base64.b64encode(value.encode("utf-8")).decode("ascii")

    @staticmethod
    def queue(name, *shares):
        return (["objectClass: printQueue", "objectCategory: printQueue", Slapd.line("cn", name),
                 Slapd.line("name", name)]
                + [Slapd.line("printShareName", share) for share in shares])

    def __init__(self, folder, entries, size_limit=1000):
        self.folder = Path(folder)
        self.entries = entries
        self.size_limit = size_limit
        self.process = None

    def __enter__(self):
        if not (Path("/usr/sbin/slapd").exists() and Path("/usr/sbin/slapadd").exists()):
            if os.environ.get("CI"):
                raise AssertionError("slapd is not installed (scripts/setup installs it)")
            raise unittest.SkipTest("slapd is not installed")
        self.folder.mkdir()
        (self.folder / "db").mkdir()
        (self.folder / "quillon.schema").write_text(self.SCHEMA)
        modules = ("modulepath /usr/lib/ldap\nmoduleload back_mdb\n"
                   if Path("/usr/lib/ldap/back_mdb.so").exists() else "")
        (self.folder / "slapd.conf").write_text(
            'include "/etc/ldap/schema/core.schema"\n'
            f'include "{self.folder}/quillon.schema"\n'
            f'pidfile "{self.folder}/slapd.pid"\n{modules}'
            # A directory server's cap on unpaged results; paged searches read all.
            f"sizelimit size.soft={self.size_limit} size.hard={self.size_limit} "
            "size.prtotal=unlimited\n"
            "access to * by * read\n\ndatabase mdb\n"
            'suffix "dc=corp,dc=example"\nrootdn "cn=admin,dc=corp,dc=example"\n'
            f'directory "{self.folder}/db"\nmaxsize 16777216\n')
        ldif = ["dn: dc=corp,dc=example", "objectClass: dcObject", "objectClass: organization",
                "dc: corp", "o: corp", ""]
        for dn, attributes in self.entries:
            ldif += [Slapd.line("dn", dn), *attributes, ""]
        (self.folder / "entries.ldif").write_text("\n".join(ldif) + "\n")
        subprocess.run(["/usr/sbin/slapadd", "-q", "-f", str(self.folder / "slapd.conf"),
                        "-l", str(self.folder / "entries.ldif")], check=True,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        self.port = free_port()
        self.process = subprocess.Popen(
            ["/usr/sbin/slapd", "-h", f"ldap://127.0.0.1:{self.port}/", "-f",
             str(self.folder / "slapd.conf"), "-d", "0"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                return self
            except OSError:
                if self.process.poll() is not None:
                    break
                time.sleep(0.02)
        self.__exit__(None, None, None)
        raise AssertionError("slapd did not start")

    def __exit__(self, *exc):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class SmtpServer:
    """aiosmtpd on a free loopback port, keeping what it receives."""

    def __enter__(self):
        try:
            from aiosmtpd.controller import Controller
        except ImportError:
            if os.environ.get("CI"):
                raise AssertionError("aiosmtpd is missing (scripts/setup installs python3-aiosmtpd)")
            raise unittest.SkipTest("aiosmtpd is missing")
        self.messages = []
        self.arrived = threading.Condition()
        server = self

        class Keeper:
            async def handle_DATA(self, smtp, session, envelope):
                with server.arrived:
                    server.messages.append((envelope.mail_from, list(envelope.rcpt_tos),
                                            envelope.original_content.decode("latin-1")))
                    server.arrived.notify_all()
                return "250 Message accepted for delivery"

        self.port = free_port()
        self.controller = Controller(Keeper(), hostname="127.0.0.1", port=self.port)
        self.controller.start()
        return self

    def wait_for(self, count, seconds=10):
        with self.arrived:
            self.arrived.wait_for(lambda: len(self.messages) >= count, seconds)
            return list(self.messages)

    def __exit__(self, *exc):
        self.controller.stop()


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--engine", required=True)
    parser.add_argument("--fixture", required=True)
    parser.add_argument("--display-prefix", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
