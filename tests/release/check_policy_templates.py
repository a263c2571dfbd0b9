#!/usr/bin/env python3
"""Reads the policy templates as the Group Policy editor would: both files parse as XML in the
policy definitions' namespace, every string, presentation, category and supported-on reference of
the ADMX file is defined, every setting writes the program's policy key, and each setting's
presentation names its own elements. Given the setting names the program itself lists (its
/policy output), the templates must hold exactly those values.

usage: check_policy_templates.py POLICY-FOLDER [SETTING-NAME...]
"""
import re
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
KEY = "Software\\Policies\\TOLM\\VESK Cleaning Wizard"


def fail(why):
    print(f"FAIL: {why}", file=sys.stderr)
    sys.exit(1)


def parse(path):
    try:
        return ElementTree.parse(path).getroot()
    except (OSError, ElementTree.ParseError) as error:
        fail(f"{path}: {error}")


def references(root, kind):
    """Every $(kind.id) in the attributes of the tree."""
    found = set()
    for element in root.iter():
        for value in element.attrib.values():
            found.update(re.findall(r"\$\(" + kind + r"\.([^)]*)\)", value))
    return found


def main():
    if len(sys.argv) < 2:
        fail(__doc__)
    folder = Path(sys.argv[1])
    admx = parse(folder / "VeskCleaningWizard.admx")
    adml = parse(folder / "en-US" / "VeskCleaningWizard.adml")
    if admx.tag != f"{{{NS['p']}}}policyDefinitions":
        fail(f"the ADMX file's root is {admx.tag}")
    if adml.tag != f"{{{NS['p']}}}policyDefinitionResources":
        fail(f"the ADML file's root is {adml.tag}")

    strings = {s.get("id") for s in adml.iterfind("p:resources/p:stringTable/p:string", NS)}
    missing = references(admx, "string") - strings
    if missing:
        fail(f"strings the ADML file lacks: {sorted(missing)}")
    presentations = {
        p.get("id"): p for p in adml.iterfind("p:resources/p:presentationTable/p:presentation", NS)
    }
    missing = references(admx, "presentation") - set(presentations)
    if missing:
        fail(f"presentations the ADML file lacks: {sorted(missing)}")
    categories = {c.get("name") for c in admx.iterfind("p:categories/p:category", NS)}
    supported = {d.get("name") for d in admx.iterfind("p:supportedOn/p:definitions/p:definition", NS)}
    for ref in admx.iterfind(".//p:parentCategory", NS):
        if ref.get("ref") not in categories:
            fail(f"no category {ref.get('ref')}")

    values = []
    for policy in admx.iterfind("p:policies/p:policy", NS):
        name = policy.get("name")
        if policy.get("key") != KEY or policy.get("class") != "Both":
            fail(f"{name} does not write {KEY} for the machine and the user")
        if policy.find("p:supportedOn", NS).get("ref") not in supported:
            fail(f"{name}: no such supported-on definition")
        if policy.get("valueName"):
            values.append(policy.get("valueName"))
        listed = policy.find("p:elements", NS)
        elements = {e.get("id"): e for e in (listed if listed is not None else [])}
        values.extend(e.get("valueName") for e in elements.values())
        shown = re.fullmatch(r"\$\(presentation\.([^)]*)\)", policy.get("presentation") or "")
        if bool(shown) != bool(elements):
            fail(f"{name}: elements and presentation do not go together")
        if shown:
            refs = {box.get("refId") for box in presentations[shown.group(1)]}
            if refs != set(elements):
                fail(f"{name}: the presentation shows {sorted(refs)}, the policy has {sorted(elements)}")

    if len(values) != len(set(values)):
        fail(f"a value written by two settings: {values}")
    expected = sys.argv[2:]
    if expected and sorted(values) != sorted(expected):
        fail(f"the templates write {sorted(values)}; the program reads {sorted(expected)}")
    print(f"policy templates OK: {len(values)} settings")


main()
