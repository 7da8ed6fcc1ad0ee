"""shapes in pygame: fill, 500 filled circles blended by alpha
(pygame.gfxdraw, pygame's SDL_gfx port) and 500 anti-aliased lines
(pygame.draw.aaline, which has no alpha), flip."""
import pygame
import pygame.gfxdraw
from common import args, rnd, run, start

frames, warmup = args()
screen = start()


def frame():
    screen.fill((0, 0, 0))
    for _ in range(500):
        x, y, rad = rnd(640), rnd(480), rnd(40) + 1
        r, g, b = rnd(256), rnd(256), rnd(256)
        a = 128 + rnd(128)
        pygame.gfxdraw.filled_circle(screen, x, y, rad, (r, g, b, a))
    for _ in range(500):
        x1, y1 = rnd(680) - 20, rnd(520) - 20
        x2, y2 = rnd(680) - 20, rnd(520) - 20
        r, g, b = rnd(256), rnd(256), rnd(256)
        a = 128 + rnd(128)
        pygame.draw.aaline(screen, (r, g, b, a), (x1, y1), (x2, y2))
    pygame.display.flip()


run("shapes", frames, warmup, frame)
pygame.quit()
