"""sprites in pygame: fill, 2000 blits of the 32 x 32 alpha sprite, flip."""
import pygame
from common import ASSETS, args, rnd, run, start

frames, warmup = args()
screen = start()
sprite = pygame.image.load(ASSETS + "/sprite.png").convert_alpha()


def frame():
    screen.fill((0, 0, 0))
    blit = screen.blit
    for _ in range(2000):
        x = rnd(640 + 32) - 32
        y = rnd(480 + 32) - 32
        blit(sprite, (x, y))
    pygame.display.flip()


run("sprites", frames, warmup, frame)
pygame.quit()
