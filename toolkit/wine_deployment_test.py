#!/usr/bin/env python3
"""A deployment folder made as Deploy Now makes it, from the toolkit's own
folder of the Windows build, and its batch file run by Wine's cmd as a logon
script runs it: the installer it names starts first, then the deployed engine
with the deployed document, which writes its debug file beside itself and
stores its outcome.

Usage: wine_deployment_test.py --toolkit-folder FOLDER --fixture
       toolkit_deployment_fixture.exe [unittest arguments]
The folder is the one that holds QuillonToolkit.exe; the Wine prefix is the
one in WINEPREFIX."""

import argparse
import getpass
import os
import shutil
import socket
import sys
import tempfile
import unittest
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(SOURCE / "engine"))
import wine_end_to_end_test as engine_run  # noqa: E402  the engine's own run helpers

ARGS = None


class BatchFileRun(unittest.TestCase):
    def setUp(self):
        self.root = Path(tempfile.mkdtemp(prefix="quillon-deploy-"))
        prefix = Path(os.environ.get("WINEPREFIX", Path.home() / ".wine"))
        self.status_file = prefix / "drive_c" / "users" / getpass.getuser() / "Quillon_status.log"

    def tearDown(self):
        # The status lines of this test's documents go; other lines stay.
        if self.status_file.exists():
            mark = engine_run.windows_path(self.root)
            kept = [line for line in self.status_file.read_bytes().split(b"\r\n")
                    if line and not line.decode("latin-1").startswith(mark)]
            self.status_file.write_bytes(b"".join(line + b"\r\n" for line in kept))
        shutil.rmtree(self.root, ignore_errors=True)

    def test_batch_file_runs_the_installer_then_the_engine_with_the_document(self):
        # The toolkit's folder as shipped: the engine that the build put beside
        # QuillonToolkit.exe, and an installer (a stand-in that leaves a mark).
        toolkit = self.root / "toolkit"
        toolkit.mkdir()
        built_engine = Path(ARGS.toolkit_folder) / "QuillonEngine.exe"
        self.assertTrue(built_engine.exists(), f"no engine beside the toolkit: {built_engine}")
        shutil.copyfile(built_engine, toolkit / "QuillonEngine.exe")
        shutil.copyfile(ARGS.fixture, toolkit / "MDAC_TYP2.7SP1.EXE")
        documents = self.root / "documents"
        documents.mkdir()
        document = documents / "Office Move 50%.ini"
        document.write_bytes(engine_run.document_text(
            {("GENERAL", "AlwaysRun"): "True"}).encode("ascii"))
        deploy = self.root / "deploy 1"
        deploy.mkdir()

        made = engine_run.wine(ARGS.fixture, engine_run.windows_path(toolkit),
                               engine_run.windows_path(deploy), engine_run.windows_path(document),
                               "1")
        self.assertEqual(made.returncode, 0, made.stdout + made.stderr[-2000:])
        self.assertEqual(made.stdout.replace("\r\n", "\n"),
                         "step Copying MDAC file ...\nstep Copying Quillon Engine ...\n"
                         "step Copying INI file ...\nstep Creating HTML file ...\n"
                         "step Creating batch file ...\nstep Creating start-up batch file ...\n")
        self.assertEqual(sorted(p.name for p in deploy.iterdir()),
                         ["MDAC_TYP2.7SP1.EXE", "Office Move 50%.ini",
                          "Office Move 50%.ini-StageDrivers.bat", "Office Move 50%.ini.bat",
                          "Office Move 50%.ini.html", "QuillonEngine.exe"])
        batch = (deploy / "Office Move 50%.ini.bat").read_bytes().decode("latin-1")
        folder = engine_run.windows_path(deploy)
        self.assertTrue(batch.endswith(
            '\r\nREM -- Run the MDAC udpate first\r\n"' + folder + '\\MDAC_TYP2.7SP1.EXE"\r\n\r\n\r\n'
            'REM -- Run the Quillon Engine with INI\r\n"' + folder + '\\QuillonEngine.exe" "'
            + folder + '\\Office Move 50%%.ini"\r\n'), batch)

        # The logon script's way: cmd runs the batch file from another folder.
        ran = engine_run.wine("cmd", "/c", engine_run.windows_path(deploy / "Office Move 50%.ini.bat"),
                              cwd=self.root, timeout=120)
        self.assertEqual(ran.returncode, 0, ran.stdout + ran.stderr[-2000:])
        self.assertTrue((deploy / "installer ran.txt").exists(), "the installer did not run")

        computer = socket.gethostname().split(".")[0].upper()[:15]
        debug = sorted(deploy.glob("*.debug"))
        self.assertEqual([p.name for p in debug], [computer + ".debug"], ran.stdout)
        lines = engine_run.decode_debug(debug[0].read_bytes()).split("\r\n")
        deployed_document = folder + "\\Office Move 50%.ini"
        self.assertEqual(lines[6:8], ['>> Command line parameter: "' + deployed_document + '"',
                                      ">> Opening INI File: " + deployed_document])
        self.assertIn(">> AlwaysRun: True", lines)
        self.assertFalse([line for line in lines if line.startswith("ERROR: Unable")], lines)
        self.assertIn(">> Finished notification, abort status: False", lines)
        stored = [line for line in self.status_file.read_bytes().decode("latin-1").split("\r\n")
                  if line.startswith(engine_run.windows_path(self.root))]
        self.assertEqual(stored, [deployed_document + ",True"])

    def test_hostile_but_legal_names_run_nothing_but_the_engine(self):
        # Names that cmd would read as commands outside quotes, and as
        # variables unless "%" is doubled. The engine is a stand-in that
        # records its command line; an injected "mkdir" would leave a folder.
        toolkit = self.root / "toolkit"
        toolkit.mkdir()
        shutil.copyfile(ARGS.fixture, toolkit / "QuillonEngine.exe")
        shutil.copyfile(ARGS.fixture, toolkit / "MDAC_TYP2.7SP1.EXE")
        documents = self.root / "documents"
        documents.mkdir()
        name = "Floor & mkdir injected & (2) 50% ^ok.ini"
        (documents / name).write_bytes(engine_run.document_text().encode("ascii"))
        deploy = self.root / "deploy & mkdir injected & (1) %USERNAME% ^x"
        deploy.mkdir()

        made = engine_run.wine(ARGS.fixture, engine_run.windows_path(toolkit),
                               engine_run.windows_path(deploy),
                               engine_run.windows_path(documents / name), "1")
        self.assertEqual(made.returncode, 0, made.stdout + made.stderr[-2000:])
        folder = engine_run.windows_path(deploy)
        batch = (deploy / (name + ".bat")).read_bytes().decode("latin-1")
        self.assertTrue(batch.endswith(
            'REM -- Run the Quillon Engine with INI\r\n"' + folder.replace("%", "%%")
            + '\\QuillonEngine.exe" "' + folder.replace("%", "%%")
            + '\\Floor & mkdir injected & (2) 50%% ^ok.ini"\r\n'), batch)

        # A logon script that names the batch file (cmd /c would strip the
        # quotes of a path holding "&" given on its own command line).
        logon = self.root / "logon.bat"
        logon.write_bytes(('"' + engine_run.windows_path(deploy / (name + ".bat")).replace(
            "%", "%%") + '"\r\n').encode("latin-1"))
        ran = engine_run.wine("cmd", "/c", engine_run.windows_path(logon), cwd=self.root,
                              timeout=120)
        self.assertEqual(ran.returncode, 0, ran.stdout + ran.stderr[-2000:])
        self.assertTrue((deploy / "installer ran.txt").exists(), ran.stdout)
        self.assertEqual((deploy / "engine ran.txt").read_bytes().decode("latin-1"),
                         '"' + folder + '\\' + name + '"\r\n')
        self.assertEqual([p for p in self.root.rglob("injected")], [], ran.stdout)



def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--toolkit-folder", required=True)
    parser.add_argument("--fixture", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
