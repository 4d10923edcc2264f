#!/usr/bin/env python3
"""Writes the add-on as a zip that Blender's "Install add-on" takes: the vokra_blender folder
at the top of the archive. Usage: make_zip.py OUT.zip"""
import os
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def make_zip(out):
    package = os.path.join(HERE, "vokra_blender")
    names = sorted(n for n in os.listdir(package) if n.endswith(".py"))
    partial = out + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as z:
        for name in names:
            z.write(os.path.join(package, name), "vokra_blender/" + name)
    os.replace(partial, out)  # never a half-written zip under the real name


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_zip.py OUT.zip")
    make_zip(sys.argv[1])
