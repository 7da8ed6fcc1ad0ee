-- Deep Walk: a small roguelike stroll in the orvixcore character-cell mode.
--
--   lua5.1 examples/roguelike.lua
--
-- Walk through generated caves with the arrow keys, WASD, hjkl (yubn for the
-- diagonals) or the keypad, or let X (or Tab) explore for you. Pick up gold
-- ($); the stairs (>) lead one level deeper. Click a cell to learn what it
-- is. Escape quits.
--
-- With ORVIX_FRAMES=N in the environment the game ends by itself after N
-- frames, which is how CI and the screenshot script run it; ORVIX_SEED=N
-- digs the same caves on every run.

local O = require "orvixcore"

local COLS, ROWS = 64, 25
local MAP_Y, MAP_H = 1, 23  -- row 0 holds messages, row 24 the status bar
local STATUS_Y = ROWS - 1
local FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
local frame_limit = tonumber(os.getenv("ORVIX_FRAMES"))

local KEY_DOWN, MOUSE_DOWN = 1, 3
local ESCAPE, TAB, X = 27, 9, 120

-- Key code -> step. Arrows, WASD, vi keys with yubn diagonals, keypad.
local MOVES = {
  [273] = { 0, -1 }, [274] = { 0, 1 }, [276] = { -1, 0 }, [275] = { 1, 0 },
  [119] = { 0, -1 }, [115] = { 0, 1 }, [97] = { -1, 0 }, [100] = { 1, 0 },
  [107] = { 0, -1 }, [106] = { 0, 1 }, [104] = { -1, 0 }, [108] = { 1, 0 },
  [121] = { -1, -1 }, [117] = { 1, -1 }, [98] = { -1, 1 }, [110] = { 1, 1 },
  [264] = { 0, -1 }, [258] = { 0, 1 }, [260] = { -1, 0 }, [262] = { 1, 0 },
  [263] = { -1, -1 }, [265] = { 1, -1 }, [257] = { -1, 1 }, [259] = { 1, 1 },
}

-- Tiles: the character, its colour in full light, and whether it can be walked on.
local TILES = {
  wall = { ch = "#", r = 150, g = 120, b = 90, walk = false, name = "a rough stone wall" },
  floor = { ch = ".", r = 120, g = 120, b = 130, walk = true, name = "the cave floor" },
  moss = { ch = '"', r = 70, g = 190, b = 80, walk = true, name = "a patch of moss" },
  water = { ch = "~", r = 60, g = 130, b = 255, walk = false, name = "deep, cold water" },
  stairs = { ch = ">", r = 255, g = 255, b = 255, walk = true, name = "stairs leading down" },
  gold = { ch = "$", r = 255, g = 210, b = 40, walk = true, name = "a heap of gold" },
}

local SIGHT = 8  -- how far the lamp reaches, in cells

math.randomseed(tonumber(os.getenv("ORVIX_SEED")) or os.time())

---------------------------------------------------------------------------
-- The map: rooms joined by corridors, dug out of solid rock.

local map, seen, rooms
local player = { x = 0, y = 0, gold = 0, depth = 1, steps = 0 }
local message = ""

local function tile(x, y)
  if x < 0 or x >= COLS or y < 0 or y >= MAP_H then return TILES.wall end
  return map[y][x]
end

local function dig(x, y, t)
  if x > 0 and x < COLS - 1 and y > 0 and y < MAP_H - 1 then map[y][x] = t end
end

local function overlaps(a, b)
  return a.x - 1 <= b.x + b.w and b.x - 1 <= a.x + a.w and a.y - 1 <= b.y + b.h and b.y - 1 <= a.y + a.h
end

local function centre(r) return math.floor(r.x + r.w / 2), math.floor(r.y + r.h / 2) end

local function newLevel()
  map, seen, rooms = {}, {}, {}
  for y = 0, MAP_H - 1 do
    map[y], seen[y] = {}, {}
    for x = 0, COLS - 1 do map[y][x] = TILES.wall end
  end

  for _ = 1, 60 do
    local r = { w = math.random(5, 12), h = math.random(3, 6) }
    r.x, r.y = math.random(1, COLS - r.w - 2), math.random(1, MAP_H - r.h - 2)
    local free = true
    for _, other in ipairs(rooms) do
      if overlaps(r, other) then free = false; break end
    end
    if free then
      rooms[#rooms + 1] = r
      local ground = math.random() < 0.3 and TILES.moss or TILES.floor
      for y = r.y, r.y + r.h - 1 do
        for x = r.x, r.x + r.w - 1 do dig(x, y, ground) end
      end
      if r.w > 7 and r.h > 3 and math.random() < 0.4 then  -- a pool in the middle
        local cx, cy = centre(r)
        dig(cx, cy, TILES.water); dig(cx + 1, cy, TILES.water); dig(cx - 1, cy, TILES.water)
      end
    end
    if #rooms == 9 then break end
  end

  -- Each room is joined to the one before it by an L-shaped corridor.
  for i = 2, #rooms do
    local x1, y1 = centre(rooms[i - 1])
    local x2, y2 = centre(rooms[i])
    local step = x2 > x1 and 1 or -1
    for x = x1, x2, step do if not tile(x, y1).walk then dig(x, y1, TILES.floor) end end
    step = y2 > y1 and 1 or -1
    for y = y1, y2, step do if not tile(x2, y).walk then dig(x2, y, TILES.floor) end end
  end

  for _ = 1, 8 do
    local r = rooms[math.random(1, #rooms)]
    local x, y = math.random(r.x, r.x + r.w - 1), math.random(r.y, r.y + r.h - 1)
    if tile(x, y) ~= TILES.water then map[y][x] = TILES.gold end
  end
  local sx, sy = centre(rooms[#rooms])
  map[sy][sx + 1] = TILES.stairs
  player.x, player.y = centre(rooms[1])
  map[player.y][player.x] = TILES.floor
end

---------------------------------------------------------------------------
-- Sight: rooms are lit, so a room and its walls are seen whole from inside.
-- Elsewhere the lamp shows a cell when it is near enough and no wall stands
-- on the straight line from the player to it.

local function roomAt(x, y)
  for _, r in ipairs(rooms) do
    if x >= r.x and x < r.x + r.w and y >= r.y and y < r.y + r.h then return r end
  end
end

local function visible(x, y, room)
  if room and x >= room.x - 1 and x <= room.x + room.w and y >= room.y - 1 and y <= room.y + room.h then
    return true
  end
  local dx, dy = x - player.x, y - player.y
  if dx * dx + dy * dy > SIGHT * SIGHT then return false end
  local n = math.max(math.abs(dx), math.abs(dy))
  for i = 1, n - 1 do
    local cx = math.floor(player.x + dx * i / n + 0.5)
    local cy = math.floor(player.y + dy * i / n + 0.5)
    if tile(cx, cy) == TILES.wall then return false end
  end
  return true
end

---------------------------------------------------------------------------
-- Moving.

local function walk(dx, dy)
  local x, y = player.x + dx, player.y + dy
  local t = tile(x, y)
  if not t.walk then
    message = "You bump into " .. t.name .. "."
    return
  end
  player.x, player.y = x, y
  player.steps = player.steps + 1
  if t == TILES.gold then
    local found = math.random(5, 25) * player.depth
    player.gold = player.gold + found
    map[y][x] = TILES.floor
    message = string.format("You pick up %d gold pieces.", found)
  elseif t == TILES.stairs then
    player.depth = player.depth + 1
    newLevel()
    message = string.format("You climb down to depth %d.", player.depth)
  end
end

-- Auto-explore: one step along the shortest path to the nearest cell not
-- seen yet or the nearest gold; to the stairs once there is neither.
local DIRS = { { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 }, { 1, 1 }, { -1, 1 }, { 1, -1 }, { -1, -1 } }

local function explore()
  local function key(x, y) return y * COLS + x end
  local from = { [key(player.x, player.y)] = false }
  local queue, head = { { player.x, player.y } }, 1
  local goal, stairs
  while head <= #queue and not goal do  -- breadth first: nearest cells first
    local x, y = queue[head][1], queue[head][2]
    if head > 1 and (not seen[y][x] or map[y][x] == TILES.gold) then
      goal = queue[head]
    else
      if map[y][x] == TILES.stairs then stairs = queue[head] end
      for _, d in ipairs(DIRS) do
        local nx, ny = x + d[1], y + d[2]
        if tile(nx, ny).walk and from[key(nx, ny)] == nil then
          from[key(nx, ny)] = queue[head]
          queue[#queue + 1] = { nx, ny }
        end
      end
    end
    head = head + 1
  end
  goal = goal or stairs
  if not goal then return end
  -- Back along the path to the cell next to the player.
  local cell = goal
  while from[key(cell[1], cell[2])] ~= queue[1] do cell = from[key(cell[1], cell[2])] end
  walk(cell[1] - player.x, cell[2] - player.y)
end

-- What each key does; movement keys and auto-explore repeat while held.
local ACTIONS = {}
for k, d in pairs(MOVES) do ACTIONS[k] = function() walk(d[1], d[2]) end end
ACTIONS[X], ACTIONS[TAB] = explore, explore

---------------------------------------------------------------------------
-- Drawing: cells are changed in memory, then curses_refresh paints them all.

-- Writes a string from (x, y) on; its colours are whatever the cells have.
local function text(x, y, s)
  for i = 1, #s do O.curses_addch(s:sub(i, i), x + i - 1, y) end
end

local function drawMap()
  -- Unknown rock is black; what the lamp lights is coloured and fades with
  -- distance; what was seen before is remembered in dim, bluish colours.
  O.curses_fill(0, MAP_Y, COLS, MAP_H, " ", 0, 0, 0, 0, 0, 0)
  local room = roomAt(player.x, player.y)
  for y = 0, MAP_H - 1 do
    for x = 0, COLS - 1 do
      local t = map[y][x]
      if visible(x, y, room) then
        seen[y][x] = true
        local dx, dy = x - player.x, y - player.y
        local light = math.max(0.45, 1 - math.sqrt(dx * dx + dy * dy) / (SIGHT + 2))
        O.curses_addch(t.ch, x, MAP_Y + y)
        O.curses_setcol(x, MAP_Y + y, t.r * light, t.g * light, t.b * light,
                        40 * light, 30 * light, 10 * light)  -- warm lamp glow on the ground
      elseif seen[y][x] then
        O.curses_addch(t.ch, x, MAP_Y + y)
        O.curses_setcol(x, MAP_Y + y, t.r * 0.35, t.g * 0.35, t.b * 0.35 + 30)  -- text only: the ground stays black
      end
    end
  end
  O.curses_addch("@", player.x, MAP_Y + player.y)
  O.curses_setcol(player.x, MAP_Y + player.y, 255, 255, 120)
end

local function drawStatus(fps)
  O.curses_fill(0, 0, COLS, 1, " ", 230, 230, 230, 0, 0, 0)
  text(1, 0, message)
  O.curses_fill(0, STATUS_Y, COLS, 1, " ", 20, 20, 30, 170, 180, 210)
  text(1, STATUS_Y, string.format("Depth %d   Gold %d   Steps %d", player.depth, player.gold, player.steps))
  local rate = string.format("%d fps", fps)
  text(COLS - #rate - 1, STATUS_Y, rate)
  O.curses_setcol(0, STATUS_Y, nil, nil, nil, 255, 210, 40)  -- a gold mark at the left end
end

---------------------------------------------------------------------------
-- Start-up and the frame loop.

local cellW, cellH = O.curses_init(COLS, ROWS, FONT, 16)
newLevel()
message = "Welcome to the caves. Find the stairs (>) and grab the gold ($)."

local held, repeatAt, now = nil, 0, 0
local fps, frames = 0, 0
local running = true
while running do
  while true do
    local code, a, b, c = O.input()
    if code == 0 then break end
    if code == KEY_DOWN then
      if a == ESCAPE then running = false
      elseif ACTIONS[a] then
        ACTIONS[a]()
        held, repeatAt = a, now + 0.3
      end
    elseif code == MOUSE_DOWN and c == 1 then
      -- The cell size from curses_init turns pixels into cells.
      local x, y = math.floor(a / cellW), math.floor(b / cellH) - MAP_Y
      if y >= 0 and y < MAP_H and seen[y][x] then
        message = "You see " .. tile(x, y).name .. "."
      end
    end
  end

  -- There is no key repeat: a held key moves again after a short pause.
  if held and O.isKeyDown(held) then
    if now >= repeatAt then
      ACTIONS[held]()
      repeatAt = now + 0.08
    end
  else
    held = nil
  end

  drawMap()
  drawStatus(fps)
  O.curses_refresh()
  O.flip()
  local dt
  dt, fps = O.timer(30)
  now = now + dt

  frames = frames + 1
  if frame_limit and frames >= frame_limit then running = false end
end

O.quit()
