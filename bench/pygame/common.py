"""Shared pieces of the pygame peers: the random sequence, the frame loop and
the result line, as in bench/lua/common.lua. pygame is a peer for comparison
only; these scripts run when python3-pygame is installed."""
import os
import sys
import time

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")
import pygame  # noqa: E402

FONTS = "/usr/share/fonts/truetype/dejavu/"
ASSETS = os.environ.get("BENCH_ASSETS", ".")

_seed = 12345


def rnd(n):
    """Park and Miller's minimal standard generator, as in C and Lua."""
    global _seed
    _seed = _seed * 16807 % 2147483647
    return _seed % n


def get_seed():
    return _seed


def set_seed(s):
    global _seed
    _seed = s


def args():
    frames = max(1, int(float(sys.argv[1]))) if len(sys.argv) > 1 else 10
    warmup = max(0, int(float(sys.argv[2]))) if len(sys.argv) > 2 else 0
    return frames, warmup


def start(w=640, h=480):
    pygame.display.init()
    return pygame.display.set_mode((w, h), 0, 32)


def run(workload, frames, warmup, frame):
    for _ in range(warmup):
        frame()
    times = []
    for _ in range(frames):
        t0 = time.perf_counter()
        frame()
        times.append(time.perf_counter() - t0)
    mean = sum(times) / frames
    times.sort()
    mid = frames // 2
    median = times[mid] if frames % 2 else (times[mid - 1] + times[mid]) / 2
    print("result workload=%s host=pygame frames=%d median_ms=%.4f mean_ms=%.4f hash=none"
          % (workload, frames, median * 1e3, mean * 1e3))
