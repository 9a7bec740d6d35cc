#!/usr/bin/env python3
"""The frei0r filter inside the real hosts, FFmpeg, melt and GStreamer, against `umbrawash render`.

usage: frei0r_hosts_test.py BUILD_DIR [--sanitized]

A short lossless clip with random pixels and alpha goes through `umbrawash render` with a
saved configuration, through FFmpeg's frei0r filter, melt and gst-launch-1.0; every frame
must be pixel-exact with the others and with the effect's formula (the tests' oracle). With
--sanitized the hosts get the sanitizer runtimes preloaded, since the filter is built with
them.
"""
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

WIDTH, HEIGHT = 64, 50  # FFmpeg keeps rows packed for widths that are multiples of 16
FRAMES = 4
SAVED = dict(red=30, green=50, blue=100, rect=(0.25, 0.1, 0.75, 0.6))  # left, top, right, bottom


def expected(build, frames, red, green, blue, rect, size=(WIDTH, HEIGHT)):
    """What the effect makes of RGBA frames, from the tests' one oracle of its arithmetic."""
    args = [os.path.join(build, "effect_oracle"), str(size[0]), str(size[1]), "rgba", str(red), str(green), str(blue)]
    return subprocess.run(args + ["%r" % v for v in rect], input=frames, stdout=subprocess.PIPE, check=True).stdout


class Run:
    def __init__(self, build, sanitized):
        self.build = build
        self.sanitized = sanitized
        self.tmp = tempfile.mkdtemp(prefix="umbrawash-frei0r-")
        self.env = dict(os.environ)
        self.env["XDG_CONFIG_HOME"] = os.path.join(self.tmp, "config")
        self.env["HOME"] = self.tmp
        self.env["FREI0R_PATH"] = os.path.join(build, "frei0r-1")
        # GStreamer lists frei0r filters in its registry: a fresh one sees this build's.
        self.env["GST_REGISTRY"] = os.path.join(self.tmp, "gst-registry.bin")
        self.env.pop("LD_LIBRARY_PATH", None)
        if sanitized:
            runtimes = []
            for lib in ("libasan.so", "libubsan.so"):
                path = subprocess.run(["gcc", "-print-file-name=" + lib], capture_output=True, text=True).stdout.strip()
                runtimes.append(path)
            self.env["LD_PRELOAD"] = " ".join(runtimes)
            # The hosts themselves are not ours to check for leaks.
            self.env["ASAN_OPTIONS"] = "detect_leaks=0"
        self.failures = 0

    def path(self, name):
        return os.path.join(self.tmp, name)

    def run(self, args, env=None, text=True):
        result = subprocess.run(args, env=env or self.env, capture_output=True, text=text, timeout=120)
        if result.returncode != 0:
            stderr = result.stderr if text else result.stderr.decode(errors="replace")
            raise RuntimeError("%s failed (%d):\n%s" % (" ".join(args), result.returncode, stderr[-3000:]))
        return result

    def run_bytes(self, args):
        return self.run(args, text=False).stdout

    def cleanup(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def conclude(self, body, errors=(RuntimeError, subprocess.TimeoutExpired)):
        """Runs body, counts an error it raises as a failure and removes the run's folder. Returns
        the exit status: what body returned when that is not None, else 1 after failures, else 0."""
        try:
            status = body()
            if status is not None:
                return status
        except errors as e:
            print("FAIL", e)
            self.failures += 1
        finally:
            self.cleanup()
        return 1 if self.failures else 0

    def decode(self, video):
        raw = self.path(os.path.basename(video) + ".rgba")
        self.run(["ffmpeg", "-v", "error", "-y", "-i", video, "-f", "rawvideo", "-pix_fmt", "rgba", raw])
        with open(raw, "rb") as f:
            return f.read()

    def ffmpeg(self, name, vf, complex_graph=False, env=None):
        out = self.path(name + ".rgba")
        flag = "-filter_complex" if complex_graph else "-vf"
        self.run(["ffmpeg", "-v", "error", "-y", "-i", self.path("in.nut"), flag, vf,
                  "-f", "rawvideo", "-pix_fmt", "rgba", out], env=env)
        with open(out, "rb") as f:
            return f.read()

    def check(self, what, got, want, frames_at_least=FRAMES):
        frame_size = WIDTH * HEIGHT * 4
        if len(got) < frames_at_least * frame_size or got != want[:len(got)]:
            first = next((i for i in range(min(len(got), len(want))) if got[i] != want[i]), None)
            print("FAIL %s: %d bytes, %d wanted; first difference at byte %s" % (what, len(got), len(want), first))
            self.failures += 1
        else:
            print("ok   %s (%d frames)" % (what, len(got) // frame_size))


def params(red, green, blue, rect, saved="n"):
    return "|".join(["%g" % (red / 100), "%g" % (green / 100), "%g" % (blue / 100)] + ["%g" % v for v in rect] + [saved])


def check_hosts(r, build):
    rng = random.Random(11)
    source = bytes(rng.getrandbits(8) for _ in range(WIDTH * HEIGHT * 4 * FRAMES))
    with open(r.path("in.rgba"), "wb") as f:
        f.write(source)
    r.run(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba", "-s", "%dx%d" % (WIDTH, HEIGHT),
           "-r", "25", "-i", r.path("in.rgba"), "-c:v", "ffv1", "-pix_fmt", "bgra", r.path("in.nut")])
    want = expected(build, source, SAVED["red"], SAVED["green"], SAVED["blue"], SAVED["rect"])

    umbrawash = os.path.join(build, "umbrawash")
    r.run([umbrawash, "settings", "set", "--red", "30", "--green", "50", "--blue", "100",
           "--rect", ",".join("%g" % v for v in SAVED["rect"])])
    r.run([umbrawash, "render", r.path("in.nut"), r.path("render.nut"), "--lossless", "--quiet"])
    rendered = r.decode(r.path("render.nut"))
    r.check("umbrawash render matches the formula", rendered, want)

    graph = "frei0r=filter_name=umbrawash:filter_params="
    r.check("ffmpeg with the parameters", r.ffmpeg("explicit", graph + params(**SAVED)), rendered)
    r.check("ffmpeg with the saved settings",
            r.ffmpeg("saved", graph + params(0, 0, 0, (0, 0, 1, 1), saved="y")), rendered)

    other = dict(red=0, green=100, blue=40, rect=(0.0, 0.5, 0.5, 1.0))
    both = r.ffmpeg("two", "[0]split[a][b];[a]%s[x];[b]%s[y];[x][y]vstack" % (graph + params(**SAVED),
                                                                              graph + params(**other)), True)
    frame_size = WIDTH * HEIGHT * 4
    top = b"".join(both[2 * f * frame_size:(2 * f + 1) * frame_size] for f in range(FRAMES))
    bottom = b"".join(both[(2 * f + 1) * frame_size:(2 * f + 2) * frame_size] for f in range(FRAMES))
    r.check("two instances in one graph: the first", top, want)
    r.check("two instances in one graph: the second", bottom, expected(build, source, **other))

    # melt: a profile of the clip's size (melt 7.12 crashes on a profile without a
    # description or with an unreduced aspect ratio),
    # parameters by name, RGBA kept end to end, two frame threads. melt leaves out the
    # clip's last frame.
    g = math.gcd(WIDTH, HEIGHT)
    with open(r.path("profile"), "w") as f:
        f.write("description=test clip\nwidth=%d\nheight=%d\nprogressive=1\nsample_aspect_num=1\nsample_aspect_den=1\n"
                "display_aspect_num=%d\ndisplay_aspect_den=%d\nframe_rate_num=25\nframe_rate_den=1\n"
                "colorspace=709\n" % (WIDTH, HEIGHT, WIDTH // g, HEIGHT // g))
    left, top_, right, bottom_ = SAVED["rect"]
    r.run(["melt", "-quiet", "-profile", r.path("profile"), r.path("in.nut"), "-filter", "frei0r.umbrawash",
           "Red amount=0.3", "Green amount=0.5", "Blue amount=1", "Left=%g" % left, "Top=%g" % top_,
           "Right=%g" % right, "Bottom=%g" % bottom_,
           "-consumer", "avformat:" + r.path("melt.nut"), "vcodec=ffv1", "pix_fmt=bgra",
           "mlt_image_format=rgba", "an=1", "real_time=-2"])
    r.check("melt with parameters by name", r.decode(r.path("melt.nut")), rendered, FRAMES - 1)

    # GStreamer: the raw frames through frei0r-filter-umbrawash, parameters as properties.
    for name, properties in (("explicit", ["red-amount=0.3", "green-amount=0.5", "blue-amount=1",
                                           "left=%g" % left, "top=%g" % top_, "right=%g" % right,
                                           "bottom=%g" % bottom_]),
                             ("saved", ["red-amount=0", "use-saved-settings=true"])):
        out = r.path("gst-%s.rgba" % name)
        r.run(["gst-launch-1.0", "-q", "filesrc", "location=" + r.path("in.rgba"), "!", "rawvideoparse",
               "format=rgba", "width=%d" % WIDTH, "height=%d" % HEIGHT, "framerate=25/1", "!",
               "frei0r-filter-umbrawash"] + properties + ["!", "filesink", "location=" + out])
        with open(out, "rb") as f:
            r.check("gst-launch-1.0 with the %s settings" % name, f.read(), rendered)


def main():
    build = os.path.abspath(sys.argv[1])
    r = Run(build, "--sanitized" in sys.argv[2:])
    return r.conclude(lambda: check_hosts(r, build))


if __name__ == "__main__":
    sys.exit(main())
