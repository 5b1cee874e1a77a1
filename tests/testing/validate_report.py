#!/usr/bin/env python3
"""Checks run reports against their JSON Schema: validate_report.py SCHEMA REPORT...

Prints each violation with its place in the report and exits 1 when there is one."""
import json
import sys

import jsonschema


def main(argv):
    with open(argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema)
    bad = False
    for path in argv[2:]:
        with open(path, encoding="utf-8") as f:
            report = json.load(f)
        for error in validator.iter_errors(report):
            bad = True
            place = "/".join(str(p) for p in error.absolute_path)
            print(f"{path}: /{place}: {error.message}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
