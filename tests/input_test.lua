-- Input: input, isKeyDown and mouse, driven by real X events that xdotool
-- sends to a private X server (other tests' windows on the shared server must
-- not take the pointer or the keyboard), and by injected joystick events.
-- The window is given the keyboard focus (H.give_focus), and the pointer stays
-- inside it unless a test says otherwise.
local H = require "helpers"
local O = require "orvixcore"
local T = require "orvixtest"

local SOURCE, BUILD = H.source, H.build
local W, HEIGHT = 640, 480

local xdir, display, window

local function xdo(args)
  assert(os.execute("DISPLAY=" .. display .. " xdotool " .. args) == 0, "xdotool " .. args)
end

local function is_empty(r) return r.n == 1 and r[1] == 0 end

-- The first result of input() that is not the single 0, polling for a while:
-- SDL sees an X event only once the server has passed it on.
local function next_event(timeout_ms)
  local deadline = T.monotonic_ms() + (timeout_ms or 3000)
  repeat
    local r = H.pack(O.input())
    if not is_empty(r) then return r end
    T.delay(2)
  until T.monotonic_ms() > deadline
  return nil
end

-- Every event that arrives within ms milliseconds.
local function events_for(ms)
  local t = {}
  local deadline = T.monotonic_ms() + ms
  repeat
    local r = H.pack(O.input())
    if not is_empty(r) then t[#t + 1] = r else T.delay(2) end
  until T.monotonic_ms() > deadline
  return t
end

-- Waits until SDL's queue holds an event of the given type (collecting the
-- X events, taking none).
local function wait_pending(type_)
  local deadline = T.monotonic_ms() + 3000
  repeat
    for _, t in ipairs(T.pending()) do
      if t == type_ then return true end
    end
    T.delay(5)
  until T.monotonic_ms() > deadline
  return false
end

local function settle()
  events_for(150)
  T.drain()
end

-- Moves the pointer and waits for the motion to arrive. The pointer comes
-- into the window by way of the next pixel: entering the window alone gives
-- SDL a focus event but no motion.
local function pointer_to(x, y)
  xdo("mousemove " .. (x + 1) .. " " .. y .. " mousemove " .. x .. " " .. y)
  local deadline = T.monotonic_ms() + 3000
  repeat
    local r = H.pack(O.input())
    if r[1] == 5 and r[2] == x and r[3] == y then return end
    T.delay(2)
  until T.monotonic_ms() > deadline
  error("no motion to " .. x .. ", " .. y)
end

local function ev(...) return H.pack(...) end

-- Runs a child on the private server: returns exit status, stdout, stderr.
-- signal: when given ("TERM", "INT"), the child is sent that signal once it
-- has created the file named by READY.
local function child(code, extra_env, signal)
  local script, out, err, ready = H.tmpname(".lua"), H.tmpname(".out"), H.tmpname(".err"), H.tmpname(".ready")
  local f = assert(io.open(script, "w"))
  f:write("package.cpath = '" .. BUILD .. "/?.so;" .. BUILD .. "/tests/?.so;' .. package.cpath\n",
    "O = require 'orvixcore'\nT = require 'orvixtest'\nREADY = '" .. ready .. "'\n", code)
  f:close()
  local env = "DISPLAY=" .. display .. " SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null "
    .. (extra_env or "")
  local cmd = env .. " " .. H.lua .. " " .. script .. " >" .. out .. " 2>" .. err
  if signal then
    cmd = cmd .. " & pid=$!; i=0; while [ ! -e " .. ready .. " ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done;"
      .. " kill -" .. signal .. " $pid; wait $pid"
  end
  local p = io.popen("(" .. cmd .. "); echo $?")
  local status = tonumber(p:read("*l"))
  p:close()
  local o, e = H.read_file(out) or "", H.read_file(err) or ""
  os.remove(script); os.remove(out); os.remove(err); os.remove(ready)
  return status, o, e
end

describe("input", function()
  setup(function()
    xdir = H.tmpname(".xvfb")
    assert(os.execute("sh " .. SOURCE .. "/tests/xvfb.sh start " .. xdir .. " >/dev/null") == 0)
    display = assert(H.read_file(xdir .. "/display")):match("^(%S+)")
    T.setenv("DISPLAY", display)
    T.setenv("SDL_VIDEODRIVER", "x11")
    O.init(W, HEIGHT)
    window = assert(H.x_window(display, H.lua:match("([^/]+)$")), "no window")
    assert(H.give_focus(display, window), "no focus")
    pointer_to(320, 240)
    settle()
  end)

  teardown(function()
    O.quit()
    os.execute("sh " .. SOURCE .. "/tests/xvfb.sh stop " .. xdir)
    os.execute("rm -rf " .. xdir)
  end)

  it("answers an empty queue with exactly one value, 0", function()
    settle()
    assert.are.same(ev(0), H.pack(O.input()))
    assert.are.same(ev(0), H.pack(O.input()))
  end)

  describe("keyboard", function()
    before_each(settle)

    it("reports a press and a release of the A key as (1, 97) and (2, 97)", function()
      xdo("key a")
      assert.are.same(ev(1, 97), next_event())
      assert.are.same(ev(2, 97), next_event())
      assert.are.same({}, events_for(100))
    end)

    it("reports the same code whatever the modifiers, and SDL's codes for other keys", function()
      xdo("keydown shift keydown a keyup a keyup shift key space Escape Up")
      assert.are.same({ ev(1, 304), ev(1, 97), ev(2, 97), ev(2, 304), ev(1, 32), ev(2, 32),
        ev(1, 27), ev(2, 27), ev(1, 273), ev(2, 273) }, events_for(400))
    end)

    it("gives one press however long the key is held", function()
      xdo("keydown a")
      -- well past the X server's auto-repeat delay
      local held = events_for(900)
      xdo("keyup a")
      assert.are.same({ ev(1, 97) }, held)
      assert.are.same(ev(2, 97), next_event())
    end)

    it("changes isKeyDown at the input call that collects the key, not between calls", function()
      T.active(true) -- stays at the head of the queue
      xdo("keydown a")
      T.delay(200)
      assert.is_false(O.isKeyDown(97)) -- sent, but not collected yet
      assert.are.same(ev(0), H.pack(O.input())) -- takes the focus event, collects the key
      assert.is_true(O.isKeyDown(97)) -- while its event still waits in the queue
      assert.is_true(O.isKeyDown(97.7))
      assert.is_true(O.isKeyDown("97"))
      assert.is_false(O.isKeyDown(98))
      assert.are.same(ev(1, 97), H.pack(O.input()))
      xdo("keyup a")
      T.delay(200)
      assert.is_true(O.isKeyDown(97)) -- released, but not collected yet
      assert.are.same(ev(2, 97), next_event())
      assert.is_false(O.isKeyDown(97))
    end)

    -- A game on sdl12-compat takes the focus when its window shows and leaves
    -- it on nothing when it ends: no window gets key events, wherever the
    -- pointer is, until one is given the focus (the mouse still works). So
    -- this suite gives it.
    it("gets no key after a game on sdl12-compat ends, and gets them again once given the focus", function()
      local compat = assert(H.compat_dir(), "libsdl1.2-compat is not installed")
      local status = child("O.init(64, 48) O.flip() O.quit()", "SDL_VIDEO_WINDOW_POS=600,400 LD_LIBRARY_PATH=" .. compat)
      assert.are.equal(0, status)
      pointer_to(320, 240)
      settle()
      xdo("key c click 1")
      assert.are.same({ ev(3, 320, 240, 1), ev(4, 320, 240, 1) }, events_for(300))
      assert.is_true(H.give_focus(display, window))
      settle()
      xdo("key c")
      assert.are.same(ev(1, 99), next_event())
      assert.are.same(ev(2, 99), next_event())
    end)

    it("answers every key code outside SDL's table with false", function()
      xdo("keydown a")
      assert.are.same(ev(1, 97), next_event())
      for _, code in ipairs({ -1, 323, 324, 1e10, -1e10, 1 / 0, -1 / 0, 2 ^ 31, -(2 ^ 31) }) do
        assert.is_false(O.isKeyDown(code), tostring(code))
      end
      assert.is_false(O.isKeyDown()) -- key code 0
      assert.is_false(O.isKeyDown(0 / 0))
      assert.are.equal(1, select("#", O.isKeyDown(-5)))
      xdo("keyup a")
      assert.are.same(ev(2, 97), next_event())
    end)
  end)

  describe("mouse", function()
    before_each(settle)

    it("reports motion with the position and the movement since the last motion", function()
      pointer_to(13, 18)
      xdo("mousemove 10 20")
      assert.are.same(ev(5, 10, 20, -3, 2), next_event())
      xdo("mousemove 200 100")
      assert.are.same(ev(5, 200, 100, 190, 80), next_event())
    end)

    it("reports a button press and release at the pointer", function()
      pointer_to(100, 50)
      xdo("mousedown 1")
      assert.are.same(ev(3, 100, 50, 1), next_event())
      xdo("mouseup 1")
      assert.are.same(ev(4, 100, 50, 1), next_event())
      xdo("click 3")
      assert.are.same(ev(3, 100, 50, 3), next_event())
      assert.are.same(ev(4, 100, 50, 3), next_event())
    end)

    it("reports a wheel notch as a press and a release of button 4 or 5", function()
      pointer_to(30, 40)
      xdo("click 4")
      assert.are.same(ev(3, 30, 40, 4), next_event())
      assert.are.same(ev(4, 30, 40, 4), next_event())
      xdo("click 5")
      assert.are.same(ev(3, 30, 40, 5), next_event())
      assert.are.same(ev(4, 30, 40, 5), next_event())
    end)

    it("reports the pointer and one held button through mouse", function()
      pointer_to(320, 240)
      xdo("mousedown 1")
      assert.are.same(ev(3, 320, 240, 1), next_event())
      assert.are.same(ev(320, 240, true), H.pack(O.mouse(1)))
      assert.are.same(ev(320, 240, true), H.pack(O.mouse(1.9)))
      assert.are.same(ev(320, 240, false), H.pack(O.mouse(3)))
      -- numbers the 8-bit mask does not cover are never held
      for _, b in ipairs({ 0, -1, 9, 33, -31, 65, 1e10, -1e10, 0 / 0, 1 / 0 }) do
        assert.are.same(ev(320, 240, false), H.pack(O.mouse(b)), tostring(b))
      end
      assert.are.same(ev(320, 240, false), H.pack(O.mouse()))
      xdo("mouseup 1")
      assert.are.same(ev(4, 320, 240, 1), next_event())
      assert.are.same(ev(320, 240, false), H.pack(O.mouse(1)))
    end)
  end)

  describe("joysticks", function()
    before_each(settle)

    it("reports axis positions divided by 32767", function()
      T.joyaxis(0, 1, -32768)
      T.joyaxis(0, 1, 16384)
      T.joyaxis(0, 1, 0)
      T.joyaxis(255, 254, 32767)
      local a = H.pack(O.input())
      assert.are.same(ev(6, 0, 1, -32768 / 32767), a)
      assert.is_true(math.abs(a[4] - -1.000030518509476) < 1e-15)
      local b = H.pack(O.input())
      assert.are.same(ev(6, 0, 1, 16384 / 32767), b)
      assert.is_true(math.abs(b[4] - 0.500015259254738) < 1e-15)
      assert.are.same(ev(6, 0, 1, 0), H.pack(O.input()))
      assert.are.same(ev(6, 255, 254, 1), H.pack(O.input()))
    end)

    it("reports a hat as four booleans: up, right, down, left", function()
      T.joyhat(1, 0, 0x01 + 0x02)
      T.joyhat(1, 0, 0)
      T.joyhat(0, 3, 0x04 + 0x08)
      T.joyhat(0, 3, 0xF0) -- bits no direction uses
      assert.are.same(ev(7, 1, 0, true, true, false, false), H.pack(O.input()))
      assert.are.same(ev(7, 1, 0, false, false, false, false), H.pack(O.input()))
      assert.are.same(ev(7, 0, 3, false, false, true, true), H.pack(O.input()))
      assert.are.same(ev(7, 0, 3, false, false, false, false), H.pack(O.input()))
    end)

    it("reports button presses and releases", function()
      T.joybutton(0, 2, true)
      T.joybutton(0, 2, false)
      assert.are.same(ev(8, 0, 2), H.pack(O.input()))
      assert.are.same(ev(9, 0, 2), H.pack(O.input()))
      assert.are.same(ev(0), H.pack(O.input()))
    end)
  end)

  describe("unreported events", function()
    before_each(settle)

    it("takes each one and answers with the single 0, leaving the rest queued", function()
      T.joyball(0, 0, 3, 4)
      T.joybutton(0, 1, true)
      T.raw_event(24) -- SDL_USEREVENT
      T.raw_event(17) -- SDL_VIDEOEXPOSE
      T.raw_event(16) -- SDL_VIDEORESIZE
      T.raw_event(0)  -- SDL_NOEVENT
      T.joybutton(0, 1, false)
      assert.are.same(ev(0), H.pack(O.input()))
      assert.are.same(ev(8, 0, 1), H.pack(O.input()))
      for _ = 1, 4 do assert.are.same(ev(0), H.pack(O.input())) end
      assert.are.same(ev(9, 0, 1), H.pack(O.input()))
    end)

    it("answers a focus change with 0 and reports the key behind it on the next call", function()
      T.active(true)
      xdo("key b")
      assert.is_true(wait_pending(3)) -- the release has been collected too
      assert.are.same(ev(0), H.pack(O.input()))
      assert.are.same(ev(1, 98), H.pack(O.input()))
      assert.are.same(ev(2, 98), H.pack(O.input()))
    end)

    it("answers the real focus events of the pointer leaving the window with 0", function()
      xdo("mousemove 1000 900")
      assert.is_true(wait_pending(1))
      T.delay(100)
      local types = T.pending()
      local seen = 0
      for _, t in ipairs(types) do
        local r = H.pack(O.input())
        if t == 1 then
          assert.are.same(ev(0), r)
          seen = seen + 1
        end
      end
      assert.is_true(seen >= 1)
      pointer_to(320, 240)
    end)
  end)

  describe("window close", function()
    local LOOP = [[
      local deadline = T.monotonic_ms() + 20000
      while T.monotonic_ms() < deadline do
        local r = { O.input() }
        if r[1] == 1 then print("key", r[2]) end
        T.delay(5)
      end
      print("not closed")
      os.exit(3)
    ]]

    -- SDL turns SIGTERM into a close request. The interpreters catch SIGINT
    -- themselves before SDL starts (and SDL leaves a handler it finds alone):
    -- the script stops with their "interrupted!" error. Sound and music play
    -- meanwhile, so the audio thread runs while the process ends.
    local SIGNALS = {
      { "TERM", 0, "at the next input, as a close request" },
      { "INT", 1, "with the interpreter's error" },
    }
    for _, sig in ipairs(SIGNALS) do
      it("ends the process after SIG" .. sig[1] .. " " .. sig[3] .. ", without quit's banner", function()
        local status, out, err = child([[
          O.init(320, 240)
          O.playSound(O.loadSound(os.getenv("ORVIX_ASSETS") .. "/beep.wav"), -1)
          O.playMusic(O.loadMusic(os.getenv("ORVIX_ASSETS") .. "/tune.ogg"), -1)
          io.open(READY, "w"):close()
        ]] .. LOOP, "SDL_DISKAUDIODELAY=0", sig[1])
        assert.are.equal(sig[2], status, err)
        assert.are.equal("Orvix init (320x240)\n", out)
        assert.are.equal(sig[1] == "INT", err:find("interrupted!", 1, true) ~= nil, err)
      end)
    end

    it("ends the process when the quit event is taken, after the events before it", function()
      local status, out = child([[
        O.init(320, 240)
        -- let the window's own start-up events arrive and clear them
        for _ = 1, 3 do T.delay(50) T.drain() end
        T.key(97, true)
        T.quit_event()
        T.key(98, true)
        print(O.input())
        print(select("#", O.input()))
        print("returned")
      ]])
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (320x240)\n1\t97\n", out)
    end)
  end)

  -- Last in the file: the first textInput call turns on SDL's translation of
  -- key presses for the rest of the process.
  describe("orvixcore.extra", function()
    local X = require "orvixcore.extra"

    -- The games of the children above took the keyboard focus away: it is
    -- given back.
    setup(function()
      assert(H.give_focus(display, window), "no focus")
      pointer_to(300, 200)
      settle()
    end)

    it("names key codes as SDL 1.2 does, on every library", function()
      local cases = {
        { 273, "up" }, { 274, "down" }, { 97, "a" }, { "97", "a" }, { 97.9, "a" }, { 48, "0" }, { 282, "f1" },
        { 293, "f12" }, { 304, "left shift" }, { 303, "right shift" }, { 13, "return" }, { 27, "escape" },
        { 32, "space" }, { 8, "backspace" }, { 127, "delete" }, { 256, "[0]" }, { 271, "enter" },
        { 280, "page up" }, { 313, "alt gr" }, { 160, "world 0" }, { 255, "world 95" }, { 91, "[" },
        { 37, "unknown key" }, { 65, "unknown key" }, { 123, "unknown key" }, { 0, "unknown key" },
        { -1, "unknown key" }, { 323, "unknown key" }, { 1e300, "unknown key" }, { 0 / 0, "unknown key" },
        { nil, "unknown key" },
      }
      for _, c in ipairs(cases) do
        assert.are.same(H.pack(c[2]), H.pack(X.keyName(c[1])), tostring(c[1]))
      end
      -- Classic SDL 1.2.15's own table, code for code.
      if H.sdl == "classic" then
        for code = -5, 330 do assert.are.equal(T.key_name(code), X.keyName(code), code) end
      end
    end)

    local SEQUENCE = "keydown shift key a keyup shift key b key BackSpace key Return key 7"
    local seen_before

    it("leaves input's events alone until the first textInput call", function()
      settle()
      xdo(SEQUENCE)
      seen_before = events_for(500)
      assert.are.same({ ev(1, 304), ev(1, 97), ev(2, 97), ev(2, 304), ev(1, 98), ev(2, 98), ev(1, 8), ev(2, 8),
        ev(1, 13), ev(2, 13), ev(1, 55), ev(2, 55) }, seen_before)
      -- nothing was collected: the first call turns collecting on
      assert.are.equal("", X.textInput())
    end)

    describe("textInput", function()
      before_each(function()
        settle()
        X.textInput()
      end)

      it("does not change what input returns", function()
        xdo(SEQUENCE)
        assert.are.same(seen_before, events_for(500))
        assert.are.equal("Ab7", X.textInput())
      end)

      it("gives the characters typed, with shift, without control keys, once", function()
        xdo("type 'Hi, You!'")
        events_for(500)
        xdo("key Tab key Escape key Delete key shift+z")
        events_for(300)
        assert.are.equal("Hi, You!Z", X.textInput())
        assert.are.equal("", X.textInput())
      end)

      it("gives the characters of a German keyboard layout as UTF-8", function()
        assert(os.execute("DISPLAY=" .. display .. " setxkbmap de") == 0)
        xdo("key odiaeresis key shift+odiaeresis key ssharp key y")
        local got = events_for(500)
        assert(os.execute("DISPLAY=" .. display .. " setxkbmap us") == 0)
        assert.are.equal("\195\182\195\150\195\159y", X.textInput()) -- öÖßy
        -- the key codes stay SDL's: ö is world 86, y the y key wherever it sits
        assert.are.same(ev(1, 246), got[1])
        assert.are.same(ev(1, 121), got[#got - 1])
      end)

      it("holds a key's character until input takes its event", function()
        xdo("key q")
        assert.is_true(wait_pending(2)) -- SDL_KEYDOWN waits in the queue
        assert.are.equal("", X.textInput())
        events_for(200)
        assert.are.equal("q", X.textInput())
      end)
    end)
  end)

  describe("character-cell mode", function()
    it("starts no joystick subsystem and opens no joystick", function()
      local fakejoy = BUILD .. "/tests/libfakejoy.so"
      local preload = ((os.getenv("LD_PRELOAD") or "") .. " " .. fakejoy):gsub("^ ", "")
      local status, out, err = child([[
        O.curses_init(10, 5, "]] .. H.mono .. [[", 12)
        local g = T.globals()
        local joy = math.floor(T.was_init() / 0x200) % 2
        T.delay(100)
        local codes = {}
        for _ = 1, 50 do
          local r = O.input()
          if r >= 6 and r <= 9 then codes[#codes + 1] = r end
          T.delay(2)
        end
        print(g.gNumpads, g.gPads, joy, #codes)
      ]], "LD_PRELOAD='" .. preload .. "' ORVIX_FAKE_JOYSTICKS=2")
      assert.are.equal(0, status, err)
      assert.matches("\n0\tnil\t0\t0\n$", out)
      assert.is_nil(out:match("gamepads"))
      assert.is_nil(err:match("fakejoy open"))
    end)

    it("differs from init, which starts the subsystem and opens both", function()
      local fakejoy = BUILD .. "/tests/libfakejoy.so"
      local preload = ((os.getenv("LD_PRELOAD") or "") .. " " .. fakejoy):gsub("^ ", "")
      local status, out, err = child([[
        O.init(64, 48)
        print(math.floor(T.was_init() / 0x200) % 2)
      ]], "LD_PRELOAD='" .. preload .. "' ORVIX_FAKE_JOYSTICKS=2")
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (64x48)\nDetected 2 gamepads\n1\n", out)
      assert.matches("fakejoy open 0\nfakejoy open 1\n", err)
    end)
  end)
end)
