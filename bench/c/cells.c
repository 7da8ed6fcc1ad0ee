/* cells, the limit: a character-cell screen of COLS x ROWS cells with random
 * characters and colours, drawn cell by cell (render the glyph, fill the
 * background, blit the glyph, free it) and flipped every frame. With
 * "recolour" every cell takes a new random text colour before each frame.
 * Command line: FRAMES WARMUP COLS ROWS [recolour]. */
#include "bench.h"

static SDL_Surface *screen;
static TTF_Font *font;
static int cols, rows, cellW, cellH;
static unsigned char *chars;
static SDL_Color *fg, *bg;
static int recolour;

static void frame(void) {
    char text[2] = {0, 0};
    /* Row after row, as the script's curses_setcol calls go. */
    if (recolour) {
        for (int i = 0; i < cols * rows; ++i) {
            fg[i].r = (Uint8)rnd(256);
            fg[i].g = (Uint8)rnd(256);
            fg[i].b = (Uint8)rnd(256);
        }
    }
    /* Column by column, as curses_refresh draws them. */
    for (int x = 0; x < cols; ++x) {
        for (int y = 0; y < rows; ++y) {
            int i = x + y * cols;
            text[0] = (char)chars[i];
            SDL_Surface *glyph = TTF_RenderText_Blended(font, text, fg[i]);
            Uint32 colour = SDL_MapRGB(screen->format, bg[i].r, bg[i].g, bg[i].b);
            SDL_Rect r = {(Sint16)(x * cellW), (Sint16)(y * cellH), (Uint16)cellW, (Uint16)cellH};
            SDL_FillRect(screen, &r, colour);
            if (!glyph) continue;
            r.x = (Sint16)(x * cellW);
            r.y = (Sint16)(y * cellH);
            r.w = (Uint16)cellW;
            r.h = (Uint16)cellH;
            SDL_UpperBlit(glyph, NULL, screen, &r);
            SDL_FreeSurface(glyph);
        }
    }
    SDL_Flip(screen);
}

int main(int argc, char **argv) {
    int frames, warmup;
    bench_args(argc, argv, &frames, &warmup);
    cols = argc > 3 ? atoi(argv[3]) : 80;
    rows = argc > 4 ? atoi(argv[4]) : 25;
    recolour = argc > 5 && strcmp(argv[5], "recolour") == 0;
    if (cols < 1 || rows < 1) fail("a grid of at least one cell");

    /* The start-up of the character-cell mode: no joysticks, and the window
     * is opened after the font, at the size of the grid. */
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0) fail("SDL_Init");
    if (TTF_Init() < 0) fail("TTF_Init");
    Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 4096);
    font = TTF_OpenFont("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 16);
    if (!font) fail("TTF_OpenFont");
    TTF_GlyphMetrics(font, '@', NULL, NULL, NULL, NULL, &cellW);
    cellH = TTF_FontLineSkip(font);
    screen = SDL_SetVideoMode(cellW * cols, cellH * rows, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (!screen) fail("SDL_SetVideoMode");

    size_t n = (size_t)cols * (size_t)rows;
    chars = malloc(n);
    fg = malloc(n * sizeof *fg);
    bg = malloc(n * sizeof *bg);
    if (!chars || !fg || !bg) fail("malloc");
    /* Row after row: a printable character, a text and a background colour. */
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            int i = x + y * cols;
            chars[i] = (unsigned char)(33 + rnd(94));
            fg[i].r = (Uint8)rnd(256);
            fg[i].g = (Uint8)rnd(256);
            fg[i].b = (Uint8)rnd(256);
            fg[i].unused = 0;
            bg[i].r = (Uint8)rnd(256);
            bg[i].g = (Uint8)rnd(256);
            bg[i].b = (Uint8)rnd(256);
            bg[i].unused = 255;
        }
    }

    char name[64];
    snprintf(name, sizeof name, "%s%dx%d", recolour ? "recolour" : "cells", cols, rows);
    double *times = run_frames(frame, frames, warmup);
    report(name, frames, times, screen_hash(screen));
    free(times);
    free(chars);
    free(fg);
    free(bg);
    TTF_CloseFont(font);
    stop_display();
    return 0;
}
