"""pacing in pygame: a light frame paced by Clock.tick(60), which waits for
what is left of a 16 ms frame after each call (a relative schedule)."""
import sys
import time

import pygame
from common import start

duration = float(sys.argv[1]) if len(sys.argv) > 1 else 5.0
settle = float(sys.argv[2]) if len(sys.argv) > 2 else 0.5
screen = start()
clock = pygame.time.Clock()


def frame():
    screen.fill((0, 0, 0))
    pygame.display.flip()
    clock.tick(60)


start_t = time.perf_counter()
while time.perf_counter() - start_t < settle:
    frame()
t0, c0 = time.perf_counter(), time.process_time()
t1, calls = t0, 0
while t1 - t0 < duration:
    frame()
    calls += 1
    t1 = time.perf_counter()
cpu = time.process_time() - c0
print("result workload=pacing host=pygame calls=%d seconds=%.4f rate=%.4f target_rate=%.4f cpu_pct=%.3f"
      % (calls, t1 - t0, calls / (t1 - t0), 1000 / (1000 // 60), 100 * cpu / (t1 - t0)))
pygame.quit()
