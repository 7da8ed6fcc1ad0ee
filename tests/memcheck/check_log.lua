-- Reads a valgrind memcheck log and fails on what the runtime is to blame for:
--   * any invalid read or write, any use of freed memory, any invalid free;
--   * any block left allocated at exit, lost or still reachable, whose
--     allocation passed through the runtime's code (a frame in orvixcore/ or
--     vtxpack/). The scripts run this way free every handle they make and
--     call quit, so such a block is one the runtime failed to release.
--     Excepted are the record of live handles, which lives as long as the
--     process, one-time allocations that SDL and its libraries make while
--     starting up and never give back, which are theirs, and the dynamic
--     loader's own bookkeeping (including a known false report of glibc's
--     strncmp while it maps OpenGL's libraries). Also theirs: the buffer
--     SDL_gfx keeps for the edges of filled polygons (made by the first
--     filled triangle, kept for the life of the process), and what the
--     OpenGL driver makes on the first buffer swap (sdl12-compat draws its
--     frame buffer into the window then, compiling shaders for it), and the
--     window title sdl12-compat keeps a copy of until the next title (classic
--     SDL frees its copy when the display closes), and what SDL allocates inside
--     its own event pump.
--     Library frames are known by their names: run_memcheck.sh keeps the
--     libraries mapped until the leak check, so that they have names.
--   check_log.lua LOGFILE
local path = assert(arg[1], "usage: check_log.lua LOGFILE")
local f = assert(io.open(path))
local text = f:read("*a")
f:close()

-- Split into records: a record starts at a line "==pid== <message>" that
-- follows a blank "==pid== " line.
local records, current = {}, nil
for line in text:gmatch("[^\n]*") do
  local body = line:match("^==%d+== (.*)$")
  if body then
    if body == "" then
      current = nil
    elseif not current then
      current = { head = body, frames = {} }
      records[#records + 1] = current
    else
      current.frames[#current.frames + 1] = body
    end
  end
end

local function ours(r)
  for _, fr in ipairs(r.frames) do
    if fr:find("orvixcore/", 1, true) or fr:find("vtxpack/", 1, true) or fr:find("orvix::", 1, true) then
      return true
    end
  end
  return false
end
local function has_frame(r, ...)
  for _, fr in ipairs(r.frames) do
    for _, what in ipairs({ ... }) do
      if fr:find(what, 1, true) then return true end
    end
  end
  return false
end

-- The frame that called the allocator: the first one that is not malloc & co.
local function allocating_frame(r)
  for _, fr in ipairs(r.frames) do
    if not (fr:find("vgpreload", 1, true) or fr:find("rtld-malloc", 1, true) or fr:find("strdup", 1, true)) then
      return fr
    end
  end
  return ""
end

local function excepted(r)
  -- The dynamic loader (libraries that SDL and OpenGL load on demand).
  if has_frame(r, "dl-load.c", "dl-open.c", "dl-close.c", "dl-tls.c", "dl-deps.c", "dl-init.c") then return true end
  -- The record of live handles.
  if has_frame(r, "handles.cpp", "handle_add") then return true end
  -- SDL_gfx's polygon buffer.
  if allocating_frame(r):find("filledPolygonColorMT", 1, true) then return true end
  -- sdl12-compat's copy of the window title (two blocks: title and icon title).
  if has_frame(r, "SDL_WM_SetCaption") and not allocating_frame(r):find("orvix", 1, true) then return true end
  -- What SDL allocates for itself while pumping events: sdl12-compat's SDL 2
  -- keeps entries of its event queue for reuse, and how many depends on how
  -- many window-system events arrive together, so it varies from run to run.
  if has_frame(r, "SDL_PumpEvents") and allocating_frame(r):find("libSDL", 1, true) then return true end
  -- Library start-up inside the start functions, and the driver's work on the
  -- first buffer swap, unless our own code made the block.
  if has_frame(r, "l_init(", "l_curses_init(", "start_sdl", "start_ttf", "start_mixer", "SDL_GL_SwapBuffers") then
    local a = allocating_frame(r)
    return not (a:find("orvixcore/", 1, true) or a:find("orvix::", 1, true))
  end
  return false
end

local bad = 0
for _, r in ipairs(records) do
  local h = r.head
  local fault = h:find("^Invalid read") or h:find("^Invalid write") or h:find("^Invalid free")
    or h:find("^Mismatched free") or h:find("freed") and h:find("^Address")
  local leak = h:find("are definitely lost") or h:find("are indirectly lost") or h:find("are possibly lost")
    or h:find("are still reachable")
  if (fault and not excepted(r)) or (leak and ours(r) and not excepted(r)) then
    bad = bad + 1
    print(h)
    for i = 1, math.min(#r.frames, 16) do print("    " .. r.frames[i]) end
  end
end
local summary = text:match("ERROR SUMMARY: (%d+) errors")
print(string.format("memcheck: %d faults of the runtime (valgrind error summary: %s)", bad, summary or "?"))
if not summary then
  print("memcheck: no error summary in the log")
  os.exit(1)
end
os.exit(bad == 0 and 0 or 1)
