#!/usr/bin/env python3
"""Writes the installer's ReleaseFiles group: a component for each file of the
release's staging folder (its subfolders as folders under INSTALLDIR), but
the programs, which Kestrow.wxs names itself.

    release_files_wxs.py <staging folder> <fragment.wxs>

Identifiers come from the file's path in the release, so that a file keeps
its component from one version to the next."""
import hashlib
import sys
from pathlib import Path
from xml.sax.saxutils import quoteattr

NAMED_BY_THE_PRODUCT = {"Kestrow.exe", "Kestrow.com"}


def identifier(kind: str, path: str) -> str:
    return kind + hashlib.sha1(path.encode("utf-8")).hexdigest()[:20]


def main(stage: Path, out: Path) -> None:
    files = sorted(p.relative_to(stage).as_posix() for p in stage.rglob("*") if p.is_file())
    files = [f for f in files if f not in NAMED_BY_THE_PRODUCT]
    # A tree of folders, each with its files, written depth first.
    tree: dict = {"files": [], "folders": {}}
    for f in files:
        node = tree
        for part in f.split("/")[:-1]:
            node = node["folders"].setdefault(part, {"files": [], "folders": {}})
        node["files"].append(f)

    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
             "  <Fragment>",
             '    <DirectoryRef Id="INSTALLDIR">']
    components = []

    def write(node: dict, folder: str, depth: int) -> None:
        pad = "  " * depth
        for f in node["files"]:
            component = identifier("c", f)
            components.append(component)
            lines.append(f'{pad}<Component Id="{component}" Guid="*" Win64="yes">')
            lines.append(f'{pad}  <File Id="{identifier("f", f)}" Name={quoteattr(f.split("/")[-1])} '
                         f'Source={quoteattr("stage/" + f)} KeyPath="yes"/>')
            lines.append(f"{pad}</Component>")
        for name, child in sorted(node["folders"].items()):
            path = f"{folder}/{name}" if folder else name
            lines.append(f'{pad}<Directory Id="{identifier("d", path)}" Name={quoteattr(name)}>')
            write(child, path, depth + 1)
            lines.append(f"{pad}</Directory>")

    write(tree, "", 3)
    lines.append("    </DirectoryRef>")
    lines.append('    <ComponentGroup Id="ReleaseFiles">')
    lines.extend(f'      <ComponentRef Id="{c}"/>' for c in components)
    lines += ["    </ComponentGroup>", "  </Fragment>", "</Wix>", ""]
    out.write_text("\n".join(lines), encoding="utf-8")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(Path(sys.argv[1]), Path(sys.argv[2]))
