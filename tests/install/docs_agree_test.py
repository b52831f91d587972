#!/usr/bin/env python3
"""The manual page, the README, `tavorin --help`, the settings the program reads and
the settings window tell of the same options, settings keys and keys; the changelog, the AppStream
releases and the build agree on the version.

    docs_agree_test.py SOURCE_DIR TAVORIN_BINARY VERSION METAINFO
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
WINDOW_KEY = re.compile(r'\.key = "([a-z][a-z0-9-]*)"')
SOURCE_KEY = re.compile(r'constexpr char k\w+\[\] = "([a-z][a-z0-9]*(?:-[a-z0-9]+)*)";')

source_dir, binary, version, metainfo = sys.argv[1:5]
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def read(*path):
    with open(os.path.join(*path), encoding="utf-8") as f:
        return f.read()


def unroff(line):
    """A roff line as the reader sees its words: requests, fonts and quotes gone."""
    line = re.sub(r"^\.\w+\s*", "", line)
    line = re.sub(r"\\f[BIRP]", "", line.replace("\\-", "-").replace("\\&", ""))
    return line.replace('"', "")


def sections(text, heading):
    """The lines under each heading (a line starting with `heading`), by its name."""
    parts = re.split(f"^{re.escape(heading)}(.*)\n?", text, flags=re.M)
    return {name.strip().strip('"'): body.splitlines()
            for name, body in zip(parts[1::2], parts[2::2])}


def man_entries(man, section):
    """The term of each .TP entry of a section of the manual page."""
    lines = man.get(section, [])
    return [unroff(lines[i + 1]) for i, line in enumerate(lines)
            if line.startswith(".TP") and i + 1 < len(lines)]


man = sections(read(source_dir, "data", "tavorin.1.in"), ".SH ")
readme = read(source_dir, "README.md")
readme_parts = sections(readme, "## ")
help_text = subprocess.run([binary, "--help"], capture_output=True, text=True, check=True).stdout

# Options: the manual page's, those --help shows (the option, not its text)
# and the long ones in the README's "Starting" section.
man_options = {o for term in man_entries(man, "OPTIONS") for o in OPTION.findall(term)}
shown = {o for line in help_text.splitlines()
         if (item := re.match(r"^\s+(-\S.*?)(?:\s{2,}|$)", line))
         for o in OPTION.findall(item.group(1))}
check(man_options, "no options found in the manual page")
starting = "\n".join(next((lines for name, lines in readme_parts.items()
                           if name.startswith("Starting")), []))
long_in_readme = {o for o in OPTION.findall(starting) if o.startswith("--")}
check("URL" in unroff(" ".join(man.get("SYNOPSIS", []))),
      "the manual page's synopsis takes no URL")
check("tavorin [URL...]" in readme, "the README does not show tavorin [URL...]")
check("[アドレス...]" in help_text, "--help does not show the addresses it takes")

# Settings keys: the manual page's, the README's (in ini blocks and `key=value`)
# and those the program reads in settings/settings*.cpp.
settings = man_entries(man, "SETTINGS")
for term in settings:
    check(SETTING_LINE.match(term), f"a SETTINGS entry is not key=value: {term}")
documented = {m.group(1) for term in settings if (m := SETTING_LINE.match(term))}
check("hardware-acceleration" in documented, "hardware-acceleration is not documented")
in_readme = set(SETTING_TICKS.findall(readme))
for block in re.findall(r"^```ini[ \t]*\n(.*?)^```", readme, re.M | re.S):
    in_readme.update(re.findall(SETTING_LINE.pattern, block, re.M))
app = os.path.join(source_dir, "settings")
in_source = {k for name in os.listdir(app) if name.startswith("settings")
             and name.endswith(".cpp") for k in SOURCE_KEY.findall(read(app, name))}
# The rows of the settings window, which must show every key read and no other.
in_window = set(WINDOW_KEY.findall(read(app, "settings_window.cpp")))
check(in_window, "no settings found in the settings window")

# Keys: the manual page's and the first cells of the README's "Keys" tables.
man_keys = {k for term in man_entries(man, "KEYS") for k in KEY.findall(term)}
check(len(man_keys) >= 10, f"too few keys in the manual page: {sorted(man_keys)}")
readme_keys = set()
for name, lines in readme_parts.items():
    for line in lines if name.lower().startswith("keys") else []:
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if line.startswith("|") and cells and not set(cells[0]) <= set("- "):
            readme_keys.update(KEY.findall(cells[0].replace("`", "")))
readme_keys.discard("keys")

# The version.
first = read(source_dir, "data", "changelog").split("\n")[0]
check(first.startswith(f"tavorin ({version}) "), f"changelog starts with {first.strip()}")
releases = ET.parse(metainfo).getroot().findall("./releases/release")
check(releases and releases[0].get("version") == version,
      f"the newest AppStream release is not {version}")

# The same items in two places; the settings the program reads in the manual page.
MAN, README = "the manual page", "the README"
for what, first, first_place, second, second_place, both_ways in [
        ("option", man_options, MAN, shown, "--help", True),
        ("long option", {o for o in man_options if o.startswith("--")}, MAN, long_in_readme,
         README, True),
        ("setting", documented, MAN, in_readme, README, True),
        ("setting", in_source, "what the program reads", documented, MAN, False),
        ("setting", in_source, "what the program reads", in_window, "the settings window", True),
        ("key", man_keys, MAN, readme_keys, README, True)]:
    for item in sorted(first - second):
        failures.append(f"{what} {item} is in {first_place} but not in {second_place}")
    for item in sorted(second - first) if both_ways else []:
        failures.append(f"{what} {item} is in {second_place} but not in {first_place}")

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
sys.exit(1 if failures else 0)

