"""Callback for the playbook tests: every task's result as one JSON line in $KR_TASK_RESULTS."""

import json
import os

from ansible.plugins.callback import CallbackBase

DOCUMENTATION = """
name: task_results
type: aggregate
short_description: Writes each task's result as a JSON line, for tests
description: One line per host and task, {"task", "host", "status", "result"}, in KR_TASK_RESULTS.
"""


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = "aggregate"
    CALLBACK_NAME = "task_results"
    CALLBACK_NEEDS_ENABLED = True

    def _write(self, result, status):
        # Ansible takes "failed" out of the result it hands on.
        line = {"task": result.task_name, "host": result._host.get_name(), "status": status,
                "result": dict(result._result, failed=status == "failed")}
        with open(os.environ["KR_TASK_RESULTS"], "a", encoding="utf-8") as f:
            f.write(json.dumps(line, ensure_ascii=False, default=str) + "\n")

    def v2_runner_on_ok(self, result):
        self._write(result, "ok")

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._write(result, "failed")

    def v2_runner_on_skipped(self, result):
        self._write(result, "skipped")
