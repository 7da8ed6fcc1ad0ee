/* hud, the limit: the 40 texts of a status bar and a menu, the same every
 * frame, each rendered blended, blitted and freed, then flip. Nothing clears
 * the screen: the texts are drawn over the last frame, so that the frame is
 * the text alone. The texts, fonts, places and colours are those of
 * bench/lua/hud.lua. */
#include "bench.h"

static const char *const status_texts[] = {
    "Score 0012450", "Hi 0098000", "Lives 3", "Level 7", "Time 02:31",
    "Coins 48", "Ammo 24/120", "Health 87%", "Shield 40%", "Stage 2-4",
};
static const char *const menu_texts[] = {
    "New Game", "Continue", "Load Game", "Save Game", "Options",
    "Controls", "Sound: On", "Music: Off", "Fullscreen: Off", "Language: English",
    "Credits", "Quit", "Resume", "Restart Level", "Main Menu",
    "Inventory", "Map", "Quests", "Skills", "Equipment",
    "Sword of Dawn", "Potion x 3", "Gold: 1,204", "XP 3450 / 5000", "Achievements",
    "Leaderboard", "Difficulty: Normal", "Brightness", "Press Start", "Back",
};
#define NSTATUS (int)(sizeof status_texts / sizeof status_texts[0])
#define NMENU (int)(sizeof menu_texts / sizeof menu_texts[0])
#define NTEXTS (NSTATUS + NMENU)

static SDL_Surface *screen;
static TTF_Font *status_font, *menu_font;
static struct {
    const char *text;
    TTF_Font *font;
    Sint16 x, y;
    SDL_Color colour;
} texts[NTEXTS];

static void frame(void) {
    for (int i = 0; i < NTEXTS; ++i) {
        SDL_Surface *rendered = TTF_RenderUTF8_Blended(texts[i].font, texts[i].text, texts[i].colour);
        if (!rendered) continue;
        SDL_Rect r = {texts[i].x, texts[i].y, (Uint16)rendered->w, (Uint16)rendered->h};
        SDL_UpperBlit(rendered, NULL, screen, &r);
        SDL_FreeSurface(rendered);
    }
    SDL_Flip(screen);
}

int main(int argc, char **argv) {
    int frames, warmup;
    bench_args(argc, argv, &frames, &warmup);
    screen = start_display(640, 480);
    status_font = TTF_OpenFont("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 14);
    menu_font = TTF_OpenFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 18);
    if (!status_font || !menu_font) fail("TTF_OpenFont");
    /* The status bar: two rows of five across the top; the menu: two
     * columns of fifteen. Each text a bright colour of its own. */
    for (int i = 0; i < NTEXTS; ++i) {
        if (i < NSTATUS) {
            texts[i].text = status_texts[i];
            texts[i].font = status_font;
            texts[i].x = (Sint16)(8 + (i % 5) * 126);
            texts[i].y = (Sint16)(4 + (i / 5) * 18);
        } else {
            int k = i - NSTATUS;
            texts[i].text = menu_texts[k];
            texts[i].font = menu_font;
            texts[i].x = (Sint16)(60 + (k / 15) * 300);
            texts[i].y = (Sint16)(70 + (k % 15) * 26);
        }
        texts[i].colour.r = (Uint8)(128 + rnd(128));
        texts[i].colour.g = (Uint8)(128 + rnd(128));
        texts[i].colour.b = (Uint8)(128 + rnd(128));
        texts[i].colour.unused = 0;
    }

    double *times = run_frames(frame, frames, warmup);
    report("hud", frames, times, screen_hash(screen));
    free(times);
    TTF_CloseFont(status_font);
    TTF_CloseFont(menu_font);
    stop_display();
    return 0;
}
