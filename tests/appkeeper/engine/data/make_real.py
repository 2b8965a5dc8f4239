#!/usr/bin/env python3
"""Builds packages as people and their tools make them, for the engine's tests.

    make_real.py <out.pkg> <case> [<stage-folder>]

Cases:
  ustar, gnu, pax     the staged folder packed by Python's tarfile in that format
  padded-zeros, padded-garbage, two-members
                      a whole package followed by padding, or split into two
                      gzip members
  gb2312-desktop      a package whose desktop file is written in GB2312
  non-utf8-folder     a package folder whose name is GB2312 bytes
  readonly-folder     a package holding a folder of mode 0555 with files in it
  many-long-names     8,000 top-level files with 200-byte names, and a package
  many-short-names    100,000 top-level files with short names, and a package
  many-dot-files      40,000 top-level dot-files, and a package
"""
import gzip
import io
import os
import sys
import tarfile

out, case = sys.argv[1], sys.argv[2]
stage = sys.argv[3] if len(sys.argv) > 3 else None
DESKTOP = b"[Desktop Entry]\nName=Real\nExec=run.sh\nIcon=icon.png\n"


def member(t, name, data=b"x\n", mode=0o644, kind=tarfile.REGTYPE):
    ti = tarfile.TarInfo(name)
    ti.type = kind
    ti.mode = mode
    ti.mtime = 1700000000
    if kind == tarfile.REGTYPE:
        ti.size = len(data)
        t.addfile(ti, io.BytesIO(data))
    else:
        t.addfile(ti)


def app(t, folder="app", desktop=DESKTOP):
    member(t, folder, mode=0o755, kind=tarfile.DIRTYPE)
    member(t, folder + "/app.desktop", desktop)
    member(t, folder + "/run.sh", b"#!/bin/sh\necho real\n", 0o755)


def tar_bytes(build, fmt=tarfile.GNU_FORMAT):
    buf = io.BytesIO()
    with tarfile.open(fileobj=buf, mode="w", format=fmt, encoding="utf-8",
                      errors="surrogateescape") as t:
        build(t)
    return buf.getvalue()


def write(data):
    with open(out, "wb") as f:
        f.write(data)


def gz(data):
    return gzip.compress(data, mtime=0)


if case in ("ustar", "gnu", "pax"):
    fmt = {"ustar": tarfile.USTAR_FORMAT, "gnu": tarfile.GNU_FORMAT, "pax": tarfile.PAX_FORMAT}[case]
    with tarfile.open(out, "w:gz", format=fmt) as t:
        for entry in sorted(os.listdir(stage)):
            t.add(os.path.join(stage, entry), arcname=entry)
elif case == "padded-zeros":
    write(gz(tar_bytes(app)) + b"\0" * 7)
elif case == "padded-garbage":
    write(gz(tar_bytes(app)) + b"\x13\x37 transfer padding \xff\xfe")
elif case == "two-members":
    whole = tar_bytes(app)
    write(gz(whole[:1024]) + gz(whole[1024:]))
elif case == "gb2312-desktop":
    desk = "[Desktop Entry]\nName=贪吃蛇\nComment=经典游戏\nExec=run.sh\n".encode("gb2312")
    write(gz(tar_bytes(lambda t: app(t, "snake", desk))))
elif case == "non-utf8-folder":
    folder = "照片".encode("gb2312").decode("utf-8", "surrogateescape")
    write(gz(tar_bytes(lambda t: app(t, folder))))
elif case == "readonly-folder":
    def build(t):
        app(t)
        member(t, "app/ro", mode=0o555, kind=tarfile.DIRTYPE)
        member(t, "app/ro/data", b"kept\n", 0o444)
    write(gz(tar_bytes(build)))
elif case.startswith("many-"):
    count, make = {
        "many-long-names": (8000, lambda i: "%05d" % i + "n" * 195),
        "many-short-names": (100000, lambda i: "f%d" % i),
        "many-dot-files": (40000, lambda i: ".d%d" % i),
    }[case]
    def build(t):
        for i in range(count):
            member(t, make(i), b"")
        app(t)
    write(gz(tar_bytes(build)))
else:
    sys.exit("unknown case " + case)
