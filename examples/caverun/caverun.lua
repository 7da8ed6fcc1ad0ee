-- Cave Run: a small platformer on orvixcore and orvixcore.extra.
--
--   lua5.1 examples/caverun/caverun.lua build/examples/caverun
--
-- Run and jump through a cave for its coins and find the way out before the
-- time runs out; spikes and pits cost a life. The level is a picture of
-- 40 x 28 pixels, one pixel per tile, read with getPixel; the runner and the
-- coin are animation frames of sprite sheets drawn with blitPart, the runner
-- facing left a mirrored copy of its sheet. At the end the player types a
-- name for the high-score table, which is kept in the folder saveDir gives
-- (natively ~/.local/share/cave-run/, in a browser the site's storage).
--
-- Keys: Left and Right run, Up or Space jumps, Enter starts and confirms,
-- H shows the high scores, Escape quits. ORVIX_FRAMES=N ends the game by
-- itself after N frames.
local O = require "orvixcore"
local X = require "orvixcore.extra"

local assets = arg[1] or "build/examples/caverun"
local FONTS = "/usr/share/fonts/truetype/dejavu/"
local TILE, COLS, ROWS, TOP = 16, 40, 28, 32
local GRAVITY, JUMP, SPEED, FALL = 1000, 400, 110, 600
local PLAY_TIME, LIVES, MAX_NAME, TABLE_SIZE = 90, 3, 16, 8
local K = { left = 276, right = 275, up = 273, space = 32, enter = 13, kp_enter = 271, escape = 27,
  backspace = 8, h = 104 }

O.init(640, 480)
X.setTitle("Cave Run")
local W, H = X.size()
local runner = O.loadImage(assets .. "/runner.png")
local runner_left = X.mirror(runner, true, false) -- frame i lies at 5 - i there
local coin = O.loadImage(assets .. "/coin.png")
local tiles = O.loadImage(assets .. "/tiles.png")
-- One frame of a sheet as a surface of its own, alpha included: its pixels
-- read with getPixel and stored with putpix (a blit would blend them).
local function cut(sheet, sx, sy, w, h)
  local s = O.makeSurf(w, h)
  for y = 0, h - 1 do
    for x = 0, w - 1 do
      local r, g, b, a = X.getPixel(sheet, sx + x, sy + y)
      O.putpix(x, y, r, g, b, a, s)
    end
  end
  return s
end
local one_coin = cut(coin, 0, 0, 16, 16)
local jumper = cut(runner, 5 * 16, 0, 16, 16)
local big = O.loadFont(FONTS .. "DejaVuSans-Bold.ttf", 56)
local font = O.loadFont(FONTS .. "DejaVuSans.ttf", 18)
local small = O.loadFont(FONTS .. "DejaVuSans.ttf", 14)
local _, _, _, line_skip = X.fontMetrics(font)

-- The level: one pixel per tile.
local KINDS = { ["0,0,0"] = "air", ["120,72,32"] = "earth", ["150,150,160"] = "stone", ["255,210,0"] = "coin",
  ["220,40,40"] = "spikes", ["40,100,255"] = "start", ["255,255,255"] = "exit" }
local level = {}
local coin_places, start, exit = {}, nil, nil
do
  local picture, pw, ph = O.loadImage(assets .. "/level.png")
  assert(pw == COLS and ph == ROWS, "level.png must be 40 x 28")
  for ty = 0, ROWS - 1 do
    level[ty] = {}
    for tx = 0, COLS - 1 do
      local r, g, b = X.getPixel(picture, tx, ty)
      local kind = KINDS[r .. "," .. g .. "," .. b] or "air"
      if kind == "coin" then coin_places[#coin_places + 1] = { tx, ty } end
      if kind == "start" then start = { tx, ty } end
      if kind == "exit" then exit = { tx, ty } end
      level[ty][tx] = (kind == "coin" or kind == "start") and "air" or kind
    end
  end
  O.freeSurf(picture)
end

local function solid(tx, ty)
  if tx < 0 or tx >= COLS or ty < 0 then return true end
  if ty >= ROWS then return false end
  local k = level[ty][tx]
  return k == "earth" or k == "stone"
end

-- The cave, drawn once: a dark ground in bands, then every tile from the sheet.
local cave = O.makeSurf(COLS * TILE, ROWS * TILE)
for band = 0, 13 do
  O.fill(0, band * 32, COLS * TILE, 32, 18 + band, 16 + band, 34 + 2 * band, 255, cave)
end
local TILE_AT = { earth = 0, grass = 1, stone = 2, spikes = 3, exit = 4 }
for ty = 0, ROWS - 1 do
  for tx = 0, COLS - 1 do
    local k = level[ty][tx]
    if k == "earth" and not solid(tx, ty - 1) then k = "grass" end
    if TILE_AT[k] then X.blitPart(tiles, TILE_AT[k] * TILE, 0, TILE, TILE, tx * TILE, ty * TILE, cave) end
  end
end

-- Texts drawn in the middle of the window, measured first.
local function centred(f, text, y, r, g, b)
  local w = X.textSize(f, text)
  O.printFont(f, text, r or 255, g or 255, b or 255, (W - w) / 2, y)
end

-- High scores: "score<TAB>name" lines in the save folder.
local save_dir = X.saveDir("cave-run")
local scores = {}
local function load_scores()
  scores = {}
  local f = save_dir and io.open(save_dir .. "scores.txt")
  if not f then return end
  for line in f:lines() do
    local score, name = line:match("^(%d+)\t(.+)$")
    if score then scores[#scores + 1] = { score = tonumber(score), name = name } end
  end
  f:close()
end
local function add_score(name, score)
  local entry = { score = score, name = name }
  scores[#scores + 1] = entry
  table.sort(scores, function(a, b)
    if a.score ~= b.score then return a.score > b.score end
    return a == entry
  end)
  while #scores > TABLE_SIZE do scores[#scores] = nil end
  if save_dir then
    local f = io.open(save_dir .. "scores.txt", "w")
    if f then
      for _, s in ipairs(scores) do f:write(s.score, "\t", s.name, "\n") end
      f:close()
    end
  end
  return entry
end
load_scores()

-- The game's state.
local state = "title"
local t, state_time = 0, 0
local px, py, vx, vy, on_ground, facing, step = 0, 0, 0, 0, false, 1, 0
local score, lives, time_left, taken, message, newest = 0, LIVES, PLAY_TIME, {}, "", nil
local name = ""

local function set_state(s)
  state, state_time = s, 0
  if s == "name" then
    X.textInput() -- from now on the typed characters are collected
    name = ""
  end
end

local function respawn()
  px, py = start[1] * TILE, start[2] * TILE
  vx, vy, on_ground, facing = 0, 0, false, 1
end

local function new_game()
  score, lives, time_left, taken = 0, LIVES, PLAY_TIME, {}
  respawn()
  set_state("play")
end

-- The runner's box inside its 16 x 16 frame.
local BOX_X, BOX_Y, BOX_W, BOX_H = 3, 1, 10, 15
local function box_hits(fn)
  local x0, y0 = math.floor((px + BOX_X) / TILE), math.floor((py + BOX_Y) / TILE)
  local x1, y1 = math.floor((px + BOX_X + BOX_W - 1) / TILE), math.floor((py + BOX_Y + BOX_H - 1) / TILE)
  for ty = y0, y1 do
    for tx = x0, x1 do
      if fn(tx, ty) then return tx, ty end
    end
  end
end

local function lose_life(why)
  lives = lives - 1
  message = lives > 0 and why or "Game over"
  set_state(lives > 0 and "dying" or "over")
end

local function update_play(dt)
  time_left = time_left - dt
  if time_left <= 0 then
    time_left = 0
    lives = 0
    message = "Out of time"
    set_state("over")
    return
  end
  vx = 0
  if O.isKeyDown(K.left) then vx, facing = -SPEED, -1 end
  if O.isKeyDown(K.right) then vx, facing = SPEED, 1 end
  if on_ground and (O.isKeyDown(K.up) or O.isKeyDown(K.space)) then vy, on_ground = -JUMP, false end
  vy = math.min(vy + GRAVITY * dt, FALL)
  -- Across, then up or down, each stopped by the tiles it runs into.
  px = px + vx * dt
  local tx = box_hits(solid)
  if tx then
    if vx > 0 then px = tx * TILE - BOX_X - BOX_W else px = (tx + 1) * TILE - BOX_X end
  end
  py = py + vy * dt
  on_ground = false
  local _, ty = box_hits(solid)
  if ty then
    if vy > 0 then
      py, on_ground = ty * TILE - BOX_Y - BOX_H, true
    else
      py = (ty + 1) * TILE - BOX_Y
    end
    vy = 0
  end
  step = vx ~= 0 and on_ground and (step + dt * 10) % 4 or 0
  -- Coins, spikes, the pits and the way out.
  box_hits(function(cx, cy)
    for i, c in ipairs(coin_places) do
      if not taken[i] and c[1] == cx and c[2] == cy then
        taken[i] = true
        score = score + 100
      end
    end
  end)
  if box_hits(function(hx, hy) return hy >= 0 and hy < ROWS and level[hy][hx] == "spikes" end) then
    lose_life("Spikes!")
  elseif py > ROWS * TILE then
    lose_life("Down a pit")
  elseif box_hits(function(hx, hy) return hx == exit[1] and hy == exit[2] end) then
    score = score + math.floor(time_left) * 10
    message = "The way out!"
    set_state("won")
  end
end

local function draw_world(fade)
  X.setClip(nil, 0, TOP, W, ROWS * TILE)
  if fade >= 255 then O.blit(cave, 0, TOP) else X.blitAlpha(cave, 0, TOP, fade) end
  local spin = math.floor(t * 8) % 4
  for i, c in ipairs(coin_places) do
    if not taken[i] then X.blitPart(coin, spin * TILE, 0, TILE, TILE, c[1] * TILE, TOP + c[2] * TILE) end
  end
  local frame = on_ground and (vx ~= 0 and 1 + math.floor(step) or 0) or 5
  local x, y = math.floor(px + 0.5), TOP + math.floor(py + 0.5)
  if state == "dying" then
    -- fading as it rises
    X.blitAlpha(jumper, x, y - state_time * 40, math.max(0, 255 - math.floor(state_time * 255)))
  elseif facing > 0 then
    X.blitPart(runner, frame * TILE, 0, TILE, TILE, x, y)
  else
    X.blitPart(runner_left, (5 - frame) * TILE, 0, TILE, TILE, x, y)
  end
  X.setClip()
end

local function draw_hud()
  O.fill(0, 0, W, TOP, 24, 20, 40, 255)
  O.draw(0, TOP - 1, W - 1, TOP - 1, 120, 110, 160, 255, 0, 0)
  O.printFont(font, string.format("Score %05d", score), 255, 230, 120, 10, 5)
  for i = 1, lives do X.blitPart(runner, 0, 0, TILE, TILE, 180 + 20 * i, 8) end
  local clock = string.format("%d:%02d", math.floor(time_left / 60), math.floor(time_left) % 60)
  local w = X.textSize(font, clock)
  O.printFont(font, clock, time_left < 15 and 255 or 220, time_left < 15 and 90 or 220, 220, W - w - 10, 5)
end

local function blit_centred(s, w, h, x, y)
  O.blit(s, x - w / 2, y - h / 2)
end

local function draw_title()
  O.fill(0, 0, 0, 0, 0, 0, 0, 255)
  X.blitAlpha(cave, 0, TOP, 90)
  centred(big, "CAVE RUN", 90, 255, 210, 40)
  local turned, tw, th = X.rotozoom(one_coin, (t * 120) % 360, 3)
  blit_centred(turned, tw, th, W / 2 - 215, 120)
  O.freeSurf(turned)
  turned, tw, th = X.rotozoom(one_coin, (-t * 120) % 360, 3, true)
  blit_centred(turned, tw, th, W / 2 + 215, 120)
  O.freeSurf(turned)
  centred(font, "Take the coins, mind the spikes, find the way out.", 200, 220, 220, 240)
  centred(font, string.format("Run: %s / %s    Jump: %s or %s", X.keyName(K.left), X.keyName(K.right),
    X.keyName(K.up), X.keyName(K.space)), 240, 180, 200, 255)
  centred(font, "Enter: play    H: high scores    Escape: quit", 300, 255, 255, 255)
  if scores[1] then
    centred(small, string.format("Best: %s, %d", scores[1].name, scores[1].score), 340, 255, 230, 120)
  end
end

local function draw_name()
  O.fill(0, 0, 0, 0, 10, 8, 20, 255)
  X.blitAlpha(cave, 0, TOP, 60)
  centred(big, message, 110, 255, 210, 40)
  centred(font, string.format("Score %d", score), 190)
  local cursor = math.floor(t * 2) % 2 == 0 and "_" or " "
  centred(font, "Your name: " .. name .. cursor, 250, 180, 230, 255)
  centred(small, "Type it, then Enter", 290, 160, 160, 190)
end

local function draw_scores()
  O.fill(0, 0, 0, 0, 10, 8, 20, 255)
  centred(big, "HIGH SCORES", 40, 255, 210, 40)
  local y = 130
  if #scores == 0 then centred(font, "No one yet", y) end
  for i, s in ipairs(scores) do
    local hot = s == newest
    local r, g, b = hot and 255 or 220, hot and 230 or 220, hot and 120 or 240
    O.printFont(font, i .. ".", r, g, b, 170, y)
    O.printFont(font, s.name, r, g, b, 210, y)
    local text = tostring(s.score)
    O.printFont(font, text, r, g, b, 470 - X.textSize(font, text), y)
    y = y + line_skip + 6
  end
  centred(font, "Enter: play again    Escape: quit", 420, 180, 200, 255)
end

-- A name's last character (UTF-8) taken off.
local function backspace(s) return (s:gsub("[^\128-\191][\128-\191]*$", "")) end
local function length(s) return #s:gsub("[\128-\191]", "") end

local running, frames, dt = true, 0, 1 / 60
local frame_limit = tonumber(os.getenv("ORVIX_FRAMES"))
while running do
  while true do
    local code, key = O.input()
    if code == 0 then break end
    -- The characters this event typed come first, so that a Backspace
    -- taken in the same frame removes the last of them.
    if state == "name" then
      for ch in X.textInput():gmatch("[^\128-\191][\128-\191]*") do
        if length(name) < MAX_NAME then name = name .. ch end
      end
    end
    if code == 1 then
      if key == K.escape then running = false
      elseif state == "title" then
        if key == K.enter or key == K.kp_enter then new_game() elseif key == K.h then set_state("scores") end
      elseif state == "scores" and (key == K.enter or key == K.kp_enter) then new_game()
      elseif state == "name" then
        if key == K.backspace then name = backspace(name)
        elseif key == K.enter or key == K.kp_enter then
          newest = add_score(name ~= "" and name or "Runner", score)
          set_state("scores")
        end
      end
    end
  end

  t, state_time = t + dt, state_time + dt
  if state == "play" then update_play(dt) end
  if state == "dying" and state_time > 1 then
    respawn()
    set_state("play")
  end
  if (state == "over" or state == "won") and state_time > 1.5 then set_state("name") end

  if state == "title" then draw_title()
  elseif state == "name" then draw_name()
  elseif state == "scores" then draw_scores()
  else
    draw_world(state == "play" and math.min(255, math.floor(state_time * 500)) or 255)
    draw_hud()
    if state == "dying" or state == "over" or state == "won" then centred(big, message, 200, 255, 240, 200) end
  end
  O.flip()
  dt = math.min((O.timer(60)), 1 / 30)
  frames = frames + 1
  if frame_limit and frames >= frame_limit then running = false end
end

for _, s in ipairs { runner, runner_left, coin, one_coin, jumper, tiles, cave } do O.freeSurf(s) end
for _, f in ipairs { big, font, small } do O.freeFont(f) end
O.quit()
