"""text in pygame: fill, 200 renders of "Score: N" in DejaVu Sans 16, flip."""
import pygame
from common import FONTS, args, rnd, run, start

frames, warmup = args()
screen = start()
pygame.font.init()
font = pygame.font.Font(FONTS + "DejaVuSans.ttf", 16)


def frame():
    screen.fill((0, 0, 0))
    for _ in range(200):
        score = rnd(100000)
        x = rnd(640) - 40
        y = rnd(480) - 10
        colour = (rnd(256), rnd(256), rnd(256))
        screen.blit(font.render("Score: %d" % score, True, colour), (x, y))
    pygame.display.flip()


run("text", frames, warmup, frame)
pygame.quit()
