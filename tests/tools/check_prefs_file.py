#!/usr/bin/env python3
"""Checks the settings file that `umbrawash info` creates with a reader of the classic
resource-file format written here, apart from the toolbox's own.

usage: check_prefs_file.py BUILD_DIR
"""
import os
import struct
import subprocess
import sys
import tempfile


def read_resource_file(data):
    """Returns {(type, id): (name, bytes)}; raises ValueError on anything out of bounds."""
    def need(ok, what):
        if not ok:
            raise ValueError(what)

    need(len(data) >= 16, "header")
    data_off, map_off, data_len, map_len = struct.unpack_from(">IIII", data, 0)
    need(data_off + data_len <= len(data) and map_off + map_len <= len(data), "sections")
    need(map_len >= 30, "map head")
    type_list_off, name_list_off = struct.unpack_from(">HH", data, map_off + 24)
    type_list = map_off + type_list_off
    name_list = map_off + name_list_off
    (count_less_1,) = struct.unpack_from(">H", data, type_list)
    types = 0 if count_less_1 == 0xFFFF else count_less_1 + 1
    found = {}
    for t in range(types):
        rtype, n_less_1, ref_off = struct.unpack_from(">4sHH", data, type_list + 2 + 8 * t)
        for r in range(n_less_1 + 1):
            at = type_list + ref_off + 12 * r
            need(at + 12 <= map_off + map_len, "reference")
            rid, name_off, _attrs = struct.unpack_from(">hHB", data, at)
            d_off = int.from_bytes(data[at + 5:at + 8], "big")
            start = data_off + d_off
            need(start + 4 <= data_off + data_len, "data entry")
            (length,) = struct.unpack_from(">I", data, start)
            need(start + 4 + length <= data_off + data_len, "data length")
            name = None
            if name_off != 0xFFFF:
                n = data[name_list + name_off]
                name = data[name_list + name_off + 1:name_list + name_off + 1 + n].decode("mac_roman")
            found[(rtype.decode("mac_roman"), rid)] = (name, data[start + 4:start + 4 + length])
    return found


def expected_defaults(red=100):
    """The little-endian record of the default configuration, field by field."""
    rec = bytearray(396)
    struct.pack_into("<II", rec, 0, 396, 3)
    struct.pack_into("<4d", rec, 8, 0.0, 1.0, 0.0, 1.0)
    struct.pack_into("<4d", rec, 40, 0.0, 1.0, 0.0, 1.0)
    colors = [(0, 0, 0), (65535, 65535, 65535)] + [(0, 0, 0)] * 4
    for i, c in enumerate(colors):
        struct.pack_into("<3H", rec, 72 + 6 * i, *c)
    struct.pack_into("<6h", rec, 108, red, 100, 100, 0, 0, 0)
    struct.pack_into("<3H", rec, 120, 65535, 0, 0)
    struct.pack_into("<h", rec, 132, 1)
    struct.pack_into("<h", rec, 136, 1)
    text = b"Config save for Quorvel iMovie plug-in"
    rec[138] = len(text)
    rec[139:139 + len(text)] = text
    return bytes(rec)


def main():
    build = sys.argv[1]
    with tempfile.TemporaryDirectory() as home:
        prefs = os.path.join(home, "config")
        env = dict(os.environ, XDG_CONFIG_HOME=prefs, HOME=home)
        subprocess.run([os.path.join(build, "umbrawash"), "info"], env=env, check=True, stdout=subprocess.DEVNULL)
        path = os.path.join(prefs, "zorlt-Prefs")
        assert os.stat(prefs).st_mode & 0o777 == 0o700, "the preferences folder is made with mode 0700"
        with open(path, "rb") as f:
            resources = read_resource_file(f.read())
        assert list(resources) == [("Pref", 1)], resources.keys()
        name, record = resources[("Pref", 1)]
        assert name == "Config Settings", name
        assert record == expected_defaults(), "the stored record is not the defaults' 396 bytes"

        umbrawash = os.path.join(build, "umbrawash")
        subprocess.run([umbrawash, "settings", "set", "--red", "30"], env=env, check=True)
        with open(path, "rb") as f:
            _, record = read_resource_file(f.read())[("Pref", 1)]
        assert record == expected_defaults(red=30), "set --red 30 stored something else"

        bundle = os.path.join(build, "Umbrawash.bundle", "Contents", "Resources", "Umbrawash.rsrc")
        with open(bundle, "rb") as f:
            lists = read_resource_file(f.read())
        assert sorted(rid for (rtype, rid) in lists if rtype == "STR#") == [128, 129, 130, 17000]
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
