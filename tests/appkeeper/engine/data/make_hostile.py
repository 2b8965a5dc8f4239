#!/usr/bin/env python3
"""Builds one hostile package for the engine's tests.

    make_hostile.py <out-dir> <outer> <area-depth> <case>

Writes <out-dir>/<case>.pkg (and <case>.2.pkg for cases that need a second
package). <outer> is the host folder around the phone root; the attacks aim
at <outer>/victim, a folder the test makes beforehand, holding "secret".
<area-depth> is how many folders the install area lies below <outer>, so
that a relative escape from the area reaches <outer> exactly.
"""
import io
import os
import sys
import tarfile

out_dir, outer, depth, case = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
victim = outer + "/victim"
# From a member directly inside the install area: up to <outer>.
up_area = "../" * depth
# From a member inside the package folder p/: one more level.
up_pkg = "../" * (depth + 1)

DESKTOP = b"[Desktop Entry]\nName=Hostile\nExec=run.sh\n"


class Pkg:
    def __init__(self, path, fmt=tarfile.GNU_FORMAT):
        self.t = tarfile.open(path, "w:gz", format=fmt)

    def _info(self, name, kind, mode, uid, pax):
        ti = tarfile.TarInfo(name)
        ti.type = kind
        ti.mode = mode
        ti.uid = ti.gid = uid
        ti.mtime = 1700000000
        if pax:
            ti.pax_headers = dict(pax)
        return ti

    def dir(self, name, mode=0o755, uid=0, pax=None):
        self.t.addfile(self._info(name, tarfile.DIRTYPE, mode, uid, pax))

    def file(self, name, data=b"x\n", mode=0o644, uid=0, pax=None):
        ti = self._info(name, tarfile.REGTYPE, mode, uid, pax)
        ti.size = len(data)
        self.t.addfile(ti, io.BytesIO(data))

    def big(self, name, size, chunk=b"\0"):
        ti = self._info(name, tarfile.REGTYPE, 0o644, 0, None)
        ti.size = size
        class Zero(io.RawIOBase):
            def __init__(self):
                self.left = size
            def readable(self):
                return True
            def readinto(self, b):
                n = min(len(b), self.left)
                b[:n] = chunk * n
                self.left -= n
                return n
        self.t.addfile(ti, io.BufferedReader(Zero(), 1 << 20))

    def symlink(self, name, target, pax=None):
        ti = self._info(name, tarfile.SYMTYPE, 0o777, 0, pax)
        ti.linkname = target
        self.t.addfile(ti)

    def hardlink(self, name, target):
        ti = self._info(name, tarfile.LNKTYPE, 0o644, 0, None)
        ti.linkname = target
        self.t.addfile(ti)

    def device(self, name, kind, major, minor):
        ti = self._info(name, kind, 0o666, 0, None)
        ti.devmajor, ti.devminor = major, minor
        self.t.addfile(ti)

    def app(self, folder="p"):
        self.dir(folder)
        self.file(folder + "/app.desktop", DESKTOP)
        self.file(folder + "/run.sh", b"#!/bin/sh\necho hostile\n", 0o755)

    def close(self):
        self.t.close()


def build(path, fmt=tarfile.GNU_FORMAT):
    return Pkg(os.path.join(out_dir, path), fmt)


p = build(case + ".pkg", tarfile.PAX_FORMAT if "pax" in case else tarfile.GNU_FORMAT)
second = None

if case == "dotdot_member":
    p.app(); p.file("p/" + up_pkg + "victim/dotdot")
elif case == "dotdot_leading":
    p.file(up_area + "victim/dotdot"); p.app()
elif case == "dotdot_pax_path":
    p.app(); p.file("p/harmless", pax={"path": "p/" + up_pkg + "victim/dotdot"})
elif case == "dotdot_pax_linkpath":
    p.app(); p.symlink("p/l", "harmless", pax={"linkpath": up_pkg + "victim"})
    p.file("p/l/through")
elif case == "absolute_member":
    p.app(); p.file(victim + "/absolute")
elif case == "absolute_pax_path":
    p.app(); p.file("p/harmless", pax={"path": victim + "/absolute"})
elif case == "symlink_abs_then_file":
    p.app(); p.symlink("p/l", victim); p.file("p/l/through")
elif case == "symlink_rel_then_file":
    p.app(); p.symlink("p/l", up_pkg + "victim"); p.file("p/l/through")
elif case == "symlink_abs_kept":
    p.app(); p.symlink("p/secret", victim + "/secret")
elif case == "symlink_rel_kept":
    p.app(); p.symlink("p/secret", up_pkg + "victim/secret")
elif case == "symlink_to_root":
    p.app(); p.symlink("p/root", "/")
elif case == "symlink_one_up":
    p.app(); p.symlink("p/up", "..")
elif case == "symlink_reenters_sibling":
    # Resolves inside p while in the install area, but names the folder "p"
    # of the installed applications once copied under another name.
    p.app(); p.symlink("p/other", "../p/run.sh")
elif case == "symlink_dot_trick":
    # sub/b is the folder sub itself, so sub/b/../.. is one level above p.
    p.app(); p.dir("p/sub"); p.symlink("p/sub/b", ".")
    p.symlink("p/trick", "sub/b/../../p/run.sh")
elif case == "hardlink_abs":
    p.app(); p.hardlink("p/hard", victim + "/secret")
elif case == "hardlink_escape":
    # A hard link's target is named from the folder tar unpacks into.
    p.app(); p.hardlink("p/hard", up_area + "victim/secret")
elif case == "hardlink_through_symlink":
    p.app(); p.symlink("p/l", victim); p.hardlink("p/hard", "p/l/secret")
elif case == "link_chain":
    p.app(); p.symlink("p/a", "b"); p.symlink("p/b", "c"); p.symlink("p/c", up_pkg + "victim")
    p.file("p/a/chained")
elif case == "dir_then_link_same_name":
    p.app(); p.dir("p/d"); p.symlink("p/d", victim); p.file("p/d/through")
elif case == "link_then_dir_same_name":
    p.app(); p.symlink("p/d", victim); p.dir("p/d"); p.file("p/d/through")
elif case == "link_loop":
    p.app(); p.symlink("p/a", "b"); p.symlink("p/b", "a")
elif case == "link_self":
    p.app(); p.symlink("p/self", "self")
elif case == "dotfile_link_first_package":
    # The first package leaves a dot-file link in the install area (the
    # "/*" of the area's emptying keeps dot-files); the second writes
    # through it.
    p.symlink(".evil", victim); p.app("q")
    second = build(case + ".2.pkg")
    second.file(".evil/through"); second.app()
elif case == "dotfile_link_same_package":
    p.symlink(".evil", victim); p.file(".evil/through"); p.app()
elif case == "top_level_link_as_folder":
    p.symlink("a", victim); p.app("b")
elif case == "top_level_link_inside":
    p.app("b"); p.symlink("a", "b")
elif case == "chardev":
    p.app(); p.device("p/null", tarfile.CHRTYPE, 1, 3)
elif case == "blockdev":
    p.app(); p.device("p/loop", tarfile.BLKTYPE, 7, 0)
elif case == "fifo":
    p.app(); p.device("p/fifo", tarfile.FIFOTYPE, 0, 0)
elif case == "setuid":
    p.app(); p.file("p/suid", b"#!/bin/sh\n", 0o4755)
elif case == "setgid":
    p.app(); p.file("p/sgid", b"#!/bin/sh\n", 0o2755); p.dir("p/sgdir", 0o2775)
elif case == "foreign_owner":
    p.dir("p", 0o755, 1234); p.file("p/app.desktop", DESKTOP, 0o644, 1234)
    p.file("p/run.sh", b"#!/bin/sh\n", 0o755, 4321)
elif case == "dot_member_0777":
    p.dir("./", 0o777, 1234); p.app()
elif case == "dot_member_symlink":
    p.symlink(".", victim); p.app()
elif case == "very_long_name":
    p.app(); p.file("p/" + "/".join(["n" * 200] * 8) + "/long")
elif case == "too_long_component":
    p.app(); p.file("p/" + "x" * 300)
elif case == "deep_nesting":
    p.app(); p.file("p/" + "d/" * 400 + "deep")
elif case == "nesting_past_path_max":
    p.app(); p.file("p/" + "dd/" * 1500 + "deep")
elif case == "links_deep_inside":
    # At the bottom of folders 40 deep: a link that climbs back to p/run.sh,
    # and one that climbs a step further, out of p (where no run.sh is).
    deep = "p/" + "d/" * 40
    p.app(); p.file(deep + "f")
    p.symlink(deep + "in", "../" * 40 + "run.sh"); p.symlink(deep + "out", "../" * 41 + "run.sh")
elif case == "nesting_thousands_deep":
    # One-letter folders: tar unpacks all of them, deeper than a recursive walk's stack
    p.app(); p.file("p/" + "d/" * 2030 + "deep")
elif case == "symlink_desktop_out":
    p.dir("p"); p.symlink("p/app.desktop", victim + "/secret.desktop")
elif case == "bomb_larger_than_card":
    p.app(); p.big("p/zeros", 256 << 20)
else:
    sys.exit("unknown case " + case)

p.close()
if second:
    second.close()
