// The C library's random numbers as glibc makes them, so that a script's
// math.random draws the same numbers from the same seed in the browser and on
// Windows as on Linux: an additive feedback generator over 31 words
// (r[i] = r[i-3] + r[i-31]), seeded by a Lehmer sequence and run 310 steps
// before its first number, each number being the sum without its lowest bit.
#include "addons.h"

namespace addons {

namespace {

constexpr int kDeg = 31;
constexpr int kSep = 3;

struct State {
    int32_t r[kDeg];
    int front = kSep;  // the word updated next
    int rear = 0;      // the word added to it
    State() { seed(1); }

    void seed(unsigned s) {
        if (s == 0) s = 1;
        int32_t word = int32_t(s);
        r[0] = word;
        for (int i = 1; i < kDeg; ++i) {
            // 16807 * word mod (2^31 - 1), without overflowing 31 bits.
            int32_t hi = word / 127773, lo = word % 127773;
            word = 16807 * lo - 2836 * hi;
            if (word < 0) word += 2147483647;
            r[i] = word;
        }
        front = kSep;
        rear = 0;
        for (int i = 0; i < 10 * kDeg; ++i) next();
    }

    int next() {
        uint32_t val = uint32_t(r[front]) + uint32_t(r[rear]);
        r[front] = int32_t(val);
        front = (front + 1) % kDeg;
        rear = (rear + 1) % kDeg;
        return int(val >> 1);
    }
};

State state;

}  // namespace

void glibc_srand(unsigned seed) { state.seed(seed); }
int glibc_rand() { return state.next(); }

}  // namespace addons
