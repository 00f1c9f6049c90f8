#!/usr/bin/env python3
"""The tool's whole commands on a 4K frame with film grain, at each depth, in one run:

* a copy render (nothing to do) of an uncompressed file against oiiotool copying the same file;
* five renders, each as render minus copy (what the effect adds to the command), against OpenCV's filter of
  the same size on the same frame and the same threads (bench/peer/opencv_filters);
* the tool's peak memory against one frame (from --stats=json), and its start-up.

Beside each whole command, the render step alone (the tool's own clock around the effect's render, from
--stats=json, render minus the copy render's): reading and writing a 4K file vary between runs by more
than a fast blur takes, so the whole-command difference of a fast render is mostly that noise.

    python3 bench/tool_bench.py --build build/linux-release [--threads N] [--runs 5] [--workdir DIR]

Whole commands are timed as wall-clock medians, interleaved: each run times every command once, so a
machine that is busier at one moment slows every side alike. The tool renders with --threads N, oiiotool
with --threads N, OpenCV with cv::setNumThreads(N). Prints a Markdown table (the README's Performance
section) and, with --json FILE, the figures.
"""
import argparse
import datetime
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

WIDTH, HEIGHT = 3840, 2160
NO_WORK = ["-s", "Blur Amount=0", "-s", "R=0", "-s", "G=0", "-s", "B=0", "-s", "A=0"]
ONE_LENGTH = ["-s", "G=0", "-s", "B=0", "-s", "Blur Repeat Num=1"]

# (name, tovrin settings, OpenCV peer)
RENDERS = [
    ("box n = 1, Blur Amount 20", ["-s", "Blur Amount=20"] + ONE_LENGTH, "box:41"),
    ("the default settings", [], "box:31"),
    ("Blur Amount 3 (edge smoothing)", ["-s", "Blur Amount=3"] + ONE_LENGTH, "box:7"),
    ("box 20, key colour range 25 %", ["-s", "Blur Amount=20"] + ONE_LENGTH +
     ["-s", "1 : Enable=on", "-s", "1 : Color Range=25"], "box:41"),
    ("Gaussian n = 1, Blur Amount 20", ["-s", "Blur Type=Gaussian", "-s", "Blur Amount=20"] + ONE_LENGTH,
     "gauss:41"),
]

# (depth, input file, oiiotool data type)
DEPTHS = [("8-bit", "grain8.tif", "uint8"), ("16-bit", "grain16.tif", "uint16"),
          ("float", "grain_float.exr", "float")]


def make_frames(workdir):
    grain = ["--pattern", "fill:topleft=0.1,0.2,0.5,1:topright=0.9,0.6,0.2,1:bottomleft=0.2,0.7,0.3,1:"
             "bottomright=0.6,0.1,0.6,1", f"{WIDTH}x{HEIGHT}", "4",
             "--pattern", "noise:type=gaussian:mean=0:stddev=0.04", f"{WIDTH}x{HEIGHT}", "4",
             "--chnames", "R,G,B,A", "--add", "--clamp:min=0:max=1", "--ch", "R,G,B,A=1.0"]
    for _, name, dtype in DEPTHS:
        path = os.path.join(workdir, name)
        if not os.path.exists(path):
            subprocess.run(["oiiotool"] + grain + ["-d", dtype, "--compression", "none", "-o", path],
                           check=True)


def timed(argv, env=None):
    """Wall seconds of one command and, for a render with --stats=json, the render step's own seconds (the
    tool's clock around the effect's render, without reading and writing); exits with its error when it
    fails."""
    start = time.perf_counter()
    proc = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    wall = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"{' '.join(argv)} failed ({proc.returncode}): {proc.stderr.decode(errors='replace')}")
    step = None
    for line in proc.stderr.decode(errors="replace").splitlines():
        if line.startswith('{"frame"'):
            step = json.loads(line)["seconds"]["render"]
    return wall, step


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build/linux-release")
    parser.add_argument("--threads", type=int, default=os.cpu_count())
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--workdir", default=None)
    parser.add_argument("--json", default=None, help="also write the figures to this file")
    parser.add_argument("--only", default=None, help="only the depths named, e.g. 16-bit,float")
    args = parser.parse_args()

    tool = os.path.join(args.build, "bin", "tovrin")
    peer = os.path.join(args.build, "bench", "peer", "opencv_filters")
    for program in (tool, peer):
        if not os.access(program, os.X_OK):
            sys.exit(f"{program} is missing: cmake --build {args.build}")
    workdir = args.workdir or tempfile.mkdtemp(prefix="tovrin-tool-bench-")
    os.makedirs(workdir, exist_ok=True)
    make_frames(workdir)
    depths = [d for d in DEPTHS if not args.only or d[0] in args.only.split(",")]
    env = dict(os.environ)
    env.pop("TOVRIN_HOST_STRICT", None)
    threads = ["--threads", str(args.threads)]

    # Every command of the run, by key.
    commands = {}
    for depth, name, _ in depths:
        src = os.path.join(workdir, name)
        ext = os.path.splitext(name)[1]
        out = os.path.join(workdir, f"out{ext}")
        base = [tool, "render", src, "-o", out, "-y", "-q", "--compression", "none", "--stats=json"] + threads
        commands[(depth, "copy")] = base + NO_WORK
        commands[(depth, "oiiotool")] = ["oiiotool", "--threads", str(args.threads), src, "--compression",
                                         "none", "-o", os.path.join(workdir, f"oiio{ext}")]
        for label, settings, _ in RENDERS:
            commands[(depth, label)] = base + settings
    commands[("start", "tovrin --version")] = [tool, "--version"]
    commands[("start", "tovrin info")] = [tool, "info"]
    commands[("start", "oiiotool --version")] = ["oiiotool", "--version"]

    walls = {key: [] for key in commands}
    steps = {key: [] for key in commands}
    for run in range(args.runs):
        for key, argv in commands.items():
            wall, step = timed(argv, env)
            walls[key].append(wall)
            if step is not None:
                steps[key].append(step)
        print(f"# run {run + 1} of {args.runs} done", file=sys.stderr)
    median = {key: statistics.median(v) for key, v in walls.items()}
    step_median = {key: statistics.median(v) for key, v in steps.items() if v}

    # The peer, on the same frames and threads; peak memory from the tool's own figures.
    peer_ms, peaks = {}, {}
    for depth, name, _ in depths:
        src = os.path.join(workdir, name)
        filters = sorted({f for _, _, f in RENDERS})
        out = subprocess.run([peer, src, "--threads", str(args.threads), "--runs", str(args.runs)] + filters,
                             check=True, capture_output=True, text=True).stdout
        for line in out.splitlines():
            kind, size, ms = line.split()
            peer_ms[(depth, f"{kind}:{size}")] = float(ms)
        for label in ["copy"] + [r[0] for r in RENDERS]:
            argv = commands[(depth, label)]
            err = subprocess.run(argv, env=env, capture_output=True, text=True, check=True).stderr
            frame = next(json.loads(l) for l in err.splitlines() if l.startswith('{"frame"'))
            m = frame["memory"]
            peaks[(depth, label)] = (m["peakBytes"], m["frameBytes"], m["startBytes"])

    def memory(depth, label):
        peak, frame, start = peaks[(depth, label)]
        return f"{peak / frame:.2f}× ({(peak - start) / frame:.2f}×)"

    today = datetime.date.today().isoformat()
    print(f"Measured {today} on {os.cpu_count()} cores, {args.threads} threads a side, "
          f"medians of {args.runs} interleaved runs, 3840 × 2160 with film grain, uncompressed files.\n")
    print("| depth | command | tovrin, whole command | the render step alone | peer | ratio | ratio, render "
          "step | tovrin's peak memory / frame (after start-up) |")
    print("|---|---|---|---|---|---|---|---|")
    figures = []
    for depth, _, _ in depths:
        copy = median[(depth, "copy")]
        copy_step = step_median[(depth, "copy")]
        oiio = median[(depth, "oiiotool")]
        print(f"| {depth} | copy render | {copy * 1000:.0f} ms | {copy_step * 1000:.0f} ms | oiiotool copying: "
              f"{oiio * 1000:.0f} ms | {copy / oiio:.2f}× | | {memory(depth, 'copy')} |")
        figures.append({"depth": depth, "command": "copy", "tovrin": copy, "step": copy_step, "peer": oiio})
        for label, _, filt in RENDERS:
            whole = median[(depth, label)]
            added = whole - copy
            step = step_median[(depth, label)] - copy_step
            cv = peer_ms[(depth, filt)] / 1000
            kind, size = filt.split(":")
            peer_name = ("cv::boxFilter " if kind == "box" else "cv::GaussianBlur ") + size
            print(f"| {depth} | {label}: render − copy | {added * 1000:.0f} ms (whole {whole * 1000:.0f} ms) | "
                  f"{step * 1000:.0f} ms | {peer_name}: {cv * 1000:.0f} ms | {added / cv:.2f}× | {step / cv:.2f}× | "
                  f"{memory(depth, label)} |")
            figures.append({"depth": depth, "command": label, "tovrin": added, "whole": whole, "step": step,
                            "peer": cv})
    starts = " · ".join(f"{name} {median[('start', name)] * 1000:.0f} ms"
                        for name in ("tovrin --version", "tovrin info", "oiiotool --version"))
    print(f"\nStart-up (whole commands): {starts}.")
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"date": today, "cores": os.cpu_count(), "threads": args.threads, "runs": args.runs,
                       "figures": figures,
                       "start": {k[1]: v for k, v in median.items() if k[0] == "start"}}, f, indent=1)


if __name__ == "__main__":
    main()
