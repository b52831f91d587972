#!/usr/bin/env python3
"""The manual page, the README, `tavorin --help` and the settings the program
reads tell the same story: the same options, the same settings keys and the
same keys; the changelog, the AppStream releases and the build agree on the
version.

    docs_agree_test.py SOURCE_DIR TAVORIN_BINARY VERSION METAINFO

An entry of the manual page after a line `.\\" pending-merge` comes with
another branch: until then the README must not have it, so that the mark is
taken away, and the entry checked, once it does.
"""

import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

OPTION = re.compile(r"(?<![\w-])(--?[a-z][a-z-]*)")
SETTING_LINE = re.compile(r"^([a-z][a-z0-9-]*)=")
SETTING_TICKS = re.compile(r"`([a-z][a-z0-9-]*)=[^`]*`")
KEY = re.compile(r"(?<![\w+])((?:(?:Ctrl|Alt|Shift|Super)\+)*"
                 r"(?:F\d{1,2}|Escape|Delete|Home|End|Left|Right|Up|Down|Tab|Enter|"
                 r"plus|minus|wheel|[A-Z0-9]))(?![\w+])")
SOURCE_KEY = re.compile(r'constexpr char k\w+\[\] = "([a-z][a-z0-9]*(?:-[a-z0-9]+)*)";')

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def unroff(line):
    """A roff line as the reader sees its words: requests, fonts and quotes gone."""
    line = re.sub(r"^\.\w+\s*", "", line)
    line = line.replace("\\-", "-").replace("\\&", "")
    line = re.sub(r"\\f[BIRP]", "", line)
    return line.replace('"', "")


def man_sections(text):
    sections, name = {}, None
    for line in text.splitlines():
        if line.startswith(".SH "):
            name = line[4:].strip().strip('"')
            sections[name] = []
        elif name is not None:
            sections[name].append(line)
    return sections


def man_entries(lines):
    """The term of each .TP entry, and whether it is marked pending-merge."""
    entries, pending = [], False
    for i, line in enumerate(lines):
        if line.strip() == '.\\" pending-merge':
            pending = True
        elif line.startswith(".TP") and i + 1 < len(lines):
            entries.append((unroff(lines[i + 1]), pending))
            pending = False
    return entries


def readme_sections(text):
    sections, name = {}, ""
    for line in text.splitlines():
        if line.startswith("## "):
            name = line[3:].strip()
            sections[name] = []
        else:
            sections.setdefault(name, []).append(line)
    return sections


def readme_settings(text):
    keys, in_ini = set(), False
    for line in text.splitlines():
        if line.startswith("```"):
            in_ini = line.strip() == "```ini"
        elif in_ini and SETTING_LINE.match(line):
            keys.add(SETTING_LINE.match(line).group(1))
    keys.update(SETTING_TICKS.findall(text))
    return keys


def readme_keys(sections):
    keys = set()
    for name, lines in sections.items():
        if not name.lower().startswith("keys"):
            continue
        for line in lines:
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if line.startswith("|") and cells and not set(cells[0]) <= set("- "):
                keys.update(KEY.findall(cells[0].replace("`", "")))
    keys.discard("keys")
    return keys


def compare(what, documented, pending, readme):
    """`documented` must be in the README, `pending` must not be there yet."""
    for item in sorted(documented - readme):
        failures.append(f"{what} {item} is in the manual page but not in the README")
    for item in sorted(readme - documented - pending):
        failures.append(f"{what} {item} is in the README but not in the manual page")
    for item in sorted(pending & readme):
        failures.append(f"{what} {item} is in the README now: take the pending-merge "
                        "mark off its entry in data/tavorin.1.in")


def check_options(sections, readme, help_text):
    man = set()
    for term, _ in man_entries(sections.get("OPTIONS", [])):
        man.update(OPTION.findall(term))
    shown = set()
    for line in help_text.splitlines():
        item = re.match(r"^\s+(-\S.*?)(?:\s{2,}|$)", line)  # the option, not its text
        if item:
            shown.update(OPTION.findall(item.group(1)))
    check(man, "no options found in the manual page")
    check(man == shown, f"options: manual page {sorted(man)}, --help {sorted(shown)}")
    starting = "\n".join(next((lines for name, lines in readme_sections(readme).items()
                               if name.startswith("Starting")), []))
    long_in_readme = {o for o in OPTION.findall(starting) if o.startswith("--")}
    long_in_man = {o for o in man if o.startswith("--")}
    check(long_in_man == long_in_readme,
          f"long options: manual page {sorted(long_in_man)}, README {sorted(long_in_readme)}")
    synopsis = unroff(" ".join(sections.get("SYNOPSIS", [])))
    check("URL" in synopsis, "the manual page's synopsis takes no URL")
    check("tavorin [URL...]" in readme, "the README does not show tavorin [URL...]")
    check("[アドレス...]" in help_text, "--help does not show the addresses it takes")


def check_settings(sections, readme, source_dir):
    documented, pending = set(), set()
    for term, marked in man_entries(sections.get("SETTINGS", [])):
        match = SETTING_LINE.match(term)
        check(match, f"a SETTINGS entry is not key=value: {term}")
        if match:
            (pending if marked else documented).add(match.group(1))
    check("hardware-acceleration" in documented, "hardware-acceleration is not documented")
    compare("setting", documented, pending, readme_settings(readme))
    read = set()
    app = os.path.join(source_dir, "app")
    for name in os.listdir(app):
        if name.startswith("settings") and name.endswith(".cpp"):
            with open(os.path.join(app, name), encoding="utf-8") as f:
                read.update(SOURCE_KEY.findall(f.read()))
    for key in sorted(read - documented - pending):
        failures.append(f"setting {key} is read by the program but not in the manual page")


def check_keys(sections, readme):
    documented, pending = set(), set()
    for term, marked in man_entries(sections.get("KEYS", [])):
        (pending if marked else documented).update(KEY.findall(term))
    check(len(documented) >= 10, f"too few keys in the manual page: {sorted(documented)}")
    compare("key", documented, pending, readme_keys(readme_sections(readme)))


def check_version(source_dir, version, metainfo):
    with open(os.path.join(source_dir, "data", "changelog"), encoding="utf-8") as f:
        first = f.readline()
    check(first.startswith(f"tavorin ({version}) "), f"changelog starts with {first.strip()}")
    releases = ET.parse(metainfo).getroot().findall("./releases/release")
    check(releases and releases[0].get("version") == version,
          f"the newest AppStream release is not {version}")


def main():
    source_dir, binary, version, metainfo = sys.argv[1:5]
    with open(os.path.join(source_dir, "data", "tavorin.1.in"), encoding="utf-8") as f:
        sections = man_sections(f.read())
    with open(os.path.join(source_dir, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    help_text = subprocess.run([binary, "--help"], capture_output=True, text=True,
                               check=True).stdout
    check_options(sections, readme, help_text)
    check_settings(sections, readme, source_dir)
    check_keys(sections, readme)
    check_version(source_dir, version, metainfo)
    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
