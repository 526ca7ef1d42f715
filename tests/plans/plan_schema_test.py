#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The plan file's JSON Schema against the plans that must pass it and some
that must not: the built-in plan, every plan docs/plans.md shows (its ```json
blocks), this test's own good plans, and bad plans the schema must refuse.

    plan_schema_test.py SCHEMA BUILT_IN_PLAN PLANS_MD
"""
import copy
import json
import re
import sys

try:
    import jsonschema
except ImportError:
    sys.exit("plan_schema_test: no jsonschema module; install python3-jsonschema "
             "(scripts/install-deps test)")

GOOD = {
    "neonate, no limits, one series without its mean": {
        "plan": "p", "version": "v", "patient": "neonate", "limits": {},
        "steps": [{"series": {"set_point": "70.5/45", "count": 2, "pause_s": 0}}],
    },
    "every limit on an end of its range": {
        "plan": "p", "version": "v", "patient": "adult",
        "limits": {"series_min_n": 1000, "inflation_adult_s": 10, "static_mmHg": 0.01,
                   "leak_settle_max_s": 20},
        "steps": [{"leak": {"hold_min_mmHg": 0, "hold_max_mmHg": 300}}],
    },
}


def bad_plans(standard):
    """(name, plan) pairs the schema must refuse, each one fault in the built-in plan."""
    def change(edit):
        plan = copy.deepcopy(standard)
        edit(plan)
        return plan

    def step(index, kind):
        return lambda plan: plan["steps"][index][kind]

    return [
        ("unknown key at the top", change(lambda p: p.update(author="A. Berg"))),
        ("unknown key in a step", change(lambda p: step(0, "leak")(p).update(target_mmHg=250))),
        ("missing version", change(lambda p: p.pop("version"))),
        ("missing limits", change(lambda p: p.pop("limits"))),
        ("missing count", change(lambda p: step(2, "series")(p).pop("count"))),
        ("count as a string", change(lambda p: step(2, "series")(p).update(count="5"))),
        ("count 1", change(lambda p: step(2, "series")(p).update(count=1))),
        ("count 2.5", change(lambda p: step(2, "series")(p).update(count=2.5))),
        ("a point above 300", change(lambda p: step(1, "static")(p)["points_mmHg"].append(301))),
        ("a point below 0", change(lambda p: step(1, "static")(p)["points_mmHg"].append(-1))),
        ("empty points", change(lambda p: step(1, "static")(p).update(points_mmHg=[]))),
        ("a set point of one value", change(lambda p: step(2, "series")(p).update(set_point="120"))),
        ("a set point with two decimals",
         change(lambda p: step(2, "series")(p).update(set_point="120/80.25"))),
        ("a patient other than adult or neonate", change(lambda p: p.update(patient="child"))),
        ("an empty name", change(lambda p: p.update(plan=" "))),
        ("an unknown limit", change(lambda p: p["limits"].update(leak_rate=4))),
        ("a limit out of its range", change(lambda p: p["limits"].update(leak_mmHg_per_min=200))),
        ("a whole-number limit with a fraction",
         change(lambda p: p["limits"].update(series_min_n=5.5))),
        ("a limit as a string", change(lambda p: p["limits"].update(static_mmHg="3"))),
        ("no steps", change(lambda p: p.update(steps=[]))),
        ("a step with two kinds", change(lambda p: p["steps"][0].update(p["steps"][1]))),
        ("an empty step", change(lambda p: p["steps"].append({}))),
        ("not an object", [standard]),
    ]


def documented_plans(markdown):
    return re.findall(r"```json\n(.*?)```", markdown, re.DOTALL)


def main():
    schema_path, built_in_path, plans_md_path = sys.argv[1:4]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    with open(built_in_path, encoding="utf-8") as f:
        standard = json.load(f)
    with open(plans_md_path, encoding="utf-8") as f:
        shown = documented_plans(f.read())
    good = [("the built-in plan", standard)] + list(GOOD.items())
    good += [("docs/plans.md, plan %d" % (i + 1), json.loads(text)) for i, text in enumerate(shown)]
    faults = []
    for name, plan in good:
        errors = [e.message for e in validator.iter_errors(plan)]
        if errors:
            faults.append("%s is refused: %s" % (name, "; ".join(errors)))
    for name, plan in bad_plans(standard):
        if validator.is_valid(plan):
            faults.append("%s passes the schema" % name)
    if len(shown) < 3:
        faults.append("docs/plans.md shows %d plans; at least 3 expected" % len(shown))
    for fault in faults:
        print(fault, file=sys.stderr)
    print("%d good plans pass, %d bad ones are refused" % (len(good), len(bad_plans(standard))))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
