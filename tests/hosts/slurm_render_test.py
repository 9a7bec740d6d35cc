#!/usr/bin/env python3
"""scripts/slurm-render.sh on a real one-node Slurm cluster, against one-process renders.

usage: slurm_render_test.py UMBRAWASH SLURM_RENDER WORKDIR

Starts munged, slurmctld and slurmd on this machine with a generated slurm.conf (this
machine's name, CPUs and memory; everything else in a temporary folder) and renders two
clips through the script's job arrays, with a saved configuration. The first task of
segment 2 of clip a is killed mid-write, so clip a's join must be cancelled while clip b is
joined. A second run of the script must then render only that segment, keeping clip a's
other pieces as they are, with the configuration saved at the first run although it has
been reset since, and join clip a. Both outputs must have the frames and the audio of a
one-process render, bit for bit. Clip b rendered to .webm, with no encoder named, must come
out as VP9 with the frames' times of a one-process render. Needs root and the packages
slurm-wlm and munge; skipped (exit 77) without them.
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
OPTIONS = ["--lossless", "--fade-in", "8", "--fade-out", "8"]
SEGMENTS = 3
WAIT_SECONDS = 180


def fail(message):
    print("slurm_render_test: " + message, file=sys.stderr)
    sys.exit(1)


def run(args, **kwargs):
    result = subprocess.run(args, capture_output=True, text=True, timeout=120, **kwargs)
    if result.returncode != 0:
        fail("%s failed (%d):\n%s%s" % (" ".join(args), result.returncode, result.stdout, result.stderr[-3000:]))
    return result.stdout


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Cluster:
    """munged, slurmctld and slurmd in the foreground, all state and logs in one folder."""

    def __init__(self):
        # munged wants its socket's folder and every folder above it searchable by all.
        self.dir = tempfile.mkdtemp(prefix="umbrawash-slurm-")
        os.chmod(self.dir, 0o755)
        self.env = dict(os.environ, SLURM_CONF=self.path("slurm.conf"))
        self.daemons = []

    def path(self, name):
        return os.path.join(self.dir, name)

    def write_conf(self):
        node = run(["slurmd", "-C"]).splitlines()[0]  # NodeName=... CPUs=... RealMemory=...
        name = re.match(r"NodeName=(\S+)", node).group(1)
        for folder in ("state", "spool"):
            os.mkdir(self.path(folder))
        conf = f"""\
ClusterName=umbrawash-test
SlurmctldHost={name}(127.0.0.1)
SlurmctldPort={free_port()}
SlurmdPort={free_port()}
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket={self.path("munge.socket")}
StateSaveLocation={self.path("state")}
SlurmdSpoolDir={self.path("spool")}
SlurmctldPidFile={self.path("slurmctld.pid")}
SlurmdPidFile={self.path("slurmd.pid")}
SlurmctldLogFile={self.path("slurmctld.log")}
SlurmdLogFile={self.path("slurmd.log")}
ProctrackType=proctrack/pgid
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
# Schedule jobs as they come and as others end, not every three seconds.
SchedulerParameters=batch_sched_delay=0
{node} NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
"""
        with open(self.path("slurm.conf"), "w") as f:
            f.write(conf)

    def start(self):
        self.write_conf()
        run(["mungekey", "--create", "--keyfile", self.path("munge.key")])
        self.spawn(["munged", "--foreground", "--force", "--socket", self.path("munge.socket"),
                    "--key-file", self.path("munge.key"), "--pid-file", self.path("munged.pid"),
                    "--log-file", self.path("munged.log"), "--seed-file", self.path("munged.seed")])
        self.wait_for(lambda: os.path.exists(self.path("munge.socket")), "munged's socket")
        self.spawn(["slurmctld", "-D"])
        self.spawn(["slurmd", "-D"])
        self.wait_for(lambda: self.query(["sinfo", "-h", "-o", "%T"]) == "idle", "the node to be idle")

    def spawn(self, args):
        self.daemons.append(subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL,
                                             stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT))

    def query(self, args):
        result = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=30)
        return result.stdout.strip() if result.returncode == 0 else None

    def wait_for(self, ready, what, seconds=30):
        deadline = time.monotonic() + seconds
        while not ready():
            for daemon in self.daemons:
                if daemon.poll() is not None:
                    fail("%s exited (%d) while waiting for %s%s" % (daemon.args[0], daemon.returncode, what, self.logs()))
            if time.monotonic() > deadline:
                fail("no sign of %s after %d s%s" % (what, seconds, self.logs()))
            time.sleep(0.1)

    def wait_until_idle(self):
        """Waits until no job is queued or running, joins cancelled for failed segments included."""
        self.wait_for(lambda: self.query(["squeue", "-h"]) == "", "the queue to empty", WAIT_SECONDS)

    def logs(self):
        text = ""
        for name in ("slurmctld.log", "slurmd.log", "munged.log"):
            try:
                with open(self.path(name), errors="replace") as f:
                    text += "\n--- %s (end)\n%s" % (name, "".join(f.readlines()[-15:]))
            except OSError:
                pass
        return text

    def stop(self, keep_logs_in):
        self.query(["scancel", "--full", "--quiet", "--user", "root"])
        for daemon in reversed(self.daemons):
            daemon.terminate()
            try:
                daemon.wait(timeout=15)
            except subprocess.TimeoutExpired:
                daemon.kill()
                daemon.wait()
        os.makedirs(keep_logs_in, exist_ok=True)
        for name in ("slurm.conf", "slurmctld.log", "slurmd.log", "munged.log"):
            if os.path.exists(self.path(name)):
                shutil.copy(self.path(name), keep_logs_in)
        shutil.rmtree(self.dir, ignore_errors=True)


def frame_sums(video, stream):
    """The checksums of the decoded frames of a stream ("v" or "a"), without the header that
    names the file."""
    sums = run(["ffmpeg", "-nostdin", "-v", "error", "-i", video, "-map", "0:" + stream, "-f", "framemd5", "-"])
    return [line for line in sums.splitlines() if not line.startswith("#")]


def identity(path):
    """What changes when a file is written again: its inode (a new piece is renamed over the
    old) and its modification time."""
    st = os.stat(path)
    return "%d %d" % (st.st_ino, int(st.st_mtime))


def task_logs(pieces):
    """The Slurm logs of a clip's tasks, to show with a failure."""
    text = ""
    log = os.path.join(pieces, "log")
    for name in sorted(os.listdir(log)) if os.path.isdir(log) else []:
        with open(os.path.join(log, name), errors="replace") as f:
            text += "\n--- %s\n%s" % (name, "".join(f.readlines()[:12]))
    return text


def main():
    umbrawash, slurm_render, work = (os.path.abspath(a) for a in sys.argv[1:4])
    if os.geteuid() != 0:
        print("slurm_render_test: SKIPPED: slurmd runs jobs as root only when started by root; run as root")
        return SKIP
    missing = [c for c in ("munged", "mungekey", "slurmctld", "slurmd", "sbatch") if not shutil.which(c)]
    if missing:
        print("slurm_render_test: SKIPPED: %s not installed (Debian packages slurm-wlm and munge)" % ", ".join(missing))
        return SKIP

    shutil.rmtree(work, ignore_errors=True)
    clips, out = os.path.join(work, "clips"), os.path.join(work, "out")
    os.makedirs(clips)
    os.makedirs(out)
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
    run([umbrawash, "settings", "set", "--red", "30", "--blue", "70", "--rect", "0.1,0.2,0.8,0.9"], env=env)
    for name, seconds in (("a", 2), ("b", 1)):
        run(["ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=15",
             "-f", "lavfi", "-i", "sine=sample_rate=44100", "-t", str(seconds), "-pix_fmt", "yuv420p",
             "-c:v", "libx264", "-c:a", "aac", os.path.join(clips, name + ".mp4")])
        run([umbrawash, "render", os.path.join(clips, name + ".mp4"), os.path.join(work, name + "-one.mkv"),
             "--quiet", "--jobs", "1"] + OPTIONS, env=env)

    # The command the nodes run: the real umbrawash, but the first render of clip a's segment 2
    # may write no more than 1 KiB, so the kernel kills it mid-write (SIGXFSZ). Each render
    # notes its piece and, when there is one afterwards, the piece's identity.
    calls = os.path.join(work, "calls.txt")
    wrapper = os.path.join(work, "umbrawash")
    with open(wrapper, "w") as f:
        f.write(f"""#!/usr/bin/env bash
set -euo pipefail
limit=unlimited
if [[ "$1" == render && "$3" == */a.mkv.pieces/segment-002-* ]] && mkdir '{work}/killed-once' 2>/dev/null; then
    limit=1
fi
status=0
(ulimit -c 0 -f "$limit"; exec '{umbrawash}' "$@") || status=$?
if [ "$1" = render ]; then
    printf '%s\\t%s\\n' "$3" "$(stat -c '%i %Y' -- "$3" 2>/dev/null || echo none)" >>'{calls}'
fi
exit "$status"
""")
    os.chmod(wrapper, 0o755)
    submit = [slurm_render, "--segments", str(SEGMENTS), "--umbrawash", wrapper, "--out-dir", out,
              os.path.join(clips, "a.mp4"), os.path.join(clips, "b.mp4"), "--"] + OPTIONS

    cluster = Cluster()
    # A test stopped from outside (ctest's timeout) still stops its daemons.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("slurm_render_test: stopped"))
    try:
        started = time.monotonic()
        cluster.start()
        print("cluster up in %.1f s" % (time.monotonic() - started))
        print(run(submit, env=dict(env, **cluster.env)), end="")
        # A container whose encoder is not the pieces' default: its pieces must be VP9.
        webm = os.path.join(out, "b.webm")
        print(run([slurm_render, "--segments", "2", "--umbrawash", wrapper, os.path.join(clips, "b.mp4"), webm],
                  env=dict(env, **cluster.env)), end="")
        cluster.wait_until_idle()
        pieces = os.path.join(out, "a.mkv.pieces")
        if os.path.exists(os.path.join(out, "a.mkv")):
            fail("clip a was joined though its segment 2 was killed")
        present = sorted(p for p in os.listdir(pieces) if p.startswith("segment-"))
        if present != ["segment-001-of-3.mkv", "segment-003-of-3.mkv"]:
            fail("after segment 2 was killed, clip a's pieces are %s%s" % (present, task_logs(pieces)))
        expected = [os.path.join(pieces, "segment-%03d-of-3.mkv" % k) for k in range(1, SEGMENTS + 1)]
        refused = subprocess.run([umbrawash, "join"] + expected + [os.path.join(work, "incomplete.mkv")],
                                 capture_output=True, text=True, env=env)
        if refused.returncode == 0 or "segment-002-of-3" not in refused.stderr + refused.stdout:
            fail("the join of an incomplete set did not name the missing piece:\n" + refused.stderr)

        kept = {p: identity(os.path.join(pieces, p)) for p in present}
        with open(calls) as f:
            first_run = len(f.readlines())
        # The rerun's segment must still render with the configuration of the first run.
        run([umbrawash, "settings", "reset"], env=env)
        print(run(submit, env=dict(env, **cluster.env)), end="")
        cluster.wait_until_idle()
        with open(calls) as f:
            again = dict(line.split("\t") for line in f.read().splitlines()[first_run:])
        # Clip b is done; each of clip a's segments has its task, but only segment 2 renders.
        if sorted(again) != expected:
            fail("the second run's tasks rendered %s, not clip a's three segments" % sorted(again))
        remade = [p for p in kept if again[os.path.join(pieces, p)] != kept[p]]
        if remade or again[expected[1]] == "none":
            fail("the second run made %s again, and segment 2 is %s%s"
                 % (remade or "no complete piece", again[expected[1]], task_logs(pieces)))
        for name in ("a", "b"):
            joined = os.path.join(out, name + ".mkv")
            if not os.path.exists(joined):
                fail("no joined output %s%s" % (joined, task_logs(joined + ".pieces")))
            for stream in ("v", "a"):
                if frame_sums(joined, stream) != frame_sums(os.path.join(work, name + "-one.mkv"), stream):
                    fail("the %s of %s differ from a one-process render"
                         % ("frames" if stream == "v" else "audio", joined))
            leftovers = [p for p in os.listdir(joined + ".pieces") if "segment-" in p]
            if leftovers:
                fail("the join left %s in %s.pieces" % (leftovers, joined))
        if not os.path.exists(webm):
            fail("no joined output %s%s" % (webm, task_logs(webm + ".pieces")))
        codec = run(["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "stream=codec_name",
                     "-of", "csv=p=0", webm]).strip()
        times = [[line.split(",")[2] for line in frame_sums(v, "v")] for v in (webm, os.path.join(work, "b-one.mkv"))]
        if codec != "vp9" or times[0] != times[1]:
            fail("%s holds %s with frames at %s, not VP9 at %s" % (webm, codec, times[0], times[1]))
        print("slurm_render_test: killed segment rerun alone; joined clips match one-process renders (%.1f s)"
              % (time.monotonic() - started))
    finally:
        cluster.stop(os.path.join(work, "cluster"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
