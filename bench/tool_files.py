#!/usr/bin/env python3
"""The tool's file handling on a 4K frame with film grain: how long a copy render takes and how large its
output is for each output compression, and the tool's peak memory against the size of one frame.

    python3 bench/tool_files.py --tool build/linux-release/bin/tovrin [--runs 3] [--workdir /tmp/x]

Frames are made with oiiotool (a gradient with Gaussian grain, opaque). Times are wall-clock medians of
whole commands, interleaved across the choices; peak memory is the process's maximum resident set.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

WIDTH, HEIGHT = 3840, 2160
COPY = ["-s", "Blur Amount=0", "-s", "R=0", "-s", "G=0", "-s", "B=0", "-s", "A=0"]

# (input, output extension, --compression choices; "" is the tool's default)
CASES = [
    ("grain8.png", "png", ["0", "1", "2", "3", "6", "9", ""]),
    ("grain16.png", "png", ["1", "2", "3", "6", ""]),
    ("grain_half.exr", "exr", ["none", "zip", "zips", "piz", "dwaa", ""]),
    ("grain_float.exr", "exr", ["none", "zip", "zips", "piz", ""]),
    ("grain16.tif", "tif", ["none", "lzw", "zip", "zip:1", ""]),
]


def make_frames(workdir):
    grain = ["--pattern", "fill:topleft=0.1,0.2,0.5,1:topright=0.9,0.6,0.2,1:bottomleft=0.2,0.7,0.3,1:"
             "bottomright=0.6,0.1,0.6,1", f"{WIDTH}x{HEIGHT}", "4",
             "--pattern", "noise:type=gaussian:mean=0:stddev=0.04", f"{WIDTH}x{HEIGHT}", "4",
             "--chnames", "R,G,B,A", "--add", "--clamp:min=0:max=1", "--ch", "R,G,B,A=1.0"]
    outputs = {"grain8.png": ["-d", "uint8"], "grain16.png": ["-d", "uint16"],
               "grain_half.exr": ["-d", "half"], "grain_float.exr": ["-d", "float"],
               "grain16.tif": ["-d", "uint16"]}
    for name, depth in outputs.items():
        path = os.path.join(workdir, name)
        if not os.path.exists(path):
            subprocess.run(["oiiotool"] + grain + depth + ["-o", path], check=True)


def run(tool, args):
    """Wall time in seconds of one command."""
    start = time.perf_counter()
    proc = subprocess.run([tool] + args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"{' '.join(args)} failed: {proc.stderr.decode(errors='replace')}")
    return wall


def peak_of(tool, args):
    pid = os.fork()
    if pid == 0:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        os.dup2(devnull, 2)
        os.execv(tool, [tool] + args)
    _, status, usage = os.wait4(pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{' '.join(args)} failed")
    return usage.ru_maxrss * 1024


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--workdir", default=None)
    args = parser.parse_args()
    workdir = args.workdir or tempfile.mkdtemp(prefix="tovrin-files-bench-")
    os.makedirs(workdir, exist_ok=True)
    make_frames(workdir)

    print(f"# {WIDTH} x {HEIGHT}, {os.cpu_count()} cores, copy renders, median of {args.runs}")
    print("| input | output | --compression | whole command | output size |")
    print("|---|---|---|---|---|")
    for source, ext, choices in CASES:
        times = {c: [] for c in choices}
        sizes = {}
        for _ in range(args.runs):
            for choice in choices:  # interleaved, so that a busy moment hits every choice alike
                out = os.path.join(workdir, f"out.{ext}")
                extra = ["--compression", choice] if choice else []
                wall = run(args.tool, ["render", os.path.join(workdir, source), "-o", out, "-y", "-q"]
                              + COPY + extra)
                times[choice].append(wall)
                sizes[choice] = os.path.getsize(out)
        for choice in choices:
            print(f"| {source} | {ext} | {choice or '(default)'} | {statistics.median(times[choice]):.2f} s | "
                  f"{sizes[choice] / 1e6:.1f} MB |")

    frame = WIDTH * HEIGHT * 16  # one 'ae32' world
    print()
    print(f"# peak memory, 4K float (one 'ae32' frame: {frame / 2**20:.0f} MiB)")
    print("| render | peak resident | × frame |")
    print("|---|---|---|")
    source = os.path.join(workdir, "grain_float.exr")
    out = os.path.join(workdir, "peak.exr")
    for label, settings in [("copy", COPY), ("Gaussian, Blur Amount 20",
                                             ["-s", "Blur Type=Gaussian", "-s", "Blur Amount=20"])]:
        peak = peak_of(args.tool, ["render", source, "-o", out, "-y", "-q", "--compression", "none"] + settings)
        print(f"| {label} | {peak / 2**20:.0f} MiB | {peak / frame:.2f} |")


if __name__ == "__main__":
    main()
