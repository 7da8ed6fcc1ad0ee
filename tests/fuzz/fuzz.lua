-- Random call sequences against both modules.
--
--   fuzz.lua MODE SEED CALLS
--
-- MODE is pixel, cells or gl. Audio is on or off depending on SDL_AUDIODRIVER.
-- Every call takes its arguments from a pool of awkward values: numbers at and
-- beyond every limit, NaN and infinities, strings, booleans, tables, functions,
-- coroutines, live and freed handles of every kind, light userdata at arbitrary
-- addresses and foreign full userdata. The only errors a script may see are
-- the cell colour components' bad-argument errors and vtxpack's own; anything
-- else, or any crash, fails the run. Calls that are defined to end the process
-- (failed loads, impossible surface sizes) are kept out of the sequence: their
-- exits are tested elsewhere. quit comes at 90% of the run, so that the last
-- tenth exercises every function after shutdown.

local O = require "orvixcore"
local X = require "orvixcore.extra"
local V = require "vtxpack"
local T = require "orvixtest"
-- A run that dies names the thread and prints its stack; the sanitizer
-- build's own report says more.
if os.getenv("ORVIX_SANITIZE") ~= "1" then T.report_crashes() end

local mode, seed, calls = arg[1], tonumber(arg[2]), tonumber(arg[3])
assert(mode == "pixel" or mode == "cells" or mode == "gl", "usage: fuzz.lua pixel|cells|gl SEED CALLS")
local assets = os.getenv("ORVIX_ASSETS") or "build/assets"
local fonts = "/usr/share/fonts/truetype/dejavu/"

io.stdout:setvbuf("line")
print(string.format("fuzz: mode=%s seed=%d calls=%d host=%s audio=%s", mode, seed, calls,
  jit and jit.version or _VERSION, os.getenv("SDL_AUDIODRIVER") or "default"))

-- A Park-Miller generator: exact in doubles, the same under every host.
local state = seed % 2147483646 + 1
local function rand(n) -- 1..n
  state = (state * 16807) % 2147483647
  return state % n + 1
end
local function pick(t) return t[rand(#t)] end

-- Pools of handles, filled as the run makes them.
local live = { surface = {}, font = {}, sound = {}, music = {}, array = {} }
local dead = {}
local made = { surface = 0, font = 0, sound = 0, music = 0, array = 0 }
local function remember(kind, h)
  if h ~= nil then
    live[kind][#live[kind] + 1] = h
    made[kind] = made[kind] + 1
  end
end
local function take(kind) -- removes and returns a random live handle of a kind
  local t = live[kind]
  if #t == 0 then return nil end
  local i = rand(#t)
  local h = t[i]
  t[i] = t[#t]
  t[#t] = nil
  dead[#dead + 1] = h
  return h
end

local numbers = { 0, -0.0, 1, -1, 0.5, -0.5, 0.9, 1.7, 2.9, -2.9, 3, 8, 9, 64.9, 127, 128, 255, 256, 300,
  511, -256, 1000, 1001, 32767, 32768, 40000, 65535, 65536, -32768, -32769, -65536, 2147483647, 2147483648,
  -2147483648, -2147483649, 4294967296, 2 ^ 53, -2 ^ 53, 1e300, -1e300, 1 / 0, -1 / 0, 0 / 0, 5e-324 }
local strings = { "", "0", "12", "1e3", "-7.5", "0x10", "  42  ", "abc", "A", "@", "~", "\t", "\127", "\200",
  "h\195\169llo", "\0", string.rep("W", 300), "Score: 99" }
local others = { true, false, {}, { 1, 2, 3 }, { x = 1 }, print, function() end,
  coroutine.create(function() end), io.stdout, newproxy and newproxy(true) or io.stderr,
  T.light(0), T.light(1), T.light(8), T.light(0xdeadbeef), T.light(2 ^ 47), T.light(-1),
  T.block(0), T.block(4), T.block(12, 255), T.block(64, 0x41), V.makeArray({}), V.makeArray({ 1, 2, 3 }) }

local function any_handle()
  local kinds = { "surface", "font", "sound", "music", "array" }
  local t = live[pick(kinds)]
  if #t > 0 and rand(2) == 1 then return t[rand(#t)] end
  if #dead > 0 then return dead[rand(#dead)] end
  return nil
end

local function value()
  local r = rand(100)
  if r <= 30 then return pick(numbers)
  elseif r <= 50 then return rand(700) - 150        -- coordinates, sizes, colours
  elseif r <= 60 then return pick(strings)
  elseif r <= 75 then return pick(others)
  elseif r <= 95 then return any_handle()
  else return nil end
end

-- n random arguments, as a packed list.
local function args(n)
  local t = { n = n }
  for i = 1, n do t[i] = value() end
  return t
end
local unpack = unpack or table.unpack

-- Arguments that cannot make the call end the process.
local safe_sizes = { 0, 1, 2, 7, 32, 100, 0.5, -0.5, 0 / 0, "12", true, false, {} }
local images = { assets .. "/sprite.png", assets .. "/halves.bmp", assets .. "/flat.jpg" }
local font_files = { fonts .. "DejaVuSans.ttf", fonts .. "DejaVuSansMono.ttf" }
local timer_targets = { nil, 0, -5, 0.9, 0 / 0, 1 / 0, -1 / 0, 2 ^ 31, 1e300, 1001, 5000, 500, 1000, "x", {} }

local allowed_errors = {
  "bad argument #%d+ to 'curses_setcol'", "bad argument #%d+ to 'curses_fill'",
  "bad argument #%d+ to '%?'", -- LuaJIT may not name the function
  "Argument must be a table", "Table must contain numbers only",
  "Argument must be a number array made by makeArray",
}
local function check_error(name, err)
  err = tostring(err)
  for _, pat in ipairs(allowed_errors) do
    if err:find(pat) then
      if pat:find("bad argument") and name ~= "curses_setcol" and name ~= "curses_fill" then break end
      if pat:find("^Argument") or pat:find("^Table") then
        if not name:find("Array") and not name:find("Pointer") then break end
      end
      return
    end
  end
  print(string.format("fuzz: unexpected error from %s: %s", name, err))
  os.exit(3)
end

local function call(name, f, a)
  local ok, r = pcall(f, unpack(a, 1, a.n))
  if not ok then check_error(name, r) end
  -- printFont hands out a surface when its ninth argument is true.
  if ok and name == "printFont" and type(r) == "userdata" then remember("surface", r) end
end

local closed = false -- set once quit has run
local save_root -- the folder saveImage and saveDir may write in (set below)

-- Each entry makes one call; most take their arguments at random.
local plain = {
  "fill", "flip", "input", "mouse", "isKeyDown", "blit", "putpix", "showCursor", "draw", "drawTri",
  "printFont", "playSound", "playMusic", "pauseMusic", "musicVolume", "curses_refresh", "curses_addch",
  "curses_setcol", "curses_fill", "init", "curses_init",
}
local actions = {}
for _, name in ipairs(plain) do
  actions[#actions + 1] = function() call(name, O[name], args(rand(13) - 1)) end
end
-- orvixcore.extra: nothing there may raise an error or end the process.
for _, name in ipairs({ "size", "setTitle", "surfSize", "blitPart", "blitAlpha", "getPixel", "setClip", "textSize",
  "fontMetrics", "stopSounds", "stopMusic", "soundVolume", "musicPlaying", "keyName", "textInput", "ticks" }) do
  actions[#actions + 1] = function() call(name, X[name], args(rand(10) - 1)) end
end
for _, name in ipairs({ "setVertexPointer", "setNormalPointer" }) do
  actions[#actions + 1] = function() call(name, V[name], args(rand(3) - 1)) end
end
local extra = {
  function() -- makeArray from a table of mixed values
    local t = {}
    for i = 1, rand(12) - 1 do t[i] = (rand(4) == 1) and value() or rand(1000) / 7 end
    local a = args(rand(3) - 1)
    a[a.n + 1] = (rand(8) > 1) and t or value()
    a.n = a.n + 1
    local ok, r = pcall(V.makeArray, unpack(a, 1, a.n))
    if ok then remember("array", r) else check_error("makeArray", r) end
  end,
  function() -- loadImage of a real image, extra arguments at random
    if closed then return end -- with no display, loading is a defined exit
    local a = args(rand(3) - 1)
    local s = O.loadImage(pick(images), unpack(a, 1, a.n))
    remember("surface", s)
  end,
  function()
    if closed then return end
    local w, h = pick(safe_sizes), pick(safe_sizes)
    remember("surface", (O.makeSurf(w, h)))
  end,
  function()
    if closed then return end
    local f = O.loadFont(pick(font_files), rand(40))
    remember("font", f)
  end,
  function()
    local a = args(9)
    a[1] = (rand(4) > 1) and (live.font[1] and pick(live.font)) or a[1]
    a[9] = true
    local ok, s = pcall(O.printFont, unpack(a, 1, 9))
    if not ok then check_error("printFont", s) end
    if ok and type(s) == "userdata" then remember("surface", s) end
  end,
  function() remember("sound", (O.loadSound(assets .. "/" .. pick({ "beep.wav", "blip.wav" })))) end,
  function() remember("music", (O.loadMusic(assets .. "/" .. pick({ "tune.ogg", "tune.wav", "other.wav" })))) end,
  function() O.playSound(live.sound[1] and pick(live.sound), pick({ 0, 1, 2, -1, 1.7, 0 / 0, 1e300 })) end,
  function() O.playMusic(live.music[1] and pick(live.music), pick({ 0, 1, -1, 0 / 0, 1e300 })) end,
  function() O.freeSurf(rand(3) == 1 and value() or take("surface")) end,
  function() O.freeFont(rand(3) == 1 and value() or take("font")) end,
  function() O.freeSound(rand(3) == 1 and value() or take("sound")) end,
  function() O.freeMusic(rand(3) == 1 and value() or take("music")) end,
  function() O.timer(pick(timer_targets)) end,
  function() -- rotozoom and mirror: hostile angles and flags, zooms that keep the copies small
    local a = args(4)
    a[1] = (rand(3) > 1) and any_handle() or a[1]
    a[3] = pick({ 0, 1, -1, 0.5, 2.5, -3, 1e-9, 0 / 0, 1 / 0, -1 / 0, 1e300, "2", {}, nil })
    local ok, s = pcall(X.rotozoom, unpack(a, 1, 4))
    if not ok then check_error("rotozoom", s) end
    if ok and type(s) == "userdata" then remember("surface", s) end
    ok, s = pcall(X.mirror, a[1], a[2], a[4])
    if not ok then check_error("mirror", s) end
    if ok and type(s) == "userdata" then remember("surface", s) end
  end,
  function() -- saveImage and saveDir write only below the run's own folder
    local target = (rand(4) > 1) and any_handle() or value()
    local path = (rand(4) > 1) and (save_root .. "/" .. pick({ "a.png", "b", "no/such/dir/c.png", "" })) or pick(others)
    local ok, r = pcall(X.saveImage, target, path)
    if not ok then check_error("saveImage", r) end
    local name = (rand(2) == 1) and pick({ "game", "a.b-c_d", "..", "../x", "/etc", "", string.rep("n", 65) }) or value()
    ok, r = pcall(X.saveDir, name)
    if not ok then check_error("saveDir", r) end
  end,
  function() -- handles of one kind where another belongs
    local h = any_handle()
    O.blit(h, rand(300), rand(300), any_handle())
    O.printFont(any_handle(), "x", 1, 2, 3, 4, 5, any_handle())
    O.playSound(any_handle(), 0)
    O.playMusic(any_handle(), 0)
  end,
}
for _, f in ipairs(extra) do actions[#actions + 1] = f end

-- Start the display.
if mode == "pixel" then
  O.init(320, 240)
elseif mode == "gl" then
  O.init(320, 240, false, true)
else
  O.curses_init(20, 8, fonts .. "DejaVuSansMono.ttf", 12)
end

-- saveImage and saveDir write into a folder of this run's own.
save_root = os.tmpname()
os.remove(save_root)
assert(os.execute("mkdir -p " .. save_root) == 0)
T.setenv("XDG_DATA_HOME", save_root .. "/data")

local quit_at = math.floor(calls * 0.9)
for i = 1, calls do
  if i == quit_at then
    O.quit()
    closed = true
  end
  pick(actions)()
  -- Keep the pools small: free the oldest handles now and then.
  if i % 500 == 0 then
    for _, kind in ipairs({ "surface", "font", "sound", "music" }) do
      while #live[kind] > 20 do
        local h = take(kind)
        local free = { surface = O.freeSurf, font = O.freeFont, sound = O.freeSound, music = O.freeMusic }
        free[kind](h)
      end
    end
    live.array = {}
    collectgarbage()
  end
end
O.quit()
-- Whatever the script still holds it gives back, so that a leak check of the
-- run sees only what the runtime itself lost.
for kind, free in pairs({ surface = O.freeSurf, font = O.freeFont, sound = O.freeSound, music = O.freeMusic }) do
  for _, h in ipairs(live[kind]) do free(h) end
end
os.execute("rm -rf " .. save_root)
print(string.format("fuzz: done, %d calls; made %d surfaces, %d fonts, %d sounds, %d music, %d arrays",
  calls, made.surface, made.font, made.sound, made.music, made.array))
