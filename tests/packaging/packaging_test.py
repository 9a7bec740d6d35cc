#!/usr/bin/env python3
"""Umbrawash installed: under a prefix, as a Debian package, and its manual page.

usage: packaging_test.py layout|deb|manual SOURCE_DIR BUILD_DIR [--sanitized]

layout  `cmake --install` under a prefix puts every file where docs/architecture.md says;
        the installed command loads the installed bundle and renders, and FFmpeg renders
        through the installed filter, both pixel-exact.
deb     the package cpack builds, installed with apt: `umbrawash info` and a render from
        /usr, FFmpeg rendering through the filter from the system's frei0r folder without
        FREI0R_PATH, the manual page where man finds it, and a removal that leaves nothing
        of the package behind. Needs root and the normal build; it skips itself otherwise,
        and where a package umbrawash is installed already.
manual  the manual page documents every command, option and exit status that the
        commands' --help texts name, and nothing else; groff has nothing to warn about.
"""
import os
import random
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "hosts"))
from frei0r_hosts_test import FRAMES, HEIGHT, SAVED, WIDTH, Run, expected  # noqa: E402

SKIP = 77
BUNDLE = "lib/umbrawash/Umbrawash.bundle"
LAYOUT = ["bin/umbrawash", "lib/libtoolbox.so", BUNDLE + "/Contents/Identifier",
          BUNDLE + "/Contents/Linux/Umbrawash.so", BUNDLE + "/Contents/Resources/Umbrawash.rsrc",
          BUNDLE + "/Contents/Resources/umbrawash.json", BUNDLE + "/Contents/Resources/manual.pdf",
          "lib/frei0r-1/umbrawash.so", "share/kdenlive/effects/frei0r_umbrawash.xml",
          "share/shotcut/qml/filters/umbrawash/meta.qml", "share/shotcut/qml/filters/umbrawash/ui.qml",
          "share/man/man1/umbrawash.1.gz"]


def check_installed(r, prefix, host_env):
    """The command under prefix loads the bundle under prefix and renders a clip with the saved
    settings; FFmpeg with host_env renders it through the installed filter; both match the formula."""
    umbrawash = os.path.join(prefix, "bin", "umbrawash")
    library = os.path.join(prefix, BUNDLE, "Contents", "Linux", "Umbrawash.so")
    info = r.run([umbrawash, "info"]).stdout
    if library not in info:
        raise RuntimeError("%s info loaded another bundle:\n%s" % (umbrawash, info))
    rng = random.Random(3)
    source = bytes(rng.getrandbits(8) for _ in range(WIDTH * HEIGHT * 4 * FRAMES))
    with open(r.path("in.rgba"), "wb") as f:
        f.write(source)
    r.run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba", "-s", "%dx%d" % (WIDTH, HEIGHT),
           "-r", "25", "-i", r.path("in.rgba"), "-c:v", "ffv1", "-pix_fmt", "bgra", r.path("in.nut")])
    r.run([umbrawash, "settings", "set", "--red", str(SAVED["red"]), "--green", str(SAVED["green"]), "--blue",
           str(SAVED["blue"]), "--rect", ",".join("%g" % v for v in SAVED["rect"])])
    r.run([umbrawash, "render", r.path("in.nut"), r.path("render.nut"), "--lossless", "--quiet"])
    want = expected(r.build, source, **SAVED)
    r.check(umbrawash + " render", r.decode(r.path("render.nut")), want)
    r.check("ffmpeg through the installed filter",
            r.ffmpeg("filter", "frei0r=filter_name=umbrawash:filter_params=0|0|0|0|0|1|1|y", env=host_env), want)


def test_layout(r, build):
    prefix = r.path("prefix")
    r.run(["cmake", "--install", build, "--prefix", prefix])
    missing = [f for f in LAYOUT if not os.path.isfile(os.path.join(prefix, f))]
    if missing:
        raise RuntimeError("not installed: %s" % ", ".join(missing))
    check_installed(r, prefix, dict(r.env, FREI0R_PATH=os.path.join(prefix, "lib", "frei0r-1")))


def installed(package):
    status = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package], capture_output=True, text=True)
    return status.stdout.endswith(" installed")


def test_deb(r, build):
    if os.geteuid() != 0:
        print("skip: installing a package needs root")
        return SKIP
    if r.sanitized:
        print("skip: the sanitizer build's binaries are not packaged")
        return SKIP
    if installed("umbrawash"):
        print("skip: a package umbrawash is installed on this machine; not replacing it")
        return SKIP
    with open(os.path.join(build, "CPackConfig.cmake")) as f:
        version = re.search(r'set\(CPACK_PACKAGE_VERSION "([^"]+)"\)', f.read()).group(1)
    r.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", r.path("cpack")])
    deb = r.path("cpack/umbrawash_%s_amd64.deb" % version)
    depends = r.run(["dpkg-deb", "-f", deb, "Depends"]).stdout
    if not all(lib in depends for lib in ("libavformat", "libsdl2", "libstdc++", "fonts-dejavu-core")):
        raise RuntimeError("the package's dependencies lack libraries it links: %s" % depends)

    apt = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=300"]
    apt_env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    r.run(apt + ["install", "--no-install-recommends", deb], env=apt_env)
    try:
        files = r.run(["dpkg", "-L", "umbrawash"]).stdout.split()
        # The system's frei0r folder: no FREI0R_PATH, and a home without ~/.frei0r-1.
        system = {k: v for k, v in r.env.items() if k != "FREI0R_PATH"}
        check_installed(r, "/usr", system)
        # dpkg may be told to leave manual pages out (as in minimal containers).
        page = "/usr/share/man/man1/umbrawash.1.gz"
        if page[1:] not in r.run(["dpkg-deb", "-c", deb]).stdout:
            raise RuntimeError("the package holds no manual page")
        if os.path.exists(page) and r.run(["man", "-w", "umbrawash"]).stdout.strip() != page:
            raise RuntimeError("man does not find %s" % page)
    finally:
        r.run(apt + ["purge", "umbrawash"], env=apt_env)
    left = [f for f in files if os.path.lexists(f) and not os.path.isdir(f)]
    left += [d for d in files if os.path.isdir(d) and not os.listdir(d)
             and subprocess.run(["dpkg-query", "-S", d], capture_output=True).returncode != 0]
    if left:
        raise RuntimeError("left behind after removal: %s" % ", ".join(left))
    print("ok   installed, used and removed %s" % os.path.basename(deb))


def test_manual(r, source, build):
    page = os.path.join(source, "packaging", "umbrawash.1")
    warnings = r.run(["groff", "-man", "-ww", "-z", "-Tutf8", page], env=dict(os.environ)).stderr
    with open(page) as f:
        text = f.read().replace("\\-", "-")
    sections = re.split(r"^\.SH ", text, flags=re.M)
    exit_section = next(s for s in sections if s.startswith("EXIT STATUS"))
    documented = {
        "commands": set(re.findall(r'^\.SS "(\w+)', text, re.M)),
        "options": set(re.findall(r"--[a-z][a-z-]*", text)) - {"--help"},
        "exit statuses": set(re.findall(r"^\.B (\d+)$", exit_section, re.M)),
    }
    umbrawash = os.path.join(build, "umbrawash")
    usage = r.run([umbrawash, "--help"]).stdout
    commands = set(re.findall(r"^  (\w+)  ", usage.split("commands:")[1], re.M))
    helps = [r.run([umbrawash, c, "--help"]).stdout for c in sorted(commands)]
    named = {
        "commands": commands,
        "options": set(o for h in helps for o in re.findall(r"--[a-z][a-z-]*", h)),
        "exit statuses": set(n for h in helps for line in re.findall(r"Exit status:(.*)", h)
                             for n in re.findall(r"\b(\d+) ", line)),
    }
    problems = ["groff warns: " + warnings.strip()] if warnings.strip() else []
    for what in named:
        if named[what] - documented[what]:
            problems.append("%s not documented: %s" % (what, " ".join(sorted(named[what] - documented[what]))))
        if documented[what] - named[what]:
            problems.append("%s documented but unknown: %s" % (what, " ".join(sorted(documented[what] - named[what]))))
    if problems:
        raise RuntimeError("; ".join(problems))
    print("ok   the manual page documents %d commands, %d options and %d exit statuses"
          % tuple(len(named[w]) for w in named))


def main():
    mode = sys.argv[1]
    source, build = (os.path.abspath(a) for a in sys.argv[2:4])
    r = Run(build, "--sanitized" in sys.argv[4:])
    return r.conclude({"layout": lambda: test_layout(r, build), "deb": lambda: test_deb(r, build),
                       "manual": lambda: test_manual(r, source, build)}[mode])


if __name__ == "__main__":
    sys.exit(main())
