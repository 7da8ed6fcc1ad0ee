// The structure behind the glyph and text caches: keys, the order in which
// entries go, the caps, dropping one owner's entries, and the index staying
// right through long runs of additions and evictions.
#include "caches.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>

// Allocation failures on demand: the unit tests are linked with calloc and
// realloc wrapped (tests/CMakeLists.txt); the call after the next
// fail_calloc (fail_realloc) calls fails.
namespace {
int fail_calloc, fail_realloc;
}
extern "C" void *__real_calloc(size_t n, size_t size);
extern "C" void *__real_realloc(void *p, size_t size);
extern "C" void *__wrap_calloc(size_t n, size_t size) {
    if (fail_calloc && --fail_calloc == 0) return nullptr;
    return __real_calloc(n, size);
}
extern "C" void *__wrap_realloc(void *p, size_t size) {
    if (fail_realloc && --fail_realloc == 0) return nullptr;
    return __real_realloc(p, size);
}

namespace {

using namespace orvix;

// A cache of values that are not surfaces of their own (as the glyph
// cache's are), so that the surface pointer can carry a number.
SurfaceCache make_cache(size_t cap, int32_t max_entries) {
    SurfaceCache c;
    c.cap = cap;
    c.max_entries = max_entries;
    return c;
}

CachedSurface value(uintptr_t n) { return CachedSurface{reinterpret_cast<SDL_Surface *>(n), SDL_Rect{}}; }

// The number kept under a key, or 0.
uintptr_t found(SurfaceCache &c, const void *owner, uint64_t word, const std::string &text = "") {
    const CachedSurface *v = cache_find(c, cache_key(owner, word, text.data(), text.size()));
    return v ? reinterpret_cast<uintptr_t>(v->surface) : 0;
}

bool put(SurfaceCache &c, const void *owner, uint64_t word, const std::string &text, uintptr_t n, size_t charge = 1) {
    return cache_insert(c, cache_key(owner, word, text.data(), text.size()), value(n), charge);
}

int owner_a, owner_b;

TEST(Caches, KeysDifferInOwnerWordLengthAndBytes) {
    SurfaceCache c = make_cache(1000, 100);
    char text[] = "Score: 10";
    ASSERT_TRUE(put(c, &owner_a, 7, text, 1));
    text[8] = '2';  // the cache keeps its own copy of the key's text
    EXPECT_EQ(found(c, &owner_a, 7, "Score: 10"), 1u);
    EXPECT_EQ(found(c, &owner_a, 7, "Score: 12"), 0u);
    EXPECT_EQ(found(c, &owner_b, 7, "Score: 10"), 0u);
    EXPECT_EQ(found(c, &owner_a, 8, "Score: 10"), 0u);
    EXPECT_EQ(found(c, &owner_a, 7, std::string("Score: 10\0", 10)), 0u);
    EXPECT_EQ(found(c, &owner_a, 7, "Score: 1"), 0u);
    cache_clear(c);
}

TEST(Caches, LeastRecentlyUsedGoFirst) {
    SurfaceCache c = make_cache(1000, 3);
    for (uintptr_t n = 1; n <= 3; ++n) ASSERT_TRUE(put(c, nullptr, n, "", n));
    EXPECT_EQ(found(c, nullptr, 1), 1u);  // 2 is now the least recently used
    ASSERT_TRUE(put(c, nullptr, 4, "", 4));
    EXPECT_EQ(found(c, nullptr, 2), 0u);
    CachedSurface v;
    ASSERT_TRUE(cache_take_oldest(c, &v));  // taken out whole, not freed
    EXPECT_EQ(reinterpret_cast<uintptr_t>(v.surface), 3u);
    EXPECT_EQ(c.used, 2);
    EXPECT_EQ(found(c, nullptr, 1), 1u);
    EXPECT_EQ(found(c, nullptr, 4), 4u);
    cache_clear(c);
    EXPECT_FALSE(cache_take_oldest(c, &v));
}

TEST(Caches, ChargesStayWithinTheCapAndNoEntryTakesMoreThanAQuarter) {
    SurfaceCache c = make_cache(1000, 100);
    EXPECT_FALSE(put(c, nullptr, 1, "", 1, 251));
    for (uintptr_t n = 1; n <= 5; ++n) ASSERT_TRUE(put(c, nullptr, n, "", n, 250));
    EXPECT_EQ(c.bytes, 1000u);
    EXPECT_EQ(found(c, nullptr, 1), 0u);
    ASSERT_TRUE(put(c, nullptr, 6, "", 6, 100));  // frees 2, the oldest, and only that
    EXPECT_EQ(c.bytes, 850u);
    EXPECT_EQ(found(c, nullptr, 2), 0u);
    EXPECT_EQ(found(c, nullptr, 3), 3u);
    cache_clear(c);
    EXPECT_EQ(c.bytes, 0u);
}

TEST(Caches, OwnedSurfacesAreFreedWhenTheirEntriesGo) {
    // Under the sanitizers, a surface left behind is reported as a leak.
    SurfaceCache c = make_cache(SIZE_MAX, 2);
    c.owns_surfaces = true;
    for (uint64_t n = 0; n < 5; ++n) {
        SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0xff0000, 0xff00, 0xff, 0xff000000);
        ASSERT_NE(s, nullptr);
        ASSERT_TRUE(cache_insert(c, cache_key(&owner_a, n, nullptr, 0), CachedSurface{s, SDL_Rect{}}, 64));
    }
    EXPECT_EQ(c.used, 2);
    cache_drop_owner(c, &owner_a);
    EXPECT_EQ(c.used, 0);
    cache_clear(c);
}

// Random additions, lookups, evictions and drops of one owner's entries
// against a plain model: every key the model holds is found with its value,
// and no other. A small
// cache, so that probe runs often wrap around the end of its index.
TEST(Caches, IndexAgreesWithAModelThroughLongChurn) {
    const int32_t most = 16;
    SurfaceCache c = make_cache(SIZE_MAX, most);
    std::map<std::pair<int, uint64_t>, uintptr_t> model;
    std::map<uintptr_t, std::pair<int, uint64_t>> by_value;
    std::mt19937 rng(7);
    int owners[3];
    uintptr_t next = 1;
    for (int step = 0; step < 60000; ++step) {
        int o = int(rng() % 3);
        uint64_t word = rng() % 40;
        std::string text = std::to_string(word * 31);
        auto key = std::make_pair(o, word);
        uintptr_t got = found(c, &owners[o], word, text);
        auto it = model.find(key);
        ASSERT_EQ(got, it == model.end() ? 0u : it->second) << "step " << step;
        int op = int(rng() % 100);
        if (it == model.end() && op < 70) {
            if (c.used == most) {  // the insertion frees the least recently used: find it by its value
                CachedSurface v;
                ASSERT_TRUE(cache_take_oldest(c, &v));
                auto gone = by_value.find(reinterpret_cast<uintptr_t>(v.surface));
                ASSERT_NE(gone, by_value.end());
                model.erase(gone->second);
                by_value.erase(gone);
            }
            ASSERT_TRUE(put(c, &owners[o], word, text, next));
            model[key] = next;
            by_value[next++] = key;
        } else if (op == 99) {
            cache_drop_owner(c, &owners[o]);
            for (auto m = model.begin(); m != model.end();) {
                if (m->first.first == o) {
                    by_value.erase(m->second);
                    m = model.erase(m);
                } else {
                    ++m;
                }
            }
        }
        ASSERT_EQ(size_t(c.used), model.size());
    }
    cache_clear(c);
}

// Running out of memory while the cache grows leaves it as it was, and it
// goes on working once memory is there again: whichever of its two blocks
// (the entries: realloc, the index: calloc) cannot be had, at its first
// growth, a later one, or a reservation.
TEST(Caches, GrowingSurvivesEitherAllocationFailing) {
    struct {
        const char *what;
        int *fail;
        int before;     // entries added before
        int32_t reserve;  // 0: grow by adding an entry
    } cases[] = {
        {"first index", &fail_calloc, 0, 0},       {"first entries", &fail_realloc, 0, 0},
        {"later index", &fail_calloc, 16, 0},      {"later entries", &fail_realloc, 16, 0},
        {"reserved index", &fail_calloc, 5, 1000}, {"reserved entries", &fail_realloc, 5, 1000},
    };
    for (const auto &t : cases) {
        SurfaceCache c = make_cache(100000, 10000);
        for (uintptr_t n = 1; n <= uintptr_t(t.before); ++n) ASSERT_TRUE(put(c, nullptr, n, "", n)) << t.what;
        const int32_t slots = c.slots;
        const size_t index_size = c.index_size;
        *t.fail = 1;
        EXPECT_FALSE(t.reserve ? cache_reserve(c, t.reserve) : put(c, nullptr, 999, "", 999)) << t.what;
        EXPECT_EQ(0, *t.fail) << t.what << ": the allocation was not made";
        fail_calloc = fail_realloc = 0;
        ASSERT_EQ(slots, c.slots) << t.what;
        ASSERT_EQ(index_size, c.index_size) << t.what;
        for (uintptr_t n = 1; n <= 300; ++n) ASSERT_TRUE(put(c, nullptr, 1000 + n, "", 1000 + n)) << t.what;
        for (uintptr_t n = 1; n <= uintptr_t(t.before); ++n) EXPECT_EQ(n, found(c, nullptr, n)) << t.what;
        for (uintptr_t n = 1; n <= 300; ++n) EXPECT_EQ(1000 + n, found(c, nullptr, 1000 + n)) << t.what;
        EXPECT_EQ(0u, found(c, nullptr, 999)) << t.what;
        cache_clear(c);
    }
}

}  // namespace
