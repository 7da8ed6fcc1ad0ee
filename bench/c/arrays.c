/* arrays, the limit: 100000 doubles packed into a fresh block laid out as a
 * number array (a 32-bit count, then the doubles from byte 4), once per frame.
 * The values come from a C array: reading them out of a Lua table is the part
 * no C program has to pay for. */
#include "bench.h"

#define COUNT 100000

static double values[COUNT];
static unsigned char *last;
static size_t last_size;

static void frame(void) {
    size_t size = 4 + sizeof(double) * COUNT;
    unsigned char *block = malloc(size);
    if (!block) fail("malloc");
    int32_t n = COUNT;
    memcpy(block, &n, sizeof n);
    for (size_t k = 0; k < COUNT; ++k) memcpy(block + 4 + k * sizeof(double), &values[k], sizeof(double));
    free(last);
    last = block;
    last_size = size;
}

int main(int argc, char **argv) {
    int frames, warmup;
    bench_args(argc, argv, &frames, &warmup);
    for (int k = 0; k < COUNT; ++k) values[k] = (double)rnd(1000000) / 1000.0;
    double *times = run_frames(frame, frames, warmup);
    report("arrays", frames, times, fnv1a(FNV_START, last, last_size));
    free(times);
    free(last);
    return 0;
}
