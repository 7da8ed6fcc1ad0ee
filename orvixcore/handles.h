// The record of live handles (handles.cpp). Every library object handed to a
// script is recorded with its kind, so that a freed handle, a handle of
// another kind or a stray userdata is recognised with one lookup and ignored
// instead of dereferenced.
#pragma once

extern "C" {
#include <lua.h>
}

#include <cstdint>

namespace orvix {

enum class Kind : uint8_t { None = 0, Surface, Font, Sound, Music };

// Records a new handle. Ends the process if the record cannot grow.
void handle_add(void *p, Kind k);
// The kind recorded for p, or Kind::None.
Kind handle_kind(const void *p);
// Forgets p if it is recorded with kind k; returns whether it was.
bool handle_remove(void *p, Kind k);
// Calls fn on every live handle of kind k (fn may not add handles; it may
// remove the one it is given).
void handle_each(Kind k, void (*fn)(void *));

// The userdata at i if it is a live handle of kind k, else null.
inline void *arg_handle(lua_State *L, int i, Kind k) {
    void *p = lua_touserdata(L, i);
    return (p && handle_kind(p) == k) ? p : nullptr;
}

}  // namespace orvix
