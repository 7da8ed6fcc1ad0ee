-- Star Rocks: a small arcade game for the orvixcore pixel mode.
--
--   lua5.1 examples/arcade/arcade.lua [ASSET_DIR]
--
-- ASSET_DIR holds the sprites and sounds that examples/arcade/make_assets.sh
-- generates; the build puts them in build/examples/arcade, the default.
--
-- Controls: arrow keys or WASD move, Space or the left mouse button fires (the
-- mouse aims), P pauses the music, + and - set its volume, Enter starts a new
-- game after the last ship is lost, Escape quits. A joystick works too: stick
-- or hat to move, any button to fire.
--
-- With ORVIX_FRAMES=N in the environment the game ends by itself after N
-- frames, which is how CI and the screenshot script run it; ORVIX_SEED=N
-- makes every run the same.

local O = require "orvixcore"

local W, H = 640, 480
local FONTS = "/usr/share/fonts/truetype/dejavu/"
local assets = (arg and arg[1]) or "build/examples/arcade"
local frame_limit = tonumber(os.getenv("ORVIX_FRAMES"))

-- Event codes returned first by O.input().
local KEY_DOWN, MOUSE_DOWN, MOUSE_MOTION = 1, 3, 5
local JOY_AXIS, JOY_HAT, JOY_DOWN, JOY_UP = 6, 7, 8, 9

-- Key codes (SDL key symbols).
local K = {
  escape = 27, enter = 13, space = 32, p = 112,
  plus = 61, kp_plus = 270, minus = 45, kp_minus = 269,  -- '+' shares the '=' key
  up = 273, down = 274, right = 275, left = 276,
  w = 119, a = 97, s = 115, d = 100,
}

-- Shapes and styles of O.draw.
local LINE, RECT, CIRCLE = 0, 1, 2
local OUTLINE, SMOOTH, FILLED = 0, 1, 2

math.randomseed(tonumber(os.getenv("ORVIX_SEED")) or os.time())
local function rnd(lo, hi) return lo + math.random() * (hi - lo) end

---------------------------------------------------------------------------
-- Start-up: window, images, sounds, fonts.

O.init(W, H)
O.showCursor(false)  -- the game draws its own reticle

local ship, shipW, shipH = O.loadImage(assets .. "/ship.png")
local rock, rockW, rockH = O.loadImage(assets .. "/rock.png")
local gem, gemW, gemH = O.loadImage(assets .. "/gem.png")

-- Without an audio device the audio calls return nothing: these stay nil
-- and playing them does nothing.
local sfx = {
  shoot = O.loadSound(assets .. "/shoot.wav"),
  boom = O.loadSound(assets .. "/boom.wav"),
  pickup = O.loadSound(assets .. "/pickup.wav"),
  hit = O.loadSound(assets .. "/hit.wav"),
}
local music = O.loadMusic(assets .. "/music.ogg")
local volume = O.musicVolume(-1)  -- -1 only reads it; nil when audio is off
local musicPaused = false

local font = O.loadFont(FONTS .. "DejaVuSans-Bold.ttf", 16)
local bigFont = O.loadFont(FONTS .. "DejaVuSans-Bold.ttf", 44)

---------------------------------------------------------------------------
-- Off-screen surfaces, drawn once at start-up.

-- A field of stars, one screen high; it scrolls by being blitted twice.
local function makeStarfield()
  local s = O.makeSurf(W, H)
  O.fill(0, 0, 0, 0, 6, 8, 24, 255, s)  -- a zero size fills the whole surface
  for _ = 1, 320 do
    local v = math.random(60, 255)
    O.putpix(math.random(0, W - 1), math.random(0, H - 1), v, v, math.min(255, v + 40), 255, s)
  end
  for _ = 1, 14 do  -- a few bright ones with a soft halo
    local x, y = math.random(4, W - 5), math.random(4, H - 5)
    O.draw(x, y, 2, 0, 120, 160, 255, 120, CIRCLE, FILLED, s)
    O.putpix(x, y, 255, 255, 255, 255, s)
  end
  return s
end

-- A shaded planet, pixel by pixel, on a transparent ground, with a thin
-- smooth ring around it.
local function makePlanet(r)
  local size = 2 * r + 8
  local s = O.makeSurf(size, size)
  O.fill(0, 0, 0, 0, 0, 0, 0, 0, s)  -- fully transparent
  local c = size / 2
  for y = 0, size - 1 do
    for x = 0, size - 1 do
      local dx, dy = (x - c) / r, (y - c) / r
      local d2 = dx * dx + dy * dy
      if d2 <= 1 then
        local dz = math.sqrt(1 - d2)
        local light = math.max(0.15, -0.5 * dx - 0.6 * dy + 0.62 * dz)  -- lit from the upper left
        local band = 0.85 + 0.15 * math.sin(dy * 11)
        O.putpix(x, y, 200 * light * band, 90 * light * band, 160 * light, 255, s)
      end
    end
  end
  O.draw(c, c, r + 3, 0, 255, 200, 255, 90, CIRCLE, SMOOTH, s)
  return s, size
end

-- The status bar across the top; its title is text drawn onto the surface.
local function makePanel()
  local s = O.makeSurf(W, 30)
  O.fill(0, 0, 0, 0, 12, 20, 48, 200, s)
  O.draw(0, 29, W - 1, 29, 90, 140, 255, 255, LINE, OUTLINE, s)
  O.printFont(font, "STAR ROCKS", 255, 210, 60, 10, 5, s)
  return s
end

local stars = makeStarfield()
local planet, planetSize = makePlanet(44)
local panel = makePanel()

-- Text rendered once into surfaces (the surface mode of printFont) and
-- blitted whenever it is shown.
local gameOver, gameOverW = O.printFont(bigFont, "GAME OVER", 255, 90, 60, 0, 0, nil, true)
local hint, hintW = O.printFont(font, "Enter, Space or a joystick button: play again", 230, 230, 255, 0, 0, nil, true)

---------------------------------------------------------------------------
-- Game state.

local player, bullets, rocks, darts, gems, blasts, sparks
local score, heat, clock, spawnRock, spawnDart, over

local function newGame()
  player = { x = W / 2, y = H - 70, lives = 3, shield = 2, cooldown = 0 }
  bullets, rocks, darts, gems, blasts, sparks = {}, {}, {}, {}, {}, {}
  score, heat, clock, spawnRock, spawnDart, over = 0, 0, 0, 0, 3, false
  for _ = 1, 4 do  -- something to shoot at from the first frame on
    rocks[#rocks + 1] = { x = rnd(40, W - 40), y = rnd(40, H / 2), vx = rnd(-30, 30), vy = rnd(50, 110) }
  end
end
newGame()

local aim = { x = W / 2, y = H / 3, used = false }  -- the reticle follows the mouse
local joy = { x = 0, y = 0, hatX = 0, hatY = 0, fire = false }

local function play(sound) O.playSound(sound, 0) end

local function setVolume(v)
  if not volume then return end  -- audio is off
  volume = math.max(0, math.min(128, v))
  O.musicVolume(volume)
end

local function explode(x, y, size)
  blasts[#blasts + 1] = { x = x, y = y, t = 0, size = size }
  play(sfx.boom)
end

local function fire(tx, ty)
  if over or player.cooldown > 0 or heat >= 100 then return end
  local dx, dy = tx - player.x, ty - player.y
  local len = math.sqrt(dx * dx + dy * dy)
  if len < 1 then dx, dy, len = 0, -1, 1 end
  bullets[#bullets + 1] = { x = player.x, y = player.y - 14, vx = 520 * dx / len, vy = 520 * dy / len }
  player.cooldown, heat = 0.12, heat + 9
  play(sfx.shoot)
end

---------------------------------------------------------------------------
-- Input: drain the queue once per frame.

local function onKey(key)
  if key == K.escape then
    return false
  elseif key == K.p then
    O.pauseMusic()  -- toggles between paused and playing
    musicPaused = not musicPaused
  elseif key == K.plus or key == K.kp_plus then
    setVolume(volume and volume + 16)
  elseif key == K.minus or key == K.kp_minus then
    setVolume(volume and volume - 16)
  elseif over and (key == K.enter or key == K.space) then
    newGame()
  end
  return true
end

local function deadZone(v) return math.abs(v) < 0.25 and 0 or v end

-- Returns false when the player asked to quit.
local function handleInput()
  while true do
    local code, a, b, c, d, e, f = O.input()
    if code == 0 then return true end
    if code == KEY_DOWN then
      if not onKey(a) then return false end
    elseif code == MOUSE_MOTION then
      aim.x, aim.y, aim.used = a, b, true
    elseif code == MOUSE_DOWN and c == 1 then
      aim.x, aim.y, aim.used = a, b, true
      fire(a, b)
    elseif code == JOY_AXIS then  -- a: joystick, b: axis, c: position -1..1
      if b == 0 then joy.x = deadZone(c) elseif b == 1 then joy.y = deadZone(c) end
    elseif code == JOY_HAT then  -- c, d, e, f: up, right, down, left
      joy.hatX = (d and 1 or 0) - (f and 1 or 0)
      joy.hatY = (e and 1 or 0) - (c and 1 or 0)
    elseif code == JOY_DOWN then
      joy.fire = true
      if over then newGame() end
    elseif code == JOY_UP then
      joy.fire = false
    end
  end
end

---------------------------------------------------------------------------
-- Update.

local function held(k1, k2) return (O.isKeyDown(k1) or O.isKeyDown(k2)) and 1 or 0 end

local function near(a, b, r)
  local dx, dy = a.x - b.x, a.y - b.y
  return dx * dx + dy * dy < r * r
end

local function movePlayer(dt)
  local dx = held(K.right, K.d) - held(K.left, K.a) + joy.x + joy.hatX
  local dy = held(K.down, K.s) - held(K.up, K.w) + joy.y + joy.hatY
  local len = math.sqrt(dx * dx + dy * dy)
  if len > 1 then dx, dy = dx / len, dy / len end
  player.x = math.max(16, math.min(W - 16, player.x + dx * 260 * dt))
  player.y = math.max(48, math.min(H - 20, player.y + dy * 260 * dt))

  player.cooldown = math.max(0, player.cooldown - dt)
  heat = math.max(0, heat - 30 * dt)
  player.shield = math.max(0, player.shield - dt)

  -- Fire while a fire control is held: keys and joystick straight up, the
  -- mouse toward the reticle.
  local _, _, leftButton = O.mouse(1)
  if leftButton then
    fire(aim.x, aim.y)
  elseif O.isKeyDown(K.space) or joy.fire then
    fire(player.x, 0)
  end

  -- Exhaust sparks, drawn later as single pixels.
  sparks[#sparks + 1] = { x = player.x + rnd(-3, 3), y = player.y + 16, vy = rnd(60, 140), t = 0 }
end

local function spawn(dt)
  clock = clock + dt
  spawnRock, spawnDart = spawnRock - dt, spawnDart - dt
  if spawnRock <= 0 then
    rocks[#rocks + 1] = { x = rnd(20, W - 20), y = -20, vx = rnd(-40, 40), vy = rnd(60, 140 + clock * 2) }
    spawnRock = math.max(0.25, 1.1 - clock / 90)
  end
  if spawnDart <= 0 then
    darts[#darts + 1] = { x = rnd(60, W - 60), y = -20, x0 = 0, t = 0, vy = rnd(90, 150) }
    darts[#darts].x0 = darts[#darts].x
    spawnDart = rnd(2, 4)
  end
end

-- Moves every item of a list with its velocity and drops those for which
-- keep() is false, in one pass.
local function step(list, dt, keep)
  local n = 0
  for i = 1, #list do
    local it = list[i]
    it.x, it.y = it.x + (it.vx or 0) * dt, it.y + (it.vy or 0) * dt
    if keep(it) then n = n + 1; list[n] = it end
  end
  for i = #list, n + 1, -1 do list[i] = nil end
end

local function onScreen(it) return it.y > -40 and it.y < H + 40 and it.x > -40 and it.x < W + 40 and not it.dead end

local function hitPlayer()
  if player.shield > 0 or over then return end
  player.lives = player.lives - 1
  player.shield = 2
  play(sfx.hit)
  explode(player.x, player.y, 40)
  if player.lives == 0 then over = true end
end

local function update(dt)
  if not over then
    movePlayer(dt)
    spawn(dt)
  end

  for _, d in ipairs(darts) do  -- darts weave as they fall
    d.t = d.t + dt
    d.x = d.x0 + math.sin(d.t * 3) * 70
  end

  step(bullets, dt, onScreen)
  step(rocks, dt, onScreen)
  step(darts, dt, onScreen)
  step(gems, dt, function(g) g.t = g.t + dt; return g.t < 6 and onScreen(g) end)
  step(blasts, dt, function(b) b.t = b.t + dt; return b.t < 0.6 end)
  step(sparks, dt, function(s) s.t = s.t + dt; return s.t < 0.25 end)

  for _, b in ipairs(bullets) do
    for _, r in ipairs(rocks) do
      if not r.dead and near(b, r, 16) then
        r.dead, b.dead = true, true
        score = score + 10
        explode(r.x, r.y, 28)
        if math.random() < 0.3 then gems[#gems + 1] = { x = r.x, y = r.y, vy = 40, t = 0 } end
      end
    end
    for _, d in ipairs(darts) do
      if not d.dead and near(b, d, 13) then
        d.dead, b.dead = true, true
        score = score + 25
        explode(d.x, d.y, 20)
      end
    end
  end

  if not over then
    for _, r in ipairs(rocks) do
      if not r.dead and near(player, r, 24) then r.dead = true; hitPlayer() end
    end
    for _, d in ipairs(darts) do
      if not d.dead and near(player, d, 18) then d.dead = true; hitPlayer() end
    end
    for _, g in ipairs(gems) do
      if not g.dead and near(player, g, 22) then
        g.dead = true
        score = score + 50
        play(sfx.pickup)
      end
    end
  end
end

---------------------------------------------------------------------------
-- Drawing.

local function drawWorld(scroll)
  -- Two copies of the star field, one above the other, scroll downward.
  O.blit(stars, 0, scroll - H)
  O.blit(stars, 0, scroll)
  O.blit(planet, 470, (scroll * 0.3 + 260) % (H + planetSize) - planetSize)

  for _, g in ipairs(gems) do
    if g.t < 4 or math.floor(g.t * 8) % 2 == 0 then  -- blink before vanishing
      O.blit(gem, g.x - gemW / 2, g.y - gemH / 2)
    end
  end
  for _, r in ipairs(rocks) do
    O.blit(rock, r.x - rockW / 2, r.y - rockH / 2)
  end
  for _, d in ipairs(darts) do
    local x, y = d.x, d.y
    O.drawTri(x, y + 12, x - 11, y - 10, x + 11, y - 10, 220, 40, 90, 255, FILLED)
    O.drawTri(x, y + 12, x - 11, y - 10, x + 11, y - 10, 255, 160, 200, 255, SMOOTH)
  end
  for _, b in ipairs(bullets) do
    O.draw(b.x, b.y, b.x - b.vx / 40, b.y - b.vy / 40, 255, 240, 120, 255, LINE, OUTLINE)
  end
  for _, b in ipairs(blasts) do
    local k = b.t / 0.6
    O.draw(b.x, b.y, b.size * (0.3 + k), 0, 255, 200, 80, 255 * (1 - k), CIRCLE, OUTLINE)
    O.draw(b.x, b.y, b.size * 0.5 * (1 - k), 0, 255, 120, 40, 200 * (1 - k), CIRCLE, FILLED)
  end
  for _, s in ipairs(sparks) do
    O.putpix(s.x, s.y, 255, 200 - s.t * 600, 60, 255)
  end

  if not over then
    local blink = player.shield > 0 and math.floor(player.shield * 10) % 2 == 0
    if not blink then O.blit(ship, player.x - shipW / 2, player.y - shipH / 2) end
    if player.shield > 0 then
      O.draw(player.x, player.y, 22, 0, 120, 200, 255, 200, CIRCLE, SMOOTH)
    end
    if aim.used then
      O.draw(player.x, player.y - 14, aim.x, aim.y, 120, 255, 160, 110, LINE, SMOOTH)
    end
  end
  -- The reticle: a small triangle outline around the pointer.
  O.drawTri(aim.x, aim.y - 7, aim.x - 6, aim.y + 5, aim.x + 6, aim.y + 5, 160, 255, 180, 255, OUTLINE)
end

local function drawStatus(fps)
  O.blit(panel, 0, 0)
  O.printFont(font, string.format("Score %d", score), 255, 255, 255, 150, 5)
  O.printFont(font, string.rep("♥", player.lives), 255, 70, 90, 265, 5)

  -- The heat gauge: filling above three quarters turns it red.
  O.fill(330, 9, 102, 12, 30, 30, 40, 255)
  local hot = heat > 75
  if heat >= 1 then
    O.draw(331, 10, 331 + heat, 20, hot and 255 or 90, hot and 60 or 200, 60, 255, RECT, FILLED)
  end
  O.draw(330, 9, 432, 21, 200, 200, 220, 255, RECT, OUTLINE)

  local tune
  if not volume then tune = "no audio"
  elseif musicPaused then tune = "♪ paused"
  else tune = string.format("♪ %d%%", math.floor(volume * 100 / 128 + 0.5)) end
  O.printFont(font, tune, 180, 220, 255, 450, 5)
  O.printFont(font, string.format("%d fps", fps), 160, 255, 160, 560, 5)

  if over then
    O.draw(80, 170, W - 80, 300, 0, 0, 0, 170, RECT, FILLED)
    O.draw(80, 170, W - 80, 300, 255, 90, 60, 255, RECT, OUTLINE)
    O.blit(gameOver, (W - gameOverW) / 2, 190)
    O.blit(hint, (W - hintW) / 2, 258)
  end
end

---------------------------------------------------------------------------
-- The frame loop.

O.playMusic(music, -1)  -- loop for ever

local frames, fps, scroll = 0, 0, 0
local dt = 0
while handleInput() do
  -- The first dt counts from SDL's start; a long frame must not teleport things.
  update(math.min(dt, 0.05))
  scroll = (scroll + 40 * math.min(dt, 0.05)) % H

  drawWorld(scroll)
  drawStatus(fps)
  O.flip()
  dt, fps = O.timer(60)

  frames = frames + 1
  if frame_limit and frames >= frame_limit then break end
end

---------------------------------------------------------------------------
-- Every handle belongs to the script: free them all, then shut down.

for _, s in ipairs({ ship, rock, gem, stars, planet, panel, gameOver, hint }) do O.freeSurf(s) end
for _, s in pairs(sfx) do O.freeSound(s) end
O.freeMusic(music)
O.freeFont(font)
O.freeFont(bigFont)
O.quit()
