#!/usr/bin/env bash
# Checks every link of the README, the user guide and the other pages: a
# file named by a relative link exists, and a link to a heading (#...)
# names a heading of that page, as GitHub makes its anchors. Links to the
# web are left alone: the test command makes no network call.
set -euo pipefail
cd "$(dirname "$0")/.."

python3 - "$@" <<'PY'
import os, re, sys

pages = ["README.md", "BENCHMARKS.md"] + sorted(
    os.path.join("docs", name) for name in os.listdir("docs") if name.endswith(".md"))

def anchors(path):
    """The anchors GitHub gives a page's headings."""
    seen, result = {}, set()
    fenced = False
    for line in open(path, encoding="utf-8"):
        if line.startswith("```"):
            fenced = not fenced
        if fenced or not re.match(r"#{1,6} ", line):
            continue
        text = line.lstrip("#").strip().lower()
        slug = re.sub(r"[^\w\- ]", "", text).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        result.add(slug if count == 0 else f"{slug}-{count}")
    return result

faults = 0
links = 0
for page in pages:
    text = open(page, encoding="utf-8").read()
    # Code (indented blocks and backticks) holds no links.
    prose = "\n".join(l for l in text.split("\n") if not l.startswith("    "))
    prose = re.sub(r"`[^`\n]*`", "", prose)
    for target in re.findall(r"\]\(([^)\s]+)\)", prose):
        if re.match(r"[a-z]+:", target):
            continue
        links += 1
        path, _, anchor = target.partition("#")
        file = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(file):
            print(f"{page}: links to {target}, which does not exist")
            faults += 1
        elif anchor and file.endswith(".md") and anchor not in anchors(file):
            print(f"{page}: links to {target}, but {file} has no such heading")
            faults += 1
if faults:
    print(f"{faults} of {links} links do not resolve")
    sys.exit(1)
print(f"links: all {links} links of {len(pages)} pages resolve")
PY
