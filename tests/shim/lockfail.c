/* LD_PRELOAD shim: every SDL_LockSurface fails, as it can for a hardware
 * surface whose memory the driver cannot map. */
typedef struct SDL_Surface SDL_Surface;

int SDL_LockSurface(SDL_Surface *surface) {
    (void)surface;
    return -1;
}
