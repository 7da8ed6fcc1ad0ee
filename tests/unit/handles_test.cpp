// The record of live handles: lookups by address, kinds, removal, addresses
// that come back after a free, and growth of the table.
#include "handles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using orvix::handle_add;
using orvix::handle_each;
using orvix::handle_kind;
using orvix::handle_remove;
using orvix::Kind;

// Addresses that no other test records: every test takes its own stretch.
char pool[1 << 16];
void *addr(int i) { return pool + i; }

std::vector<void *> seen;
void collect(void *p) {
    if (p >= static_cast<void *>(pool) && p < static_cast<void *>(pool + sizeof pool)) seen.push_back(p);
}

TEST(Handles, AddedHandleHasItsKindUntilRemoved) {
    void *p = addr(0);
    EXPECT_EQ(handle_kind(p), Kind::None);
    handle_add(p, Kind::Sound);
    EXPECT_EQ(handle_kind(p), Kind::Sound);
    EXPECT_FALSE(handle_remove(p, Kind::Music));  // another kind: kept
    EXPECT_EQ(handle_kind(p), Kind::Sound);
    EXPECT_TRUE(handle_remove(p, Kind::Sound));
    EXPECT_EQ(handle_kind(p), Kind::None);
    EXPECT_FALSE(handle_remove(p, Kind::Sound));  // a second free is refused
}

TEST(Handles, NeighbouringAddressesAreDistinctHandles) {
    handle_add(addr(10), Kind::Surface);
    EXPECT_EQ(handle_kind(addr(9)), Kind::None);
    EXPECT_EQ(handle_kind(addr(11)), Kind::None);
    EXPECT_TRUE(handle_remove(addr(10), Kind::Surface));
}

TEST(Handles, ReusedAddressTakesItsNewKind) {
    void *p = addr(20);
    handle_add(p, Kind::Surface);
    ASSERT_TRUE(handle_remove(p, Kind::Surface));
    handle_add(p, Kind::Font);  // the allocator handed the same memory out again
    EXPECT_EQ(handle_kind(p), Kind::Font);
    EXPECT_FALSE(handle_remove(p, Kind::Surface));
    seen.clear();
    handle_each(Kind::Font, collect);
    EXPECT_EQ(seen, std::vector<void *>{p});
    EXPECT_TRUE(handle_remove(p, Kind::Font));
    // Added twice without a free in between: one record, the latest kind.
    handle_add(p, Kind::Music);
    handle_add(p, Kind::Sound);
    EXPECT_EQ(handle_kind(p), Kind::Sound);
    EXPECT_TRUE(handle_remove(p, Kind::Sound));
    EXPECT_EQ(handle_kind(p), Kind::None);
}

TEST(Handles, NullIsNeverAHandle) {
    handle_add(addr(30), Kind::Surface);  // the table exists
    EXPECT_EQ(handle_kind(nullptr), Kind::None);
    handle_add(nullptr, Kind::Surface);
    EXPECT_EQ(handle_kind(nullptr), Kind::None);
    EXPECT_FALSE(handle_remove(nullptr, Kind::Surface));
    EXPECT_TRUE(handle_remove(addr(30), Kind::Surface));
}

TEST(Handles, ManyHandlesForceGrowthAndAllStayFindable) {
    const int base = 1000, n = 20000;
    const Kind kinds[] = {Kind::Surface, Kind::Font, Kind::Sound, Kind::Music};
    for (int i = 0; i < n; ++i) handle_add(addr(base + i), kinds[i % 4]);
    for (int i = 0; i < n; ++i) ASSERT_EQ(handle_kind(addr(base + i)), kinds[i % 4]) << i;
    EXPECT_EQ(handle_kind(addr(base + n)), Kind::None);

    // Remove every other one: the rest must still be found past the holes.
    for (int i = 0; i < n; i += 2) ASSERT_TRUE(handle_remove(addr(base + i), kinds[i % 4]));
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(handle_kind(addr(base + i)), i % 2 ? kinds[i % 4] : Kind::None) << i;

    seen.clear();
    handle_each(Kind::Font, collect);
    EXPECT_EQ(seen.size(), size_t(n / 4));  // indices 1, 5, 9, ...
    for (int i = 1; i < n; i += 2) ASSERT_TRUE(handle_remove(addr(base + i), kinds[i % 4]));
    for (int i = 0; i < n; ++i) ASSERT_EQ(handle_kind(addr(base + i)), Kind::None) << i;
}

TEST(Handles, AddRemoveChurnKeepsLookupsRight) {
    // Removed entries stay behind as markers until the table is rebuilt; a
    // long run of loads and frees must neither lose live handles nor fill up.
    const int base = 30000;
    for (int i = 0; i < 64; ++i) handle_add(addr(base + i), Kind::Surface);  // long-lived
    for (int round = 0; round < 2000; ++round) {
        void *p = addr(base + 100 + round);
        handle_add(p, Kind::Sound);
        ASSERT_EQ(handle_kind(p), Kind::Sound);
        ASSERT_TRUE(handle_remove(p, Kind::Sound));
    }
    for (int i = 0; i < 64; ++i) ASSERT_EQ(handle_kind(addr(base + i)), Kind::Surface) << i;
    for (int round = 0; round < 2000; ++round) ASSERT_EQ(handle_kind(addr(base + 100 + round)), Kind::None);
    for (int i = 0; i < 64; ++i) ASSERT_TRUE(handle_remove(addr(base + i), Kind::Surface));
}

TEST(Handles, EachMayRemoveTheHandleItIsGiven) {
    const int base = 40000;
    for (int i = 0; i < 50; ++i) handle_add(addr(base + i), Kind::Music);
    handle_each(Kind::Music, [](void *p) {
        if (p >= static_cast<void *>(pool) && p < static_cast<void *>(pool + sizeof pool))
            handle_remove(p, Kind::Music);
    });
    for (int i = 0; i < 50; ++i) EXPECT_EQ(handle_kind(addr(base + i)), Kind::None) << i;
}

}  // namespace
