#!/usr/bin/env python3
"""The effect as Kdenlive and Shotcut describe it, and a Kdenlive project rendered by melt.

usage: editors_test.py SOURCE_DIR BUILD_DIR [--sanitized]

Kdenlive's effect file and Shotcut's filter folder must have the elements and attributes
those programs' own frei0r descriptions have (Kdenlive 22.12, Shotcut 22.12) and name
exactly the parameters the built filter reports to MLT. A project saved by Kdenlive 22.12
with the effect on a clip and its parameters keyframed renders through melt; every frame
must be pixel-exact with the effect (the tests' oracle) with the values Kdenlive's keyframes
give it there.
"""
import math
import os
import random
import re
import sys
import xml.etree.ElementTree as ET

from frei0r_hosts_test import Run, expected

SERVICE = "frei0r.umbrawash"

# What Kdenlive's own effect files for frei0r filters use: elements, parameter types and attributes.
KDENLIVE_ELEMENTS = {"name", "description", "author", "parameter"}
KDENLIVE_PARAMETER_ELEMENTS = {"name", "comment", "paramlistdisplay"}
KDENLIVE_TYPES = {"animated", "bezier_spline", "bool", "color", "constant", "curve", "fixed", "hidden", "list", "url"}
KDENLIVE_ATTRIBUTES = {"type", "name", "default", "min", "max", "factor", "suffix", "decimals", "paramlist",
                       "intimeline", "widget", "depends", "filter", "inpoints", "outpoints", "mode", "number"}


def filter_params(r):
    """The filter's parameters as MLT reports them: [(title, type)] in order."""
    out = r.run(["melt", "-query", "filter=" + SERVICE]).stdout
    params = []
    for line in out.split("parameters:", 1)[1].splitlines():
        line = line.strip()
        if line.startswith("title:"):
            params.append([line.split(":", 1)[1].strip(), None])
        elif line.startswith("type:") and params:
            params[-1][1] = line.split(":", 1)[1].strip()
    return [tuple(p) for p in params]


def check_kdenlive(r, path, params):
    problems = []
    with open(path) as f:
        text = f.read()
    if "<!DOCTYPE kpartgui>" not in text:
        problems.append("no kpartgui document type")
    effect = ET.fromstring(text)
    if effect.tag != "effect" or effect.get("tag") != SERVICE or effect.get("id") != SERVICE:
        problems.append("root is not <effect tag=%s id=%s>" % (SERVICE, SERVICE))
    if effect.get("LC_NUMERIC") != "C":
        problems.append("numbers are not in the C locale")
    for child in ("name", "description", "author"):
        if not (effect.findtext(child) or "").strip():
            problems.append("no <%s>" % child)
    unknown = {c.tag for c in effect} - KDENLIVE_ELEMENTS
    unknown |= {c.tag for p in effect.findall("parameter") for c in p} - KDENLIVE_PARAMETER_ELEMENTS
    if unknown:
        problems.append("elements Kdenlive does not use: %s" % " ".join(sorted(unknown)))
    types = dict(params)
    named = []
    for p in effect.findall("parameter"):
        name = p.get("name")
        named.append(name)
        extra = set(p.attrib) - KDENLIVE_ATTRIBUTES
        if p.get("type") not in KDENLIVE_TYPES or extra or not (p.findtext("name") or "").strip():
            problems.append("parameter %r: type %r, unknown attributes %s, or no <name>" % (name, p.get("type"), extra))
        if types.get(name) == "float":
            # Shown in percent: 0..100 on screen is the filter's 0..1, the default in the filter's units.
            lo, hi, factor = (float(p.get(a, "nan")) for a in ("min", "max", "factor"))
            default = float(p.get("default", "nan"))
            if p.get("type") != "animated" or (lo, hi, factor) != (0, 100, 100) or not 0 <= default <= 1 \
                    or p.get("suffix") != "%":
                problems.append("parameter %r is not a keyframable percentage of 0..1" % name)
        elif types.get(name) == "boolean" and p.get("type") != "bool":
            problems.append("parameter %r is not a check box" % name)
    if named != [name for name, _ in params]:
        problems.append("names %s, the filter has %s" % (named, [name for name, _ in params]))
    return problems


def qml_strings(text, key):
    """The quoted strings of `key: [...]` or `key: '...'` in QML text."""
    match = re.search(r"\b%s\s*:\s*(\[[^\]]*\]|'[^']*'|\"[^\"]*\")" % re.escape(key), text)
    return re.findall(r"'([^']*)'|\"([^\"]*)\"", match.group(1)) if match else []


def check_shotcut(r, folder, params):
    problems = []
    with open(os.path.join(folder, "meta.qml")) as f:
        meta = f.read()
    with open(os.path.join(folder, "ui.qml")) as f:
        ui = f.read()
    flat = lambda pairs: [a or b for a, b in pairs]
    if not re.search(r"^import org\.shotcut\.qml", meta, re.M) or not re.search(r"^Metadata\s*{", meta, re.M) \
            or "type: Metadata.Filter" not in meta:
        problems.append("meta.qml is not a Shotcut filter's Metadata")
    if flat(qml_strings(meta, "mlt_service")) != [SERVICE]:
        problems.append("meta.qml does not name %s" % SERVICE)
    qml = flat(qml_strings(meta, "qml"))
    if qml != ["ui.qml"]:
        problems.append("meta.qml names controls %s" % qml)
    if not re.search(r"^import Shotcut\.Controls", ui, re.M):
        problems.append("ui.qml does not use Shotcut's controls")
    doubles = [name for name, kind in params if kind == "float"]
    keyframed = re.findall(r"property:\s*'([^']*)'", meta)
    if flat(qml_strings(meta, "simpleProperties")) != doubles or keyframed != doubles:
        problems.append("meta.qml keyframes %s, the filter's numbers are %s" % (keyframed, doubles))
    shown = flat(qml_strings(ui, "keyframableParameters")) + flat(qml_strings(ui, "property string useSavedParam"))
    if shown != [name for name, _ in params]:
        problems.append("ui.qml sets %s, the filter has %s" % (shown, [name for name, _ in params]))
    return problems


def keyframes(text, fps):
    """Kdenlive's linear keyframes "HH:MM:SS.mmm=value;..." as [(frame, value)]; a constant as one key."""
    keys = []
    for item in text.split(";"):
        when, _, value = item.rpartition("=")
        if not when:
            return [(0, float(value))]
        if when[-1] in "|~":
            raise RuntimeError("keyframe %r is not linear" % item)
        h, m, s = when.split(":")
        keys.append((round((int(h) * 3600 + int(m) * 60 + float(s)) * fps), float(value)))
    return keys


def value_at(keys, frame):
    """The value MLT gives a linear animation at frame: y1 + (y2 - y1) * t between keys."""
    if frame <= keys[0][0]:
        return keys[0][1]
    for (f1, v1), (f2, v2) in zip(keys, keys[1:]):
        if frame < f2:
            return v1 + (v2 - v1) * ((frame - f1) / (f2 - f1))
    return keys[-1][1]


def check_project(r, project, params):
    """The Kdenlive project through melt against each frame through FFmpeg's frei0r filter."""
    tree = ET.parse(project)
    root = tree.getroot()
    profile = root.find("profile")
    width, height = int(profile.get("width")), int(profile.get("height"))
    fps = int(profile.get("frame_rate_num")) / int(profile.get("frame_rate_den"))
    clip = next(p for p in root.iter("producer") if p.findtext("property[@name='mlt_service']") == "avformat")
    frames = int(clip.findtext("property[@name='length']"))
    effect = next(f for f in root.iter("filter") if f.findtext("property[@name='mlt_service']") == SERVICE)
    animations = [keyframes(effect.findtext("property[@name='%s']" % name), fps) for name, _ in params]
    if not any(len(set(v for _, v in keys)) > 1 for keys in animations):
        return ["the project keyframes nothing"]

    # The clip the project names, opaque random pixels (Kdenlive composites tracks over black),
    # and the project pointing at it.
    rng = random.Random(5)
    frame_size = width * height * 4
    source = bytes(b for _ in range(width * height * frames)
                   for b in (rng.getrandbits(8), rng.getrandbits(8), rng.getrandbits(8), 255))
    raw = r.path("clip.rgba")
    with open(raw, "wb") as f:
        f.write(source)
    r.run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba", "-s", "%dx%d" % (width, height),
           "-r", "%g" % fps, "-i", raw, "-c:v", "ffv1", "-pix_fmt", "bgra",
           r.path(clip.findtext("property[@name='resource']"))])
    root.set("root", r.tmp)
    tree.write(r.path("project.kdenlive"))
    r.run(["melt", "-quiet", r.path("project.kdenlive"), "out=%d" % (frames - 1), "-consumer",
           "avformat:" + r.path("melt.nut"), "vcodec=ffv1", "pix_fmt=bgra", "mlt_image_format=rgba", "an=1",
           "real_time=-2"])
    rendered = r.decode(r.path("melt.nut"))
    problems = [] if len(rendered) == frames * frame_size else ["melt rendered %d bytes" % len(rendered)]

    # The filter takes whole percent (rounded half away from zero) and the rectangle as it comes.
    for frame in range(frames):
        red, green, blue, left, top, right, bottom, saved = (value_at(keys, frame) for keys in animations)
        if saved >= 0.5:
            return ["the project uses the saved settings at frame %d" % frame]
        amounts = [int(math.floor(v * 100 + 0.5)) for v in (red, green, blue)]
        want = expected(r.build, source[frame * frame_size:(frame + 1) * frame_size], *amounts,
                        (left, top, right, bottom), (width, height))
        if rendered[frame * frame_size:(frame + 1) * frame_size] != want:
            problems.append("frame %d differs from the effect with %s" % (frame, amounts + [left, top, right, bottom]))
    return problems


def check_editors(r, source, frei0r):
    params = filter_params(r)
    for what, problems in (
            ("Kdenlive's effect file", lambda: check_kdenlive(r, os.path.join(frei0r, "kdenlive",
                                                                             "frei0r_umbrawash.xml"), params)),
            ("Shotcut's filter folder", lambda: check_shotcut(r, os.path.join(frei0r, "shotcut"), params)),
            ("a keyframed Kdenlive project through melt",
             lambda: check_project(r, os.path.join(source, "tests", "hosts", "editors", "keyframed.kdenlive"),
                                   params))):
        found = problems()
        print(("FAIL %s: %s" % (what, "; ".join(found))) if found else "ok   " + what)
        r.failures += bool(found)


def main():
    source, build = (os.path.abspath(a) for a in sys.argv[1:3])
    r = Run(build, "--sanitized" in sys.argv[3:])
    frei0r = os.path.join(source, "hosts", "frei0r")
    # Any exception: a host that fails or a file that does not parse.
    return r.conclude(lambda: check_editors(r, source, frei0r), errors=Exception)


if __name__ == "__main__":
    sys.exit(main())
