/* LD_PRELOAD shim: SDL sees ORVIX_FAKE_JOYSTICKS joysticks. Opening and
 * closing them is logged on standard error as "fakejoy open N" and
 * "fakejoy close N", so that tests can check the order. Any count up to
 * INT_MAX is reported (to make the joystick table too big to allocate); only
 * the first 16 can be opened. */
#include <stdio.h>
#include <stdlib.h>

typedef struct _SDL_Joystick SDL_Joystick;

static char fake[16];

static int fake_count(void) {
    const char *s = getenv("ORVIX_FAKE_JOYSTICKS");
    long n = s ? strtol(s, NULL, 10) : 0;
    if (n < 0) n = 0;
    if (n > 2147483647L) n = 2147483647L;
    return (int)n;
}

int SDL_NumJoysticks(void) { return fake_count(); }

SDL_Joystick *SDL_JoystickOpen(int index) {
    if (index < 0 || index >= fake_count() || index >= 16) return NULL;
    fprintf(stderr, "fakejoy open %d\n", index);
    return (SDL_Joystick *)&fake[index];
}

void SDL_JoystickClose(SDL_Joystick *joystick) {
    char *p = (char *)joystick;
    if (p >= fake && p < fake + 16) fprintf(stderr, "fakejoy close %d\n", (int)(p - fake));
}
