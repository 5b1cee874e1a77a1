#!/usr/bin/python3
"""Ansible module kr_update: runs kr-updater-cli on one host and judges the run by its report."""

DOCUMENTATION = r"""
---
module: kr_update
short_description: Update the estimating application with kr-updater-cli, or take an update back
description:
  - Runs C(kr-updater-cli) on an update package with C(--install-folder) and C(--report), and
    reads the run report to decide the result.
  - Reports C(changed) only when some file or database of the installation changed. A database
    that the run wrote again with the same tables and rows as before (a table copied over
    itself, the same version text) is marked C(same_data) in the report and counts as
    unchanged, and a dated backup (C(*yyyymmddhhnn.old)) comes with the change it backs up, so a
    second run of the same package is C(ok).
  - Fails on any exit status but 0, and when the report records a file action or a routine
    target (a database that could not be opened or migrated) that failed; C(msg) names each
    routine, database and error.
  - In check mode runs C(--plan), which changes nothing and judges its changes the same way, so
    it predicts C(changed) as the run would report it; in diff mode the plan is shown.
  - With I(state=undone) takes back every run of I(package) not yet taken back, newest first,
    with C(--undo).
  - The run's environment (C(KR_WINDOWS_DIR), C(KR_LOG), C(KR_TRUSTED_KEYS), ...) comes from the
    task's C(environment).
options:
  package:
    description:
      - The update package folder on the host (the folder holding C(KrInst.ini)).
      - Required with I(state=present). With I(state=undone) it selects the runs to take back;
        without it only the newest run not yet taken back is.
    type: path
  install_folder:
    description:
      - The installation to update. Without it the updater uses the folder the application's
        settings name, and only when the application asked for the update today.
      - Required with I(state=undone): its C(UpdateLog) holds the runs to take back.
    type: path
  report:
    description:
      - Where the JSON run report goes on the host (written whole, then renamed into place):
        the run's, in check mode the plan's, with I(state=undone) the last undo's. A run that
        writes no report (refused, already running) removes an earlier one there.
        The report is returned as C(report) either way.
    type: path
  state:
    description: C(present) runs the update, C(undone) takes it back.
    type: str
    choices: [present, undone]
    default: present
  cli:
    description: The path of C(kr-updater-cli); by default it is looked up in C(PATH).
    type: path
requirements:
  - kr-updater (the Debian package) on the host; Python 3 with its standard library.
author: kr-updater developers
"""

EXAMPLES = r"""
- name: Update the estimating application
  kr_update:
    package: /var/tmp/kr-updater/Package2019R0111
    install_folder: /opt/Kelmora2019
    report: /var/lib/kr-updater/last-run.json
  environment:
    KR_LOG: /var/log/kr-updater.log

- name: Take the update back
  kr_update:
    package: /var/tmp/kr-updater/Package2019R0111
    install_folder: /opt/Kelmora2019
    state: undone
"""

RETURN = r"""
report:
  description: The run report (docs/run-report.schema.json); for check mode the plan's
    (C(plan) true), for I(state=undone) the last undo's. Empty when no report was written.
  returned: always
  type: dict
rc:
  description: The exit status of the last C(kr-updater-cli) run.
  returned: always
  type: int
stdout:
  description: What C(kr-updater-cli) printed (the end message and the run's summary).
  returned: always
  type: str
stderr:
  description: Its messages and progress.
  returned: always
  type: str
failures:
  description: What failed, one entry per file action or routine target.
  returned: always
  type: list
  elements: dict
  sample: [{"routine": "Update2019ValR0111", "database": "/opt/Kelmora2019/File/2019/KrVal.mdb",
            "error": "パッケージのデータベースを開けませんでした。元のまま残しました"}]
changed_files:
  description: The files whose content the run changed (or, in check mode, would change).
  returned: always
  type: list
  elements: str
undone:
  description: With I(state=undone), the reports of the runs that were taken back.
  returned: when state is undone
  type: list
  elements: str
"""

import json
import os
import re
import shutil
import tempfile

from ansible.module_utils.basic import AnsibleModule

# kr-updater-cli's exit status for a run (or undo) that went as asked.
EXIT_OK = 0
# The dated backups a run makes beside what it replaces ("KrSet202004071530.old").
DATED_BACKUP = re.compile(r"\d{12}\.old$", re.IGNORECASE)


def read_json(path):
    """The JSON object in path, or None when there is none."""
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def write_whole(path, data):
    """Writes data beside path and renames it into place, so a reader never sees half a file."""
    folder = os.path.dirname(os.path.abspath(path))
    os.makedirs(folder, exist_ok=True)
    fd, temporary = tempfile.mkstemp(prefix=".kr_update.", dir=folder)
    try:
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            json.dump(data, f, ensure_ascii=False, indent=1)
            f.flush()
            os.fsync(f.fileno())
        os.replace(temporary, path)
    except BaseException:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise


def same_path(a, b):
    """True when a and b name the same folder, trailing separators aside."""
    return os.path.normpath(os.path.abspath(a)) == os.path.normpath(os.path.abspath(b))


def failures_of(report):
    """Every failed file action and routine target of a report, as dicts for msg and the caller."""
    found = []
    for action in report.get("actions", []):
        if action.get("outcome") == "failed":
            error = action.get("error") or {}
            found.append({"line": action.get("line"), "keyword": action.get("keyword"),
                          "target": action.get("target"),
                          "error": "%s (%s)" % (error.get("description", ""),
                                                error.get("number", ""))})
    for routine in report.get("routines", []):
        for target in routine.get("targets", []):
            if target.get("outcome") != "failed":
                continue
            errors = [target.get("reason", "")]
            for step in target.get("failures", []):
                error = step.get("error") or {}
                errors.append("%s: %s (%s)" % (step.get("step", ""), error.get("description", ""),
                                               error.get("number", "")))
            found.append({"routine": routine.get("name"), "database": target.get("database"),
                          "error": "; ".join(e for e in errors if e)})
    return found


def describe(failure):
    """One failure as a line of msg."""
    if "routine" in failure:
        return "%s: %s: %s" % (failure["routine"], failure["database"], failure["error"])
    return "KrInst.ini line %s (%s): %s: %s" % (failure["line"], failure["keyword"],
                                               failure["target"], failure["error"])


def changed_files(report):
    """The files whose content the report says changed (or, for a plan, would change)."""
    files = []
    for change in report.get("changes", []):
        path = change.get("path", "")
        # A backup is no change by itself: it comes with the change it backs up, if any.
        if not change.get("before") and DATED_BACKUP.search(path):
            continue
        if change.get("same_data"):
            continue
        files.append(path)
    for routine in report.get("routines", []):
        for target in routine.get("targets", []):
            if target.get("outcome") == "migrated" and target.get("database") not in files:
                files.append(target.get("database"))
    return files


class Updater:
    """One task: the module's parameters and the runs of kr-updater-cli it makes."""

    def __init__(self, module):
        self.module = module
        self.params = module.params
        self.cli = self.params["cli"] or module.get_bin_path("kr-updater-cli", required=True)
        self.scratch = tempfile.mkdtemp(prefix="kr_update.")
        self.result = {"changed": False, "report": {}, "rc": 0, "stdout": "", "stderr": "",
                       "failures": [], "changed_files": []}

    def run(self, arguments):
        """Runs kr-updater-cli with arguments and --report; returns its report (or {})."""
        report_path = os.path.join(self.scratch, "report.json")
        if os.path.exists(report_path):
            os.unlink(report_path)
        rc, out, err = self.module.run_command([self.cli] + arguments + ["--report", report_path])
        report = read_json(report_path) or {}
        self.result.update(rc=rc, stdout=out, stderr=err, report=report)
        return report

    def keep_report(self):
        """Puts the last report at the report option's path; a run that wrote none leaves none
        there, so that an earlier run's report is not collected as this one's."""
        path = self.params["report"]
        if not path:
            return
        if self.result["report"]:
            write_whole(path, self.result["report"])
        elif os.path.lexists(path):
            os.unlink(path)

    def fail(self, msg):
        self.keep_report()
        self.module.fail_json(msg=msg, **self.result)

    def update(self):
        package = self.params["package"]
        if not package:
            self.module.fail_json(msg="state=present needs package", **self.result)
        arguments = [package]
        if self.params["install_folder"]:
            arguments += ["--install-folder", self.params["install_folder"]]
        if self.module.check_mode:
            arguments.append("--plan")
        report = self.run(arguments)
        self.result["failures"] = failures_of(report)
        self.result["changed_files"] = changed_files(report)
        self.result["changed"] = bool(self.result["changed_files"])
        if self.module._diff:  # pylint: disable=protected-access
            self.result["diff"] = {"prepared": self.result["stdout"]}
        rc = self.result["rc"]
        if rc != EXIT_OK or self.result["failures"]:
            lines = [describe(f) for f in self.result["failures"]]
            if not lines:
                lines = [(self.result["stderr"] or self.result["stdout"]).strip()]
            self.fail("kr-updater-cli ended with status %d: %s" % (rc, "\n".join(lines)))
        self.keep_report()

    def runs_to_undo(self):
        """The run reports to take back, newest first: the package's runs not taken back yet, or
        without a package the newest such run."""
        folder = os.path.join(self.params["install_folder"], "UpdateLog")
        try:
            names = [n for n in os.listdir(folder) if re.fullmatch(r"\d{14}(-\d+)?\.json", n)]
        except OSError:
            return []
        # Names are times; a "-n" suffix comes after its plain name.
        names.sort(key=lambda n: (n[:14], len(n), n), reverse=True)
        wanted = self.params["package"]
        found = []
        for name in names:
            path = os.path.join(folder, name)
            report = read_json(path) or {}
            if report.get("kind") != "run" or report.get("plan"):
                continue
            if wanted and not same_path(report.get("package", ""), wanted):
                continue
            if not os.path.exists(path[:-len(".json")] + ".undone"):
                found.append(path)
                if not wanted:
                    break
        return found

    def undo(self):
        if not self.params["install_folder"]:
            self.module.fail_json(msg="state=undone needs install_folder", **self.result)
        runs = self.runs_to_undo()
        self.result["undone"] = []
        for run in runs:
            if self.module.check_mode:
                self.result["changed"] |= bool((read_json(run) or {}).get("changes"))
                self.result["undone"].append(run)
                continue
            report = self.run(["--undo", run, "--install-folder", self.params["install_folder"]])
            if self.result["rc"] != EXIT_OK:
                self.result["failures"] = failures_of(report)
                message = (self.result["stderr"] or self.result["stdout"]).strip()
                self.fail("kr-updater-cli --undo %s ended with status %d: %s"
                          % (run, self.result["rc"], message))
            self.result["undone"].append(run)
            self.result["changed_files"] += [c["path"] for c in report.get("changes", [])]
            self.result["changed"] = self.result["changed"] or bool(report.get("changes"))
        if self.module._diff and runs:  # pylint: disable=protected-access
            self.result["diff"] = {"prepared": "\n".join(["--undo " + r for r in runs])}
        self.keep_report()


def main():
    module = AnsibleModule(
        argument_spec={
            "package": {"type": "path"},
            "install_folder": {"type": "path"},
            "report": {"type": "path"},
            "state": {"type": "str", "choices": ["present", "undone"], "default": "present"},
            "cli": {"type": "path"},
        },
        supports_check_mode=True,
    )
    updater = Updater(module)
    try:
        if module.params["state"] == "undone":
            updater.undo()
        else:
            updater.update()
    finally:
        shutil.rmtree(updater.scratch, ignore_errors=True)
    module.exit_json(**updater.result)


if __name__ == "__main__":
    main()
