// The record of live handles: an open-addressing hash set of pointers, each
// with its kind. Lookups never allocate; the table grows only when a handle
// is added, which happens in load functions, never on a draw path.
#include "handles.h"
#include "state.h"

#include <cstdio>
#include <cstdlib>

namespace orvix {
namespace {

struct Slot {
    const void *p;  // null: empty
    Kind kind;      // Kind::None with a non-null p: a removed entry
};

Slot *slots = nullptr;
size_t capacity = 0;  // a power of two, or 0
size_t used = 0;      // live entries plus removed ones

size_t hash_ptr(const void *p) {
    // Mixed in 64 bits, also where pointers have 32 (WebAssembly).
    uint64_t v = reinterpret_cast<uintptr_t>(p);
    v ^= v >> 33;
    v *= 0xff51afd7ed558ccdULL;
    v ^= v >> 33;
    return static_cast<size_t>(v);
}

Slot *find(const void *p) {
    // Null marks an empty slot, so it can never be a recorded handle.
    if (!capacity || !p) return nullptr;
    size_t mask = capacity - 1;
    for (size_t i = hash_ptr(p) & mask;; i = (i + 1) & mask) {
        Slot &s = slots[i];
        if (s.p == p) return &s;
        if (!s.p) return nullptr;
    }
}

void insert(Slot *table, size_t cap, const void *p, Kind k) {
    size_t mask = cap - 1;
    size_t i = hash_ptr(p) & mask;
    while (table[i].p && table[i].p != p) i = (i + 1) & mask;
    table[i].p = p;
    table[i].kind = k;
}

void grow() {
    size_t live = 0;
    for (size_t i = 0; i < capacity; ++i)
        if (slots[i].p && slots[i].kind != Kind::None) ++live;
    size_t cap = capacity ? capacity : 64;
    while (cap < 4 * (live + 1)) cap *= 2;
    Slot *table = static_cast<Slot *>(calloc(cap, sizeof(Slot)));
    if (!table) fatal("Couldn't allocate memory for handles. Exiting.\n");
    for (size_t i = 0; i < capacity; ++i)
        if (slots[i].p && slots[i].kind != Kind::None) insert(table, cap, slots[i].p, slots[i].kind);
    free(slots);
    slots = table;
    capacity = cap;
    used = live;
}

}  // namespace

void handle_add(void *p, Kind k) {
    if (!p) return;
    if (Slot *s = find(p)) {  // an address SDL reused after a free
        s->kind = k;
        return;
    }
    if (2 * (used + 1) > capacity) grow();
    insert(slots, capacity, p, k);
    ++used;
}

Kind handle_kind(const void *p) {
    const Slot *s = find(p);
    return s ? s->kind : Kind::None;
}

bool handle_remove(void *p, Kind k) {
    Slot *s = find(p);
    if (!s || s->kind != k) return false;
    s->kind = Kind::None;  // keep the slot so that probe chains stay intact
    return true;
}

void handle_each(Kind k, void (*fn)(void *)) {
    for (size_t i = 0; i < capacity; ++i)
        if (slots[i].p && slots[i].kind == k) fn(const_cast<void *>(slots[i].p));
}

}  // namespace orvix
