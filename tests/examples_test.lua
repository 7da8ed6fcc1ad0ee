-- The examples, run as a user runs them: a real window on a virtual X server,
-- key presses from xdotool, sound into SDL's disk audio file. Each run checks
-- the exit status, the exact standard output, and a capture of the window.
local h = require "helpers"

local q = h.shell_quote
local CONVERT = "/usr/bin/convert"
local IS_LUAJIT = h.lua:match("luajit[^/]*$") ~= nil
-- The sanitizer build preloads its runtime into the hosts; the X tools are
-- run without it.
local TOOL_ENV = "env -u LD_PRELOAD DISPLAY="

local function sh(cmd)
  local p = assert(io.popen(cmd .. " 2>/dev/null"))
  local s = p:read("*a")
  p:close()
  return s
end

local function sleep(s) os.execute("sleep " .. s) end

-- The examples get an X server of their own: no other test's window can
-- cover theirs, and no key press meant for them reaches another test.
local xstate = h.tmpname("_xvfb")
local display

local function x(cmd) return sh(TOOL_ENV .. q(display) .. " " .. cmd) end

-- Starts an example in the background. Returns a run record with the files
-- that receive its standard output, standard error, exit status and sound.
local function start(script, args, env)
  local host = h.lua
  local run = {
    out = h.tmpname(".out"), err = h.tmpname(".err"), status = h.tmpname(".status"),
    pid = h.tmpname(".pid"), audio = h.tmpname(".raw"),
    class = host:match("([^/]+)$"),  -- SDL names the window's class after the host
  }
  run.files = { run.out, run.err, run.status, run.pid, run.audio }
  local vars = {
    DISPLAY = display, SDL_VIDEODRIVER = "x11", SDL_AUDIODRIVER = "disk",
    SDL_DISKAUDIOFILE = run.audio, SDL_DISKAUDIODELAY = "20",
    LUA_CPATH = h.build .. "/?.so;;",
  }
  for k, v in pairs(env or {}) do vars[k] = v end
  local assigns = {}
  for k, v in pairs(vars) do assigns[#assigns + 1] = k .. "=" .. q(v) end
  local argv = { q(host), q(h.source .. "/" .. script) }
  for _, a in ipairs(args or {}) do argv[#argv + 1] = q(a) end
  os.execute(string.format("(cd %s && env %s %s >%s 2>%s & echo $! >%s; wait $!; echo $? >%s) &",
    q(h.source), table.concat(assigns, " "), table.concat(argv, " "),
    q(run.out), q(run.err), q(run.pid), q(run.status)))
  return run
end

-- The exit status once the example has ended, or nil after `seconds`; an
-- example still running then is killed.
local function finish(run, seconds)
  for _ = 1, seconds * 10 do
    local s = h.read_file(run.status)
    if s and s:match("%d") then
      run.stdout, run.stderr = h.read_file(run.out), h.read_file(run.err)
      return tonumber(s)
    end
    sleep(0.1)
  end
  local pid = h.read_file(run.pid)
  if pid and pid:match("^%d+") then os.execute("kill " .. pid:match("^%d+")) end
  run.stderr = h.read_file(run.err)
  return nil
end

-- The example's window (id, width, height) once it shows, or nil. The window
-- is given the keyboard focus, whatever an earlier game left it on, and the
-- pointer is put in its middle.
local function window(run)
  for _ = 1, 300 do
    -- The last one: SDL may replace a window while it sets the mode up.
    local id = h.x_window(display, run.class)
    if id then
      sleep(0.3)
      local geo = x("xdotool getwindowgeometry --shell " .. id)
      local w, hgt = tonumber(geo:match("WIDTH=(%d+)")), tonumber(geo:match("HEIGHT=(%d+)"))
      if w and hgt and h.give_focus(display, id) then
        x(string.format("xdotool mousemove %d %d", w / 2, hgt / 2))
        return id, w, hgt
      end
    end
    if h.read_file(run.status) then return nil end
    sleep(0.1)
  end
end

-- Captures the window into a PNG file and returns its path.
local function capture(id)
  local png = h.tmpname(".png")
  x("xwd -silent -id " .. id .. " | " .. CONVERT .. " xwd:- " .. q(png))
  return png
end

local function colours(png)
  return tonumber(sh(CONVERT .. " " .. q(png) .. " -format %k info:"))
end

local function pixel(png, px, py)
  local s = sh(string.format("%s %s -crop 1x1+%d+%d -depth 8 -format '%%[fx:int(255*r+.5)] %%[fx:int(255*g+.5)] %%[fx:int(255*b+.5)]' info:",
    CONVERT, q(png), px, py))
  local r, g, b = s:match("(%d+) (%d+) (%d+)")
  return { tonumber(r), tonumber(g), tonumber(b) }
end

-- Whether a file of 16-bit samples holds anything but silence.
local function audible(path)
  local data = h.read_file(path) or ""
  return #data > 0 and data:find("[^%z]") ~= nil
end

local function cleanup(run)
  for _, f in ipairs(run.files) do os.remove(f) end
end

describe("examples", function()
  setup(function()
    assert(os.execute("sh " .. q(h.source .. "/tests/xvfb.sh") .. " start " .. q(xstate) .. " >/dev/null") == 0)
    display = assert(h.read_file(xstate .. "/display")):match("%S+")
  end)

  teardown(function()
    os.execute("sh " .. q(h.source .. "/tests/xvfb.sh") .. " stop " .. q(xstate))
    os.execute("rm -rf " .. q(xstate))
  end)

  describe("arcade", function()
    local assets = h.build .. "/examples/arcade"

    it("plays with keys and the mouse, shows its status bar and quits on Escape", function()
      local run = start("examples/arcade/arcade.lua", { assets }, { ORVIX_FRAMES = "100000" })
      local id, w, hgt = window(run)
      assert.is_truthy(id, "no window: " .. tostring(h.read_file(run.out)))
      assert.are.same({ 640, 480 }, { w, hgt })
      x("xdotool keydown Left keydown space")
      sleep(0.5)
      x("xdotool keyup Left keyup space click 1 key minus")
      sleep(0.3)
      local png = capture(id)
      x("xdotool key Escape")
      local status = finish(run, 60)

      assert.are.equal(0, status, run.stderr)
      -- Escape, not the frame limit, ended the game: it shut down normally.
      assert.are.equal("Orvix init (640x480)\nOrvix quit\n", run.stdout)
      -- Sprites, stars, shapes and text give many colours; the frame of the
      -- heat gauge is drawn in one exact colour above everything else.
      assert.is_true(colours(png) > 200, "colours: " .. tostring(colours(png)))
      assert.are.same({ 200, 200, 220 }, pixel(png, 380, 9))
      assert.are.same({ 200, 200, 220 }, pixel(png, 330, 15))
      -- The music played into the disk audio file.
      assert.is_true(audible(run.audio))
      os.remove(png)
      cleanup(run)
    end)
  end)

  describe("roguelike", function()
    it("walks, explores, draws its cells and quits on Escape", function()
      local run = start("examples/roguelike.lua", {}, { ORVIX_FRAMES = "100000", ORVIX_SEED = "3" })
      local id, w, hgt = window(run)
      assert.is_truthy(id, "no window: " .. tostring(h.read_file(run.out)))
      -- 64 by 25 cells of one monospaced font.
      assert.are.equal(0, w % 64)
      assert.are.equal(0, hgt % 25)
      local cw, ch = w / 64, hgt / 25
      x("xdotool key Right key Down key x key x key x")
      sleep(0.5)
      local png = capture(id)
      x("xdotool key Escape")
      local status = finish(run, 60)

      assert.are.equal(0, status, run.stderr)
      assert.are.equal("Orvix init (64x25), curses mode\nOrvix quit\n", run.stdout)
      assert.is_true(colours(png) > 10, "colours: " .. tostring(colours(png)))
      -- The status bar's background, in a blank cell between the counters and
      -- the frame rate, and the gold mark at its left end.
      assert.are.same({ 170, 180, 210 }, pixel(png, 45 * cw + 1, 24 * ch + 1))
      assert.are.same({ 255, 210, 40 }, pixel(png, 1, 24 * ch + 1))
      -- Above the map, the message row is black.
      assert.are.same({ 0, 0, 0 }, pixel(png, w - 2, 1))
      os.remove(png)
      cleanup(run)
    end)
  end)

  describe("caverun", function()
    local assets = h.build .. "/examples/caverun"

    -- One game to its end: Enter, then the right arrow held until the
    -- third fall into the first pit, then a name typed (a letter wrong,
    -- taken back with Backspace) and Enter. Returns the run, and captures
    -- of the play, the name entry and the high-score table.
    local function play(data_home, typed)
      local run = start("examples/caverun/caverun.lua", { assets },
        { ORVIX_FRAMES = "100000", XDG_DATA_HOME = data_home })
      local id, w, hgt = window(run)
      assert.is_truthy(id, "no window: " .. tostring(h.read_file(run.out)))
      assert.are.same({ 640, 480 }, { w, hgt })
      x("xdotool key Return keydown Right")
      sleep(1) -- past the half second in which the cave fades in
      local shots = { play = capture(id) }
      sleep(8.6)
      x("xdotool keyup Right")
      sleep(2)
      shots.name = capture(id)
      x("xdotool type " .. q(typed) .. " && DISPLAY=" .. q(display) .. " xdotool key BackSpace key Return")
      sleep(0.5)
      shots.scores = capture(id)
      x("xdotool key Escape")
      return run, finish(run, 60), shots
    end

    it("plays its level, takes a typed name and keeps the high scores in its save folder", function()
      local data_home = h.tmpname("_data")
      local run, status, shots = play(data_home, "Ada!")
      assert.are.equal(0, status, run.stderr)
      assert.are.equal("Orvix init (640x480)\nOrvix quit\n", run.stdout)
      -- The status bar's ground, and a stone tile read from level.png.
      assert.are.same({ 24, 20, 40 }, pixel(shots.play, 300, 10))
      assert.are.same({ 138, 138, 150 }, pixel(shots.play, 2, 32 + 10 * 16 + 2))
      assert.is_true(colours(shots.play) > 40, "colours: " .. tostring(colours(shots.play)))
      -- Five coins before the pit; the name as typed, its last letter taken back.
      assert.are.equal("500\tAda\n", h.read_file(data_home .. "/cave-run/scores.txt"))
      -- A second game finds the table and puts its equal score first.
      run, status = play(data_home, "Bobx")
      assert.are.equal(0, status, run.stderr)
      assert.are.equal("500\tBob\n500\tAda\n", h.read_file(data_home .. "/cave-run/scores.txt"))
      for _, png in pairs(shots) do os.remove(png) end
      os.execute("rm -rf " .. q(data_home))
      cleanup(run)
    end)
  end)

  describe("ending", function()
    -- Every game ends by itself after ORVIX_FRAMES frames, and with its
    -- loader's message (status 1) when its assets are missing.
    local pixel_mode = "Orvix init (640x480)\n"
    for _, c in ipairs {
      { "examples/arcade/arcade.lua", { h.build .. "/examples/arcade" }, pixel_mode .. "Orvix quit\n" },
      -- Without a save folder it plays on, keeping no scores.
      { "examples/caverun/caverun.lua", { h.build .. "/examples/caverun" }, pixel_mode .. "Orvix quit\n",
        env = { XDG_DATA_HOME = "/nonexistent", HOME = "/nonexistent" } },
      { "examples/roguelike.lua", {}, "Orvix init (64x25), curses mode\nOrvix quit\n" },
      { "examples/arcade/arcade.lua", { "/nonexistent" },
        pixel_mode .. "Couldn't load image /nonexistent/ship.png. Exiting.\n", status = 1 },
      { "examples/caverun/caverun.lua", { "/nonexistent" },
        pixel_mode .. "Couldn't load image /nonexistent/runner.png. Exiting.\n", status = 1 },
    } do
      it(("%s with %s"):format(c[1], c[2][1] or "no arguments"), function()
        local env = c.env or {}
        env.ORVIX_FRAMES = "10"
        local run = start(c[1], c[2], env)
        local status = finish(run, 60)
        assert.are.equal(c.status or 0, status, run.stderr)
        assert.are.equal(c[3], run.stdout)
        cleanup(run)
      end)
    end
  end)

  describe("README's first example", function()
    it("ends by itself after ORVIX_FRAMES frames", function()
      local readme = assert(h.read_file(h.source .. "/README.md"))
      local code = assert(readme:match("```lua\n(%-%- first%.lua.-)```"), "no first.lua in README.md")
      local status, out, err = h.run_child(code, {
        timeout = 60, env = { ORVIX_FRAMES = "5", SDL_VIDEODRIVER = "dummy", SDL_AUDIODRIVER = "disk" },
      })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (640x480)\nOrvix quit\n", out)
    end)
  end)

  describe("gl_spin", function()
    local exists = io.open(h.source .. "/examples/gl_spin.lua") ~= nil
    -- It calls OpenGL through LuaJIT's FFI, so it runs under luajit alone.
    local runnable = exists and IS_LUAJIT

    it("turns a lit torus with OpenGL and quits on Escape", function()
      if not runnable then return pending("needs luajit and examples/gl_spin.lua") end
      local run = start("examples/gl_spin.lua", {}, { ORVIX_FRAMES = "100000" })
      local id, w, hgt = window(run)
      assert.is_truthy(id, "no window: " .. tostring(h.read_file(run.out)))
      assert.are.same({ 640, 480 }, { w, hgt })
      sleep(0.5)
      local png = capture(id)
      x("xdotool key Escape")
      local status = finish(run, 60)

      assert.are.equal(0, status, run.stderr)
      assert.are.equal("Orvix init (640x480), OpenGL mode\nOrvix quit\n", run.stdout)
      -- A shaded surface in front of a plain, dark background.
      assert.is_true(colours(png) > 100, "colours: " .. tostring(colours(png)))
      local corner = pixel(png, 2, 2)
      assert.is_true(corner[1] < 30 and corner[2] < 30 and corner[3] < 40, table.concat(corner, ","))
      -- The background is a dark blue; the torus is orange. However it is
      -- turned when the picture is taken (edge-on it covers least), at least
      -- 1% of the window is clearly orange: strong red, far less blue.
      local orange = sh(CONVERT .. " " .. q(png) .. " -fx '(r > 0.45 && r > b + 0.25) ? 1 : 0'"
        .. " -format '%[fx:mean]' info:")
      assert.is_true(tonumber(orange) >= 0.01, "share of orange pixels: " .. orange)
      os.remove(png)
      cleanup(run)
    end)
  end)
end)
