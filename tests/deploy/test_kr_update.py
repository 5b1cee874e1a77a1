"""The kr_update module against a stand-in kr-updater-cli that writes a canned report and ends
with a given status."""

import json
import os
import subprocess
import tempfile
import unittest

MODULE = os.path.join(os.path.dirname(__file__), "..", "..", "deploy", "ansible", "library",
                      "kr_update.py")

FAKE_CLI = """#!/usr/bin/python3
import json, os, sys
here = os.path.dirname(os.path.abspath(__file__))
args = sys.argv[1:]
with open(os.path.join(here, "calls"), "a") as f:
    f.write(json.dumps(args) + "\\n")
with open(os.path.join(here, "answer.json")) as f:
    answer = json.load(f)
if answer["report"] is not None:
    with open(args[args.index("--report") + 1], "w") as f:
        json.dump(answer["report"], f)
if "--undo" in args and answer["rc"] == 0:
    open(args[args.index("--undo") + 1][:-5] + ".undone", "w").close()
sys.stdout.write(answer.get("stdout", ""))
sys.stderr.write(answer.get("stderr", ""))
sys.exit(answer["rc"])
"""


def report(changes=(), targets=(), actions=(), kind="run", package="/pkg/"):
    return {"format": 1, "plan": False, "kind": kind, "package": package,
            "install_folder": "/app/", "exit_status": 0, "actions": list(actions),
            "routines": [{"name": "Update2019ValR0111", "targets": list(targets)}],
            "changes": list(changes), "programs": []}


def change(path, before="sha256:1", after="sha256:2", saved=None, same_data=False):
    return {"path": path, "before": before, "after": after, "saved": saved,
            "same_data": same_data}


def target(outcome, database="/app/File/2019年度/KrVal.mdb", reason=""):
    return {"database": database, "outcome": outcome, "reason": reason, "failures": []}


class KrUpdateTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.root = self.dir.name
        self.cli = self.write("kr-updater-cli", FAKE_CLI, executable=True)

    def write(self, name, text, executable=False):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        if executable:
            os.chmod(path, 0o755)
        return path

    def run_module(self, answer, check=False, **params):
        """Runs the module once; returns its result and the stand-in's command lines."""
        self.write("answer.json", json.dumps(answer))
        args = {"cli": self.cli, "install_folder": "/app", "_ansible_check_mode": check,
                "_ansible_diff": True, **params}
        args_file = self.write("args.json", json.dumps({"ANSIBLE_MODULE_ARGS": args}))
        done = subprocess.run(["/usr/bin/python3", MODULE, args_file], capture_output=True,
                              check=False, text=True)
        calls_file = os.path.join(self.root, "calls")
        calls = []
        if os.path.exists(calls_file):
            with open(calls_file, encoding="utf-8") as f:
                calls = [json.loads(line) for line in f]
            os.unlink(calls_file)
        return json.loads(done.stdout), calls

    def test_changed_and_failed_follow_the_report(self):
        backup = "/app/KrMain202612071005.old"
        # The playbook tests see a run, a second run, a broken package and a refusal on the demo;
        # these are the report's other cases.
        rewritten = change("/app/File/KrSet.mdb", saved="/app/File/KrSet202612071005.old",
                           same_data=True)
        cases = [  # name, status, report, check mode, changed, failed, text of msg
            ("a database rewritten as it was", 0, report([rewritten]), False, False, False, ""),
            ("... and planned so", 0, dict(report([rewritten]), plan=True), True, False, False,
             ""),
            ("a database with other rows", 0,
             report([change("/app/File/KrSet.mdb", saved="/s")]), False, True, False, ""),
            ("... and planned so", 0,
             dict(report([change("/app/File/KrSet.mdb")]), plan=True), True, True, False, ""),
            ("only a dated backup", 0, report([change(backup, before=None)]), False, False,
             False, ""),
            ("a database migrated", 0, report(targets=[target("migrated")]), False, True, False,
             ""),
            ("a database left as it was", 4,
             report(targets=[target("failed", reason="開けませんでした")]), False, False, True,
             "Update2019ValR0111: /app/File/2019年度/KrVal.mdb: 開けませんでした"),
            ("a failed target under status 0", 0, report(targets=[target("failed")]), False,
             False, True, "/app/File/2019年度/KrVal.mdb"),
            ("a file action failed", 1,
             report(actions=[{"line": 19, "keyword": "SAVEOLD", "target": "/app/KrMain.exe",
                              "outcome": "failed",
                              "error": {"number": 70, "description": "書き込めません"}}]),
             False, False, True, "line 19 (SAVEOLD): /app/KrMain.exe: 書き込めません (70)"),
        ]
        for name, rc, canned, check, changed, failed, msg in cases:
            with self.subTest(name):
                result, calls = self.run_module({"rc": rc, "report": canned}, check=check,
                                                package="/pkg")
                self.assertEqual(calls[0][:3], ["/pkg", "--install-folder", "/app"])
                self.assertEqual("--plan" in calls[0], check)
                self.assertEqual((result["changed"], result.get("failed", False)),
                                 (changed, failed))
                self.assertIn(msg, result.get("msg", ""))
                self.assertEqual(result["report"], canned)

    def test_undone_takes_back_the_packages_runs_newest_first(self):
        log = "UpdateLog/"
        for name, canned in [("20261207100000.json", report([change("/app/a")])),
                             ("20261207100500.json", report([change("/app/b")])),
                             ("20261207100500-2.json", report(package="/other/")),
                             ("20261207100600.json", report(kind="undo")),
                             ("20261207100700.json", dict(report(), plan=True))]:
            self.write(log + name, json.dumps(canned))
        folder = os.path.join(self.root, log)
        undo = {"rc": 0, "report": report([change("/app/a")], kind="undo")}
        result, calls = self.run_module(undo, state="undone", package="/pkg",
                                        install_folder=self.root)
        self.assertEqual([c[1] for c in calls], [folder + "20261207100500.json",
                                                 folder + "20261207100000.json"])
        self.assertTrue(result["changed"])
        result, calls = self.run_module(undo, state="undone", package="/pkg",
                                        install_folder=self.root)
        self.assertEqual((calls, result["changed"]), ([], False))
        os.unlink(folder + "20261207100000.undone")
        result, _ = self.run_module({"rc": 2, "report": None, "stderr": "変更されたファイル"},
                                    state="undone", package="/pkg", install_folder=self.root)
        self.assertTrue(result["failed"])
        self.assertIn("変更されたファイル", result["msg"])


if __name__ == "__main__":
    unittest.main()
