-- The Windows build under Wine, on the test's virtual X server: the zips that
-- build_zips.sh made, unpacked as a player unpacks them. The examples and a
-- scene of images, text and shapes play on a fixed clock with keys pressed
-- by xdotool and must give the native build's frames; sound reaches SDL's
-- disk driver; the launcher logs, passes arguments, and shows a fatal
-- message in a box; gl_spin draws under LuaJIT.
local h = require "helpers"

local q = h.shell_quote
local ZIPS = h.build .. "/windows"
local OBJDUMP = "x86_64-w64-mingw32-objdump"
-- The Windows interpreters would take the native modules' paths from the
-- test's LUA_CPATH. No sound card: SDL writes into its disk driver, and
-- Wine's own sound drivers would only fill the logs with their complaints.
local WINE = "env -u LUA_CPATH -u LUA_PATH -u LD_PRELOAD WINEPREFIX=" .. q(ZIPS .. "/prefix") .. " WINEDEBUG=-all WINEDLLOVERRIDES="
  .. q("winealsa.drv,winepulse.drv,mscoree,mshtml=d") .. " SDL_VIDEODRIVER=windib SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=nul "
-- SDL key codes, and the names xdotool presses them by.
local KEYS = { Left = 276, Right = 275, Up = 273, Down = 274, space = 32, x = 120, p = 112, minus = 45, Return = 13 }

local work = h.tmpname("_windows")

-- Runs a shell command: its status and output (standard error too unless
-- the command sends it elsewhere itself). Lua 5.1's popen gives no status:
-- the shell prints it last.
local function sh(cmd)
  local p = assert(io.popen("(" .. (cmd:find("2>", 1, true) and cmd or cmd .. " 2>&1") .. "); echo \"=$?\""))
  local s = p:read("*a")
  p:close()
  local out, status = s:match("^(.-)=(%d+)\n$")
  return tonumber(status), out
end
local function sleep(s) os.execute("sleep " .. s) end
local function exists(path) return h.read_file(path) ~= nil end
-- Waits up to `seconds` for check() to be true.
local function await(check, seconds)
  for _ = 1, seconds * 20 do
    if check() then return true end
    sleep(0.05)
  end
  return check()
end
-- Windows writes text files with CRLF line ends.
local function unix(s) return ((s or ""):gsub("\r\n", "\n")) end

-- Unpacks a zip as a player would: the game's folder, and its launch.txt
-- (interpreter, script, arguments).
local function unpack(name)
  os.execute("rm -rf " .. q(work .. "/" .. name))
  local status, out = sh("unzip -q " .. q(ZIPS .. "/" .. name .. ".zip") .. " -d " .. q(work))
  assert(status == 0, out)
  local dir = work .. "/" .. name
  return dir, h.lines(unix(h.read_file(dir .. "/launch.txt")))
end

-- Runs lua5.1 natively in a folder, on the classic SDL 1.2 whatever the
-- test's library path: status and standard output.
local function native(dir, env, args)
  return sh(("cd %s && env -u LD_LIBRARY_PATH SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "
    .. "LUA_CPATH=%s %s lua5.1 %s 2>/dev/null"):format(q(dir), q(h.build .. "/?.so;;"), env, args))
end

-- Starts a Windows program in a game's folder in the background; returns a
-- run whose status and output files fill when it ends.
local function start(dir, cmdline, env)
  local run = { out = dir .. "/run.out", err = dir .. "/run.err", status = dir .. "/run.status" }
  os.remove(run.status)
  os.execute(string.format("(cd %s && %s %s timeout -s KILL 240 wine %s >%s 2>%s; echo $? >%s) &",
    q(dir), WINE, env or "", cmdline, q(run.out), q(run.err), q(run.status)))
  return run
end
local function finish(run, seconds)
  assert(await(function() return exists(run.status) end, seconds or 120), "the program did not end")
  return tonumber(h.read_file(run.status)), unix(h.read_file(run.out)), unix(h.read_file(run.err))
end

local function x(cmd) return sh("xdotool " .. cmd) end
local function window(name)
  local id
  await(function()
    local _, out = x("search --name " .. q("^" .. name .. "$"))
    id = out:match("^(%d+)")
    return id ~= nil
  end, 60)
  return id
end

local function read_ppm(path)
  local data = assert(h.read_file(path), "no frame " .. path)
  local w, hgt, header = data:match("^P6\n(%d+) (%d+)\n255\n()")
  return { w = tonumber(w), h = tonumber(hgt), rgb = data:sub(header) }
end
-- Pixels that differ between two frames of the same size.
local function differing(a, b)
  assert.are.same({ a.w, a.h }, { b.w, b.h })
  if a.rgb == b.rgb then return 0 end
  local n = 0
  for i = 1, #a.rgb, 3 do
    if a.rgb:sub(i, i + 2) ~= b.rgb:sub(i, i + 2) then n = n + 1 end
  end
  return n
end

-- The games whose frames are compared. Stops: frame -> keys pressed (+) or
-- released (-) after it. At the first stop, before any key, the window
-- gets the keyboard focus; by then Wine has shown it, which it does when the
-- game first reads its events. The shim handles the window's messages while
-- the game is stopped, so the focus and the keys reach SDL before it goes on.
local GAMES = {
  { name = "media", native_cwd = "tests/browser/games/media", script = "main.lua",
    args = { h.assets, "sprite.gif,colours.gif,interlaced.gif,offset.gif,frames.gif,cmyk_dark.jpg,lossy.webp" }, seed = 1, stops = { { 2 }, { 3 } } },
  { name = "arcade", script = "examples/arcade/arcade.lua", args = { h.build .. "/examples/arcade" }, seed = 7,
    stops = { { 2 }, { 20 }, { 45, "+Left", "+space" }, { 90, "-space", "+Up" }, { 140, "-Left", "-Up" },
      { 141, "+p", "+minus" }, { 142, "-p", "-minus" }, { 200, "+Right", "+space" }, { 260 } } },
  -- Sprite sheets, a level read with getPixel, turned coins, fades, centred
  -- text and a high-score table in saveDir's folder, emptied first on both
  -- sides (natively a folder of the run's own, on Windows the prefix's).
  { name = "caverun", script = "examples/caverun/caverun.lua", args = { h.build .. "/examples/caverun" }, seed = 1,
    stops = { { 5, "+Return" }, { 6, "-Return", "+Right" }, { 40 }, { 75, "+Up" }, { 80, "-Up" }, { 100 },
      { 140, "-Right" }, { 150 } }, save = "cave-run", title = "Cave Run" },
  { name = "roguelike", script = "examples/roguelike.lua", args = {}, seed = 3,
    stops = { { 2 }, { 5, "+Right" }, { 6, "-Right" }, { 10, "+Down" }, { 11, "-Down" }, { 15, "+x" },
      { 40, "-x" }, { 41, "+x" }, { 42, "-x" }, { 70 } } },
}

local function stop_list(game)
  local t = {}
  for i, s in ipairs(game.stops) do t[i] = s[1] end
  return table.concat(t, ",")
end

local function play_native(game, shots)
  local keys = {}
  for _, s in ipairs(game.stops) do
    for i = 2, #s do keys[#keys + 1] = s[1] .. ":" .. s[i]:sub(1, 1) .. KEYS[s[i]:sub(2)] end
  end
  local args = { game.script }
  for _, a in ipairs(game.args) do args[#args + 1] = q(a) end
  local data = work .. "/native-data"
  os.execute("rm -rf " .. q(data))
  local status, out = native(h.source .. "/" .. (game.native_cwd or ""), ("XDG_DATA_HOME=%s LD_PRELOAD=%s ORVIX_SEED=%d "
    .. "ORVIX_FRAMES=%d ORVIX_STOPS=%s ORVIX_KEYS=%s ORVIX_SHOTS=%s"):format(q(data), q(h.build .. "/tests/libfixedclock.so"),
    game.seed, game.stops[#game.stops][1], q(stop_list(game)), q(table.concat(keys, ",")), q(shots)),
    table.concat(args, " "))
  assert.are.equal(0, status, out)
  return out
end

-- The same game from its zip, under Wine, with the keys from xdotool; the
-- arguments as its launch.txt gives them.
local function play_windows(game, shots)
  local dir, launch = unpack(game.name)
  assert(sh("cp " .. q(ZIPS .. "/fixedclock.dll") .. " " .. q(dir)) == 0)
  if game.save then os.execute("rm -rf " .. q(ZIPS) .. "/prefix/drive_c/users/*/AppData/Roaming/" .. game.save) end
  local args = {}
  for i = 3, #launch do args[#args + 1] = q(launch[i]) end
  local win_shots = "shots"
  os.execute("mkdir -p " .. q(dir .. "/" .. win_shots))
  -- The pointer stays off the window: SDL on Windows would report where it
  -- is when the window opens, and the native run has no pointer.
  x("mousemove 0 0")
  local run = start(dir, "lua5.1.exe -l fixedclock " .. q(launch[2]) .. " " .. table.concat(args, " "), string.format(
    "ORVIX_SEED=%d ORVIX_FRAMES=%d ORVIX_STOPS=%s ORVIX_SHOTS=%s", game.seed, game.stops[#game.stops][1],
    stop_list(game), win_shots))
  local held = {}
  for n, s in ipairs(game.stops) do
    local stopped = dir .. "/" .. win_shots .. "/stopped-" .. s[1]
    if not await(function() return exists(stopped) or exists(run.status) end, 120) or not exists(stopped) then
      local status, out, err = finish(run, 1)
      error(("no frame %d (status %s): %s%s"):format(s[1], tostring(status), out, err))
    end
    if n == 1 then
      x("windowfocus --sync " .. assert(window(game.title or "SDL_app")))
      sleep(0.3)
    end
    for i = 2, #s do
      local key = s[i]:sub(2)
      held[key] = s[i]:sub(1, 1) == "+" or nil
      x((held[key] and "keydown " or "keyup ") .. key)
    end
    if #s > 1 then sleep(0.1) end
    h.write_file(dir .. "/" .. win_shots .. "/resume-" .. s[1], "")
  end
  -- A key left down would not go down again for the next game.
  for key in pairs(held) do x("keyup " .. key) end
  local status, out, err = finish(run)
  assert.are.equal(0, status, out .. err)
  return out, dir .. "/" .. win_shots
end

describe("the Windows build under Wine", function()
  setup(function()
    os.execute("mkdir -p " .. q(work))
    -- Wine's prefix, made once for the build tree.
    if not exists(ZIPS .. "/prefix/system.reg") then
      local status, out = sh(WINE .. "wineboot -i")
      assert(status == 0, out)
    end
  end)
  teardown(function()
    sh(WINE .. "wineserver -k")
    -- ORVIX_KEEP=1 keeps the unpacked games and their frames for a look.
    if not os.getenv("ORVIX_KEEP") then os.execute("rm -rf " .. q(work)) end
  end)

  for _, game in ipairs(GAMES) do
    it(game.name .. " gives the native build's frames, with keys from xdotool", function()
      local native_shots = work .. "/native-" .. game.name
      os.execute("mkdir -p " .. q(native_shots))
      local native_out = play_native(game, native_shots)
      local windows_out, shots = play_windows(game, native_shots)
      local report = {}
      for _, s in ipairs(game.stops) do
        local n = differing(read_ppm(native_shots .. "/frame-" .. s[1] .. ".ppm"),
          read_ppm(shots .. "/frame-" .. s[1] .. ".ppm"))
        report[#report + 1] = ("frame %d: %d"):format(s[1], n)
        assert.are.equal(0, n, ("frame %d: %d pixels differ (frames in %s and %s)"):format(s[1], n, native_shots,
          shots))
      end
      print(("# %s under Wine, pixels differing from native: %s"):format(game.name, table.concat(report, ", ")))
      assert.are.equal(native_out, windows_out)
    end)
  end

  it("plays sounds and music into SDL's disk driver, with the mixer's answers as natively", function()
    local dir, launch = unpack("sound")
    local run = start(dir, "lua5.1.exe main.lua " .. q(launch[3]), "ORVIX_FRAMES=60 SDL_DISKAUDIOFILE=sound.raw")
    local status, out, err = finish(run)
    assert.are.equal(0, status, out .. err)
    local _, native_out = native(h.source .. "/tests/browser/games/sound", "ORVIX_FRAMES=1", "main.lua " .. q(h.assets))
    assert.are.equal(native_out, out)
    local sound = assert(h.read_file(dir .. "/sound.raw"), "no sound file")
    -- Some seconds of 16-bit stereo, and not silence.
    assert.is_true(#sound > 44100, "only " .. #sound .. " bytes")
    assert.is_truthy(sound:find("[^%z]"), "silence")
  end)

  it("loads music in every format the native mixer reads: Ogg Vorbis, WAV, FLAC and a tracker module", function()
    local dir, launch = unpack("sound")
    -- A module of one pattern: a square-wave sample played once.
    local samples = ("\0"):rep(22) .. h.be(0, 2) .. "\0\0" .. h.be(0, 2) .. h.be(1, 2)
    local mod = ("tiny"):rep(5) .. "square" .. ("\0"):rep(16) .. h.be(32, 2) .. "\0\64" .. h.be(0, 2) .. h.be(32, 2)
      .. samples:rep(30) .. "\1\127" .. ("\0"):rep(128) .. "M.K." .. "\1\172\16\0" .. ("\0"):rep(1020)
      .. ("\64\192"):rep(32)
    h.write_file(dir .. "/tiny.mod", mod)
    local code = [[
      local O = require "orvixcore"
      O.init(64, 48)
      for _, path in ipairs { DIR .. "/tune.ogg", DIR .. "/tune.wav", DIR .. "/beep.flac", MOD } do
        local music = O.loadMusic(path)
        print(path:match("[^/]+$"), music ~= nil)
        O.freeMusic(music)
      end
      O.quit()
    ]]
    local status, out = sh(("cd %s && %s wine lua5.1.exe -e %s 2>/dev/null"):format(q(dir), WINE,
      q(("DIR, MOD = %q, %q "):format(launch[3], "tiny.mod") .. code)))
    assert.are.equal(0, status, out)
    local native_status, native_out = native(dir, "", "-e " .. q(("DIR, MOD = %q, %q "):format(h.assets, "tiny.mod")
      .. code))
    assert.are.equal(0, native_status, native_out)
    assert.are.equal("Orvix init (64x48)\ntune.ogg\ttrue\ntune.wav\ttrue\nbeep.flac\ttrue\ntiny.mod\ttrue\nOrvix quit\n",
      native_out)
    assert.are.equal(native_out, unix(out))
  end)

  it("draws gl_spin's torus through opengl32 under LuaJIT, from its launcher", function()
    local dir, launch = unpack("gl_spin")
    assert.are.equal("luajit\\luajit.exe", launch[1])
    local run = start(dir, "gl_spin.exe", "ORVIX_FRAMES=100000")
    local id = window("SDL_app")
    assert.is_truthy(id, "no window")
    sleep(2)
    local shot = work .. "/gl_spin.txt"
    sh(("import -window %s -depth 8 txt:%s"):format(id, q(shot)))
    local orange, total = 0, 0
    for r, g, b in (h.read_file(shot) or ""):gmatch("#(%x%x)(%x%x)(%x%x)") do
      total = total + 1
      r, g, b = tonumber(r, 16), tonumber(g, 16), tonumber(b, 16)
      if r > 120 and r > g + 30 and g > b then orange = orange + 1 end
    end
    x("windowfocus --sync " .. id)
    x("key Escape")
    local status, out, err = finish(run)
    assert.are.equal(0, status, out .. err)
    assert.are.equal(640 * 480, total)
    assert.is_true(orange > total / 50, ("%d orange pixels of %d"):format(orange, total))
    assert.matches("Orvix init %(640x480%)", unix(h.read_file(dir .. "/gl_spin.log")))
  end)

  it("logs the game's output beside it and passes arguments through the launcher", function()
    local dir = unpack("args")
    local odd = { "two words", 'a "quote"', "back\\slash\\", "" }
    local quoted = {}
    for i, a in ipairs(odd) do quoted[i] = q(a) end
    local status = finish(start(dir, "args.exe 0 " .. table.concat(quoted, " ")))
    assert.are.equal(0, status)
    local want = { "[0]" }
    for _, a in ipairs(odd) do want[#want + 1] = "[" .. a .. "]" end
    want[#want + 1] = "true"
    assert.are.same(want, h.lines(unix(h.read_file(dir .. "/args.log"))))
  end)

  it("shows a fatal message in a box, logs it, and ends with the game's status", function()
    local dir = unpack("fatal")
    local run = start(dir, "fatal.exe", "SDL_AUDIODRIVER=dummy")
    local box = window("fatal")
    assert.is_truthy(box, "no message box")
    -- The box holds the launcher until the player closes it.
    sleep(0.5)
    assert.is_false(exists(run.status))
    x("windowfocus --sync " .. box)
    x("key Return")
    local status = finish(run)
    assert.are.equal(1, status)
    local native_status, native_out = native(h.source .. "/tests/browser/games/fatal", "SDL_AUDIODRIVER=dummy",
      "main.lua")
    assert.are.equal(1, native_status)
    assert.matches("Couldn't load image missing/picture.png. Exiting.", native_out, nil, true)
    assert.are.equal(native_out, unix(h.read_file(dir .. "/fatal.log")))
  end)

  it("draws math.random's numbers from a seed as on Linux", function()
    local code = "math.randomseed(42) for i = 1, 8 do io.write(math.random(1000000), ' ') end print(math.random())"
    local dir = unpack("args")
    local status, out = sh(("cd %s && %s wine lua5.1.exe -e %s"):format(q(dir), WINE, q(code)))
    assert.are.equal(0, status, out)
    local _, native = sh("lua5.1 -e " .. q(code))
    assert.are.equal(native, unix(out))
  end)

  it("exports only the module's entry points and shared globals; the launcher has no console", function()
    local dir = unpack("args")
    local _, dump = sh(OBJDUMP .. " -p " .. q(dir .. "/orvixcore.dll"))
    local names = {}
    for name in dump:match("%[Ordinal/Name Pointer%] Table\n(.-)\n\n"):gmatch("%] (%S+)") do
      names[#names + 1] = name
    end
    table.sort(names)
    -- The names the Linux module exports, from its version script.
    local map = assert(h.read_file(h.source .. "/orvixcore/exports.map"))
    local want = {}
    for name in map:match("global:(.-)local:"):gmatch("([%w_]+);") do want[#want + 1] = name end
    table.sort(want)
    assert.is_true(#want >= 9)
    assert.are.same(want, names)
    local _, launcher = sh(OBJDUMP .. " -p " .. q(dir .. "/args.exe"))
    assert.matches("Subsystem%s+00000002", launcher)
  end)
end)
