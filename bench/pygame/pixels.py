"""pixels in pygame: 50000 set_at at random positions and colours, flip."""
import pygame
import common
from common import args, run, start

frames, warmup = args()
screen = start()


def frame():
    set_at = screen.set_at
    seed = common.get_seed()
    for _ in range(50000):
        seed = seed * 16807 % 2147483647
        v = seed % 307200
        seed = seed * 16807 % 2147483647
        c = seed % 16777216
        set_at((v % 640, v // 640), (c % 256, (c >> 8) % 256, c >> 16, 255))
    common.set_seed(seed)
    pygame.display.flip()


run("pixels", frames, warmup, frame)
pygame.quit()
