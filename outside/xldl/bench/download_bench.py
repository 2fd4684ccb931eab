#!/usr/bin/env python3
"""Download speed and peak memory of the engine beside curl and aria2c.

Run by hand from the build folder after building xldl_fetch and
download_server:
    python3 ../outside/xldl/bench/download_bench.py [--size-mb 256] [--rounds 3]
A generated file is served by the loopback download server (127.0.0.1,
port chosen by the system) and fetched by each tool in turn, each round in
the same order; every download goes to a fresh folder that is removed
afterwards. Reports the best MB/s (MiB per second) and the peak resident
memory of each tool's process.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def run(command):
    """Wall seconds and peak RSS (KiB) of one child process."""
    start = time.monotonic()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.monotonic() - start
    if status != 0:
        raise RuntimeError("%s failed with status %d" % (command[0], status))
    return seconds, usage.ru_maxrss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size-mb", type=int, default=256)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--build", default=os.getcwd(), help="the build folder")
    args = parser.parse_args()
    size = args.size_mb * 1024 * 1024
    server_path = os.path.join(args.build, "bench", "download_server")
    fetch_path = os.path.join(args.build, "bench", "xldl_fetch")
    for tool in ("curl", "aria2c"):
        if shutil.which(tool) is None:
            sys.exit("%s is missing: run scripts/setup.sh" % tool)

    server = subprocess.Popen([server_path, str(size)], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    port = int(server.stdout.readline().split()[1])
    url = "http://127.0.0.1:%d/file.bin" % port
    tools = {
        "xldl": lambda d: [fetch_path, url, d, "file.bin"],
        "curl": lambda d: ["curl", "-s", "-f", "--noproxy", "*", "-o", os.path.join(d, "file.bin"), url],
        "aria2c": lambda d: ["aria2c", "-q", "--no-conf", "--all-proxy=", "--file-allocation=none",
                             "--allow-overwrite=true", "-x1", "-s1", "-d", d, "-o", "file.bin", url],
    }
    best = {name: (float("inf"), 0) for name in tools}
    try:
        for _ in range(args.rounds):
            for name, command in tools.items():
                folder = tempfile.mkdtemp(prefix="xldl_bench_")
                try:
                    seconds, rss = run(command(folder))
                    got = os.path.getsize(os.path.join(folder, "file.bin"))
                    if got != size:
                        raise RuntimeError("%s wrote %d bytes of %d" % (name, got, size))
                finally:
                    shutil.rmtree(folder)
                old_seconds, old_rss = best[name]
                best[name] = (min(old_seconds, seconds), max(old_rss, rss))
    finally:
        server.stdin.close()
        server.wait(timeout=30)

    # The engine's own footprint: the same program fetching a one-byte file.
    tiny = subprocess.Popen([server_path, "1"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        tiny_url = "http://127.0.0.1:%d/file.bin" % int(tiny.stdout.readline().split()[1])
        folder = tempfile.mkdtemp(prefix="xldl_bench_")
        try:
            _, baseline_rss = run([fetch_path, tiny_url, folder, "file.bin"])
        finally:
            shutil.rmtree(folder)
    finally:
        tiny.stdin.close()
        tiny.wait(timeout=30)

    print("%d MiB over loopback, best of %d rounds" % (args.size_mb, args.rounds))
    print("%-8s %10s %14s" % ("tool", "MiB/s", "peak RSS MiB"))
    for name, (seconds, rss) in best.items():
        print("%-8s %10.1f %14.1f" % (name, args.size_mb / seconds, rss / 1024.0))
    print("xldl fetching one byte: peak RSS %.1f MiB (the download itself adds %.1f MiB)"
          % (baseline_rss / 1024.0, (best["xldl"][1] - baseline_rss) / 1024.0))


if __name__ == "__main__":
    main()
