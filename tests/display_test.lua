-- The display lifecycle: init, quit, flip and showCursor. Everything that
-- starts SDL runs in a child process, so that each case starts from a freshly
-- loaded module and its exit status and exact standard output can be checked.
-- Windows on X go to a private X server: full-screen windows grab the pointer
-- and the screen is read back, neither of which may meet another test's window.
local H = require "helpers"

local SOURCE, BUILD = H.source, H.build
local SANITIZED = os.getenv("ORVIX_SANITIZE") == "1"
local IMPORT = io.open("/usr/bin/import-im6.q16") and "/usr/bin/import-im6.q16" or "import"

local display -- the private X server, set up below

-- LD_PRELOAD for a child: the shims named, after whatever the test host
-- already preloads (the sanitizer runtimes must stay first).
local function preload(...)
  local libs = {}
  local current = os.getenv("LD_PRELOAD")
  if current and current ~= "" then libs[1] = current end
  for _, name in ipairs({ ... }) do libs[#libs + 1] = BUILD .. "/tests/lib" .. name .. ".so" end
  return table.concat(libs, " ")
end

local function env(video, extra)
  local e = { SDL_VIDEODRIVER = video, SDL_AUDIODRIVER = "disk", SDL_DISKAUDIOFILE = "/dev/null" }
  if video == "x11" then e.DISPLAY = display end
  for k, v in pairs(extra or {}) do e[k] = v end
  return e
end

-- Runs code in a child with the test module loaded as T.
local function child(code, video, extra)
  return H.run_child("T = require 'orvixtest'\n" .. code, { env = env(video or "dummy", extra) })
end

-- The lines of a child's standard error that a shim wrote.
local function shim_log(err)
  local t = {}
  for _, line in ipairs(H.lines(err)) do
    if line:match("^spy ") or line:match("^fakejoy ") then t[#t + 1] = line end
  end
  return t
end

-- Child code that reads one pixel of the X screen as the server shows it.
local SCREEN = ([[
local function screen(x, y)
  local p = io.popen("%s -window root -crop 1x1+" .. x .. "+" .. y .. " -depth 8 txt:- 2>/dev/null")
  local s = p:read("*a")
  p:close()
  local r, g, b = s:match("%%((%%d+),(%%d+),(%%d+)")
  return r .. "," .. g .. "," .. b
end
]]):format(IMPORT)

describe("display", function()
  local xdir

  setup(function()
    xdir = H.tmpname(".xvfb")
    assert(os.execute("sh " .. SOURCE .. "/tests/xvfb.sh start " .. xdir .. " >/dev/null") == 0)
    display = assert(H.read_file(xdir .. "/display")):match("^(%S+)")
  end)

  teardown(function()
    os.execute("sh " .. SOURCE .. "/tests/xvfb.sh stop " .. xdir)
    os.execute("rm -rf " .. xdir)
  end)

  describe("init", function()
    it("prints the banner with the size, during the call", function()
      local status, out = child([[
        io.write("<") O.init(640, 480) io.write(">") O.quit()
      ]])
      assert.are.equal(0, status)
      assert.are.equal("<Orvix init (640x480)\n>Orvix quit\n", out)
    end)

    it("adds the full-screen part for any true value, 0 included", function()
      local status, out = child([[
        O.init(320, 200, 0)
        O.quit()
      ]])
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (320x200), fullscreen\nOrvix quit\n", out)
      status, out = child([[ O.init(320, 200, false, nil) ]])
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (320x200)\n", out)
    end)

    it("truncates the size and reads numeric strings", function()
      local status, out = child([[
        O.init(640.9, 480.2)
        local s = T.surface()
        print(s.w, s.h, s.bpp)
      ]])
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (640x480)\n640\t480\t32\n", out)
      status, out = child([[ O.init("320", " 240.7 ") print(T.surface().w, T.surface().h) ]])
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (320x240)\n320\t240\n", out)
    end)

    it("returns no values", function()
      local status, out = child([[
        print(select("#", O.init(64, 48)), select("#", O.flip()), select("#", O.showCursor(1)), select("#", O.quit()))
      ]])
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (64x48)\nOrvix quit\n0\t0\t0\t0\n", out)
    end)

    it("starts SDL, a double-buffered hardware mode, the font engine, then audio and the mixer, in order", function()
      local status, out, err = child([[ O.init(640, 480) ]], "dummy", { LD_PRELOAD = preload("sdlspy") })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (640x480)\n", out)
      assert.are.same({
        "spy SDL_Init 0x220",
        "spy SDL_SetVideoMode 640 480 32 0x40000001",
        "spy TTF_Init",
        "spy SDL_InitSubSystem 0x10",
        "spy Mix_OpenAudio 44100 0x8010 2 4096",
      }, shim_log(err))
    end)

    it("asks for a full-screen mode with 0xC0000001", function()
      local status, _, err = child([[ O.init(640, 480, true) ]], "dummy", { LD_PRELOAD = preload("sdlspy") })
      assert.are.equal(0, status, err)
      assert.are.equal("spy SDL_SetVideoMode 640 480 32 0xc0000001", shim_log(err)[2])
    end)

    it("opens a real window of the size asked on X", function()
      local status, out, err = child([[
        O.init(640.9, 480.2)
        local s = T.surface()
        print(s.w, s.h, s.bpp, T.video_flags() % 0x100000000 >= 0x80000000)
      ]], "x11", { LD_PRELOAD = preload("sdlspy") })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (640x480)\n640\t480\t32\tfalse\n", out)
      assert.are.equal("spy SDL_SetVideoMode 640 480 32 0x40000001", shim_log(err)[2])
    end)

    it("gets a full-screen mode on X", function()
      local status, out = child([[
        O.init(640, 480, true)
        print(T.video_flags() % 0x100000000 >= 0x80000000, T.surface().w)
        O.quit()
      ]], "x11")
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (640x480), fullscreen\ntrue\t640\nOrvix quit\n", out)
    end)

    it("sets the OpenGL double-buffer attribute before an OpenGL mode and leaves gl_on at 2", function()
      local status, out, err = child([[
        O.init(800, 600, true, true)
        local flags = T.video_flags()
        print(T.globals().gl_on, flags % 4 >= 2, flags % 0x100000000 >= 0x80000000, T.gl_doublebuffer())
      ]], "x11", { LD_PRELOAD = preload("sdlspy") })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (800x600), fullscreen, OpenGL mode\n2\ttrue\ttrue\t1\n", out)
      assert.are.same({
        "spy SDL_Init 0x220",
        "spy SDL_GL_SetAttribute 5 1",
        "spy SDL_SetVideoMode 800 600 32 0xc0000003",
        "spy TTF_Init",
        "spy SDL_InitSubSystem 0x10",
        "spy Mix_OpenAudio 44100 0x8010 2 4096",
      }, shim_log(err))
    end)

    it("gives a side of 0 the desktop's size, and refuses it in our words where the driver has none", function()
      -- The desktop as each driver reports it: the X server's screen; for the
      -- dummy driver none on one SDL 1.2 library, a made-up one on the other.
      -- NaN reads as 0 like every other number argument.
      for _, video in ipairs({ "x11", "dummy" }) do
        local _, desk = child("print(T.desktop())", video)
        local dw, dh = desk:match("^(%d+)\t(%d+)\n$")
        assert.is_truthy(dw, video .. ": " .. desk)
        if video == "x11" then assert.are.equal("1280\t1024\n", desk) end
        for _, c in ipairs({ { "0/0, 0", "0x0", dw, dh }, { "0, 100", "0x100", dw, "100" }, { "100, -0", "100x0", "100", dh } }) do
          local status, out = child("O.init(" .. c[1] .. ") print(T.surface().w, T.surface().h)", video)
          if dw == "0" then
            assert.are.equal(1, status, video)
            assert.are.equal("Orvix init (" .. c[2] .. ")\nCouldn't set " .. c[2] .. " video mode: size out of range\n", out)
          else
            assert.are.equal(0, status, video .. " " .. c[1])
            assert.are.equal("Orvix init (" .. c[2] .. ")\n" .. c[3] .. "\t" .. c[4] .. "\n", out)
          end
        end
      end
    end)

    it("opens the widest window whose rows SDL can still address, and the tallest both libraries open", function()
      for _, c in ipairs({ { 16383, 2, "16383\t2\t65532" }, { 2, 16384, "2\t16384\t8" } }) do
        local status, out = child(string.format([[
          O.init(%d, %d)
          print(T.surface().w, T.surface().h, T.surface().pitch)
        ]], c[1], c[2]))
        assert.are.equal(0, status)
        assert.are.equal(string.format("Orvix init (%dx%d)\n%s\n", c[1], c[2], c[3]), out)
      end
    end)
  end)

  describe("fatal start-up failures", function()
    it("ends with status 1 when SDL cannot start (unknown video driver)", function()
      local status, out = child([[
        O.init(640, 480)
        print("still running")
      ]], "nosuchdriver")
      assert.are.equal(1, status)
      assert.matches("^Orvix init %(640x480%)\nCouldn't initialize SDL: [^\n]+\n$", out)
    end)

    it("ends with status 1 when the video mode cannot be set (OpenGL on the dummy driver)", function()
      local status, out = child([[
        O.init(640, 480, false, true)
        print("still running")
      ]])
      assert.are.equal(1, status)
      assert.matches("^Orvix init %(640x480%), OpenGL mode\nCouldn't set 640x480 video mode: [^\n]+\n$", out)
    end)

    it("ends with status 1 when the font engine cannot start", function()
      local status, out = child([[
        O.init(64, 48)
        print("still running")
      ]], "dummy", { LD_PRELOAD = preload("sdlspy"), ORVIX_SPY_FAIL = "TTF_Init" })
      assert.are.equal(1, status)
      assert.are.equal("Orvix init (64x48)\nCouldn't initialize SDL_ttf: spy: TTF_Init refused\n", out)
    end)

    local bad_sizes = {
      { "-1", "480", "-1x480" },
      { "640", "-480.7", "640x-480" },
      { "1e10", "480", "2147483647x480" },
      { "-1e10", "1", "-2147483648x1" },
      { "1/0", "1/0", "2147483647x2147483647" },
      { "-1/0", "5", "-2147483648x5" },
      { "2^31", "2^32", "2147483647x2147483647" },
      { "16384", "16", "16384x16" },
      { "16", "16385", "16x16385" },
    }
    for _, case in ipairs(bad_sizes) do
      local w, h, shown = case[1], case[2], case[3]
      it("refuses the size " .. w .. " by " .. h .. " with the video-mode message", function()
        local status, out = child("O.init(" .. w .. ", " .. h .. ") print('still running')")
        assert.are.equal(1, status)
        assert.matches("^Orvix init %(" .. shown:gsub("%-", "%%-") .. "%)\nCouldn't set "
          .. shown:gsub("%-", "%%-") .. " video mode: [^\n]+\n$", out)
      end)
    end

    it("refuses huge and negative sizes on X too", function()
      for _, size in ipairs({ "-1, 480", "1e10, 480", "16384, 16", "16, 16385", "40000, 40000", "0/0, -1/0" }) do
        local status, out = child("O.init(" .. size .. ") print('still running')", "x11")
        assert.are.equal(1, status, size)
        assert.is_truthy(out:match("^Orvix init %(%-?%d+x%-?%d+%)\nCouldn't set %-?%d+x%-?%d+ video mode: [^\n]+\n$"),
          size .. ": " .. out)
      end
    end)

    it("ends with status 1 when the joystick table cannot be allocated", function()
      if SANITIZED then return end -- the sanitizers need more address space than this allows
      -- SDL reports 2^31 - 1 joysticks; the table would take 16 GiB of 4.
      local script = H.tmpname(".lua")
      local f = assert(io.open(script, "w"))
      f:write("package.cpath = '" .. BUILD .. "/?.so;' .. package.cpath\n",
        "local O = require 'orvixcore'\nO.init(64, 48)\nprint('still running')\n")
      f:close()
      local out = H.tmpname(".out")
      local p = io.popen("ulimit -v 4000000; LD_PRELOAD='" .. preload("fakejoy") .. "' ORVIX_FAKE_JOYSTICKS=2147483647"
        .. " SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null timeout 60 "
        .. H.lua .. " " .. script .. " >" .. out .. " 2>/dev/null; echo $?")
      local status = tonumber(p:read("*l"))
      p:close()
      local text = H.read_file(out)
      os.remove(script); os.remove(out)
      assert.are.equal(1, status)
      assert.are.equal("Orvix init (64x48)\nCouldn't allocate memory for gamepads. Exiting.\n", text)
    end)
  end)

  describe("mixer", function()
    -- A driver that does not exist, and a sound server that is not there.
    local NO_DEVICE = {
      { SDL_AUDIODRIVER = "nosuchdriver" },
      { SDL_AUDIODRIVER = "pulse", PULSE_SERVER = "unix:/nonexistent/pulse" },
    }
    it("survives an audio device that cannot be opened: sound_on 0, audio calls do nothing", function()
      for _, audio in ipairs(NO_DEVICE) do
        audio.LD_PRELOAD = preload("sdlspy")
        local status, out, err = child([[
          O.init(64, 48)
          print(T.globals().sound_on, select("#", O.loadSound(os.getenv("ORVIX_ASSETS") .. "/beep.wav")),
            select("#", O.loadMusic(os.getenv("ORVIX_ASSETS") .. "/tune.ogg")), select("#", O.musicVolume(10)))
          O.playSound(nil, 0) O.playMusic(nil, 0) O.pauseMusic() O.freeSound() O.freeMusic()
          O.quit()
        ]], "dummy", audio)
        assert.are.equal(0, status, audio.SDL_AUDIODRIVER .. ": " .. err)
        assert.matches("^Orvix init %(64x48%)\nCouldn't initialize SDL_mixer: [^\n]+\n0\t0\t0\t0\nOrvix quit\n$", out)
        -- Audio starts on its own after the rest, and its failure is left to the mixer.
        local log = shim_log(err)
        assert.are.same({ "spy SDL_Init 0x220", "spy SDL_InitSubSystem 0x10", "spy Mix_OpenAudio 44100 0x8010 2 4096" },
          { log[1], log[4], log[5] }, audio.SDL_AUDIODRIVER)
      end
    end)

    it("keeps sound_on at 1 when the mixer opens", function()
      local status, out = child([[ O.init(64, 48) print(T.globals().sound_on) ]])
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (64x48)\n1\n", out)
    end)
  end)

  describe("joysticks", function()
    it("opens every joystick in index order, announces them and closes them at quit", function()
      local status, out, err = child([[
        O.init(64, 48)
        local g = T.globals()
        print(g.gNumpads, type(g.gPads))
        O.quit()
      ]], "dummy", { LD_PRELOAD = preload("fakejoy", "sdlspy"), ORVIX_FAKE_JOYSTICKS = "2" })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (64x48)\nDetected 2 gamepads\n2\tuserdata\nOrvix quit\n", out)
      assert.are.same({
        "spy SDL_Init 0x220",
        "spy SDL_SetVideoMode 64 48 32 0x40000001",
        "spy TTF_Init",
        "spy SDL_InitSubSystem 0x10",
        "spy Mix_OpenAudio 44100 0x8010 2 4096",
        "fakejoy open 0",
        "fakejoy open 1",
        "spy Mix_CloseAudio",
        "spy TTF_Quit",
        "fakejoy close 0",
        "fakejoy close 1",
        "spy SDL_Quit",
      }, shim_log(err))
    end)

    it("prints nothing, allocates nothing and closes nothing without joysticks", function()
      local status, out, err = child([[
        O.init(64, 48)
        local g = T.globals()
        print(g.gNumpads, g.gPads)
        O.quit()
      ]], "dummy", { LD_PRELOAD = preload("fakejoy"), ORVIX_FAKE_JOYSTICKS = "0" })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (64x48)\n0\tnil\nOrvix quit\n", out)
      assert.are.same({}, shim_log(err))
    end)
  end)

  describe("flip", function()
    it("presents the display surface in the pixel mode", function()
      local status, out, err = child(SCREEN .. [[
        O.init(64, 48)
        O.fill(0, 0, 0, 0, 255, 0, 0, 255)
        O.flip()
        local a = screen(10, 10)
        O.fill(0, 0, 0, 0, 0, 0, 255, 255)
        local b = screen(10, 10)
        O.flip()
        print(a, b, screen(10, 10))
      ]], "x11", { LD_PRELOAD = preload("sdlspy") })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (64x48)\n255,0,0\t255,0,0\t0,0,255\n", out)
      local flips = {}
      for _, line in ipairs(shim_log(err)) do
        if line:match("Flip") or line:match("Swap") then flips[#flips + 1] = line end
      end
      assert.are.same({ "spy SDL_Flip screen", "spy SDL_Flip screen" }, flips)
    end)

    it("swaps the OpenGL buffers in the OpenGL mode", function()
      local status, out, err = child(SCREEN .. [[
        O.init(64, 48, false, true)
        T.gl_clear(1, 0, 0)
        O.flip()
        local a = screen(10, 10)
        T.gl_clear(0, 0, 1)
        local b = screen(10, 10)
        O.flip()
        print(a, b, screen(10, 10))
      ]], "x11", { LD_PRELOAD = preload("sdlspy") })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (64x48), OpenGL mode\n255,0,0\t255,0,0\t0,0,255\n", out)
      local flips = {}
      for _, line in ipairs(shim_log(err)) do
        if line:match("Flip") or line:match("Swap") then flips[#flips + 1] = line end
      end
      assert.are.same({ "spy SDL_GL_SwapBuffers", "spy SDL_GL_SwapBuffers" }, flips)
    end)
  end)

  describe("showCursor", function()
    it("shows the pointer for every true value, 0 included, and hides it otherwise", function()
      local status, out = child([[
        O.init(64, 48)
        local t = {}
        for _, v in ipairs({ false, 0, "nil", true, "none", "" }) do
          if v == "nil" then O.showCursor(nil)
          elseif v == "none" then O.showCursor()
          else O.showCursor(v) end
          t[#t + 1] = tostring(T.cursor_shown())
        end
        print(table.concat(t, " "))
      ]], "x11")
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (64x48)\nfalse true false true false true\n", out)
    end)
  end)

  describe("quit", function()
    it("prints its banner once and leaves the globals as they were", function()
      local status, out, err = child([[
        O.init(64, 48, false, true)
        local before = T.globals()
        O.quit()
        O.quit()
        local after = T.globals()
        print(after.gScreen == before.gScreen, after.gl_on, after.gNumpads, after.gPads == before.gPads,
          after.sound_on, T.was_init())
      ]], "x11", { LD_PRELOAD = preload("fakejoy"), ORVIX_FAKE_JOYSTICKS = "1" })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (64x48), OpenGL mode\nDetected 1 gamepads\nOrvix quit\n"
        .. "true\t2\t1\ttrue\t1\t0\n", out)
      assert.are.same({ "fakejoy open 0", "fakejoy close 0" }, shim_log(err))
    end)
  end)

  describe("lifecycle misuse", function()
    it("lets the core functions run before any start without starting anything", function()
      local status, out = child([[
        O.flip() O.showCursor(true)
        local r = { O.input() }
        print(#r, r[1], O.isKeyDown(97), O.mouse(1))
        print(select("#", O.timer(10)), T.was_init(), T.globals().gScreen)
      ]])
      assert.are.equal(0, status)
      assert.are.equal("1\t0\tfalse\t0\t0\tfalse\n3\t0\tnil\n", out)
    end)

    it("does quit's steps before any start, harmlessly, and a start still follows", function()
      local status, out, err = child([[
        O.quit()
        O.quit()
        O.init(64, 48)
        print(T.was_init() ~= 0, T.surface().w, select("#", O.timer(60)))
        O.quit()
        O.init(64, 48)
        print(T.globals().gScreen ~= nil)
      ]], "dummy", { LD_PRELOAD = preload("sdlspy") })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix quit\nOrvix quit\nOrvix init (64x48)\ntrue\t64\t3\nOrvix quit\ntrue\n", out)
      local quit_steps = { "spy Mix_CloseAudio", "spy TTF_Quit", "spy SDL_Quit" }
      local log = shim_log(err)
      assert.are.same(quit_steps, { log[1], log[2], log[3] })
      assert.are.same(quit_steps, { log[4], log[5], log[6] })
      assert.are.equal("spy SDL_Init 0x220", log[7])
    end)

    it("ignores a second start of either kind", function()
      local status, out, err = child([[
        O.init(640, 480)
        O.init(320, 240, true, true)
        O.curses_init(10, 5, "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 12)
        local g = T.globals()
        print(T.surface().w, g.gl_on, g.curses_on)
        O.quit()
      ]], "dummy", { LD_PRELOAD = preload("sdlspy") })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (640x480)\n640\t0\t0\nOrvix quit\n", out)
      assert.are.same({
        "spy SDL_Init 0x220", "spy SDL_SetVideoMode 640 480 32 0x40000001", "spy TTF_Init",
        "spy SDL_InitSubSystem 0x10", "spy Mix_OpenAudio 44100 0x8010 2 4096",
        "spy Mix_CloseAudio", "spy TTF_Quit", "spy SDL_Quit",
      }, shim_log(err))
    end)

    it("ignores init after curses_init", function()
      local status, out = child([[
        O.curses_init(10, 5, "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 12)
        local w = T.surface().w
        O.init(640, 480)
        print(T.surface().w == w, T.globals().curses_on)
      ]])
      assert.are.equal(0, status)
      assert.matches("^[^\n]*\ntrue\t1\n$", out)
      assert.is_nil(out:match("Orvix init %(640x480%)"))
    end)

    it("does nothing on start, present or stop calls after quit", function()
      local status, out, err = child([[
        O.init(64, 48)
        O.quit()
        O.init(64, 48)
        O.curses_init(10, 5, "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 12)
        O.flip() O.showCursor(false) O.quit()
        local r = { O.input() }
        print(#r, r[1], O.isKeyDown(97), select("#", O.mouse(1)), select("#", O.timer(60)), T.was_init())
      ]], "dummy", { LD_PRELOAD = preload("sdlspy") })
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (64x48)\nOrvix quit\n1\t0\tfalse\t3\t3\t0\n", out)
      local log = shim_log(err)
      assert.are.equal("spy SDL_Quit", log[#log]) -- nothing reached SDL after quit
    end)

    -- Every function of the module, called before a start and after quit,
    -- each in its own process: the process must end normally, or through a
    -- documented fatal message with status 1, never through a signal.
    local NAMES = {
      "quit", "fill", "flip", "input", "mouse", "isKeyDown", "loadImage", "makeSurf", "blit",
      "freeSurf", "timer", "putpix", "loadFont", "printFont", "freeFont", "showCursor", "draw",
      "drawTri", "loadSound", "loadMusic", "playSound", "playMusic", "pauseMusic", "musicVolume",
      "freeSound", "freeMusic", "curses_refresh", "curses_addch", "curses_setcol", "curses_fill",
    }
    local ARGS = {
      loadImage = "os.getenv('ORVIX_ASSETS') .. '/sprite.png'", makeSurf = "8, 8",
      loadFont = "'" .. H.sans .. "', 12", printFont = "nil, 'hi', 1, 2, 3, 4, 5",
      loadSound = "os.getenv('ORVIX_ASSETS') .. '/beep.wav'", loadMusic = "os.getenv('ORVIX_ASSETS') .. '/tune.ogg'",
      fill = "0, 0, 0, 0, 1, 2, 3, 4", putpix = "1, 1, 1, 2, 3, 4", draw = "1, 0, 0, 5, 5, 1, 2, 3, 4",
      drawTri = "1, 0, 0, 5, 5, 0, 5, 1, 2, 3, 4", curses_addch = "0, 0, 'x'", curses_setcol = "0, 0, 1, 2, 3",
      curses_fill = "0, 0, 2, 2, 'y'", musicVolume = "50", timer = "60", blit = "nil, 0, 0",
      playSound = "nil, 0", playMusic = "nil, 0", mouse = "1", isKeyDown = "97",
    }
    for _, when in ipairs({ "before init", "after quit" }) do
      it("survives every function " .. when, function()
        local prefix = when == "after quit" and "O.init(64, 48) O.quit()\n" or ""
        for _, name in ipairs(NAMES) do
          local status, out, err = child(prefix .. "O." .. name .. "()\nO." .. name .. "(" .. (ARGS[name] or "")
            .. ")\nio.write('done')")
          local last = H.lines(out)[#H.lines(out)] or ""
          local fine = (status == 0 and last:match("done$")) or (status == 1 and last:match("^Couldn't "))
          assert.is_truthy(fine, name .. " " .. when .. ": status " .. tostring(status) .. ", output "
            .. out .. ", errors " .. err)
        end
      end)
    end

    it("survives handles made while running being used and freed after quit", function()
      local status, out, err = child([[
        local A = os.getenv("ORVIX_ASSETS")
        O.init(64, 48)
        local s = O.makeSurf(8, 8)
        local img = O.loadImage(A .. "/sprite.png")
        local f = O.loadFont("]] .. H.sans .. [[", 12)
        local snd = O.loadSound(A .. "/beep.wav")
        local mus = O.loadMusic(A .. "/tune.ogg")
        O.playSound(snd, -1)
        O.playMusic(mus, -1)
        O.quit()
        O.blit(img, 0, 0, s) O.blit(img, 0, 0) O.fill(0, 0, 2, 2, 1, 2, 3, 4, s) O.putpix(1, 1, 1, 2, 3, 4, s)
        O.draw(1, 0, 0, 5, 5, 1, 2, 3, 4, s) O.printFont(f, "hi", 1, 2, 3, 0, 0, s)
        O.playSound(snd, 0) O.playMusic(mus, 0) O.pauseMusic() O.musicVolume(10)
        O.freeSurf(s) O.freeSurf(img) O.freeFont(f) O.freeSound(snd) O.freeMusic(mus)
        O.freeSurf(s) O.freeFont(f) O.freeSound(snd) O.freeMusic(mus)
        io.write("done")
      ]])
      assert.are.equal(0, status, err)
      assert.are.equal("Orvix init (64x48)\nOrvix quit\ndone", out)
    end)
  end)

  describe("ending without quit", function()
    -- Sound and music play when the game ends: the interpreter then shuts
    -- down while SDL's audio thread runs. With no pause between the disk
    -- driver's buffers the thread is nearly always busy in SDL by then.
    local MODES = {
      { "pixel", "dummy", "O.init(320, 240)", "Orvix init (320x240)\n" },
      { "cells", "dummy", "O.curses_init(20, 5, '" .. H.mono .. "', 12)", "Orvix init (20x5), curses mode\n" },
      { "OpenGL", "x11", "O.init(320, 240, false, true)", "Orvix init (320x240), OpenGL mode\n" },
    }
    local ENDINGS = {
      { "a load that fails", "O.loadImage('/nonexistent.png')", 1, "Couldn't load image /nonexistent.png. Exiting.\n" },
      { "an uncaught Lua error", "error('game over by error')", 1, "" },
      { "the script's end", "", 0, "" },
    }
    for _, mode in ipairs(MODES) do
      for _, ending in ipairs(ENDINGS) do
        it("ends with " .. ending[1] .. " in the " .. mode[1] .. " mode, with the host's status", function()
          local code = mode[3] .. [[

            local A = os.getenv("ORVIX_ASSETS")
            O.playSound(O.loadSound(A .. "/beep.wav"), -1)
            O.playMusic(O.loadMusic(A .. "/tune.ogg"), -1)
            for _ = 1, 3 do O.flip() O.input() T.delay(10) end
            print(T.playing())
            io.stdout:flush()
          ]] .. ending[2]
          for run = 1, 3 do
            local status, out, err = child(code, mode[2], { SDL_DISKAUDIODELAY = "0" })
            assert.are.equal(ending[3], status, "run " .. run .. ": " .. err)
            assert.are.equal(mode[4] .. "1\ttrue\ttrue\n" .. ending[4], out)
            if ending[1]:match("error") then assert.matches("game over by error", err) end
          end
        end)
      end
    end
  end)
end)
