-- Loading the module: the registration table, the module table and the
-- shared globals as they stand right after loading.
local H = require "helpers"

local NAMES = {
  "init", "quit", "fill", "flip", "input", "mouse", "isKeyDown", "loadImage",
  "makeSurf", "blit", "freeSurf", "timer", "putpix", "loadFont", "printFont",
  "freeFont", "showCursor", "draw", "drawTri", "loadSound", "loadMusic",
  "playSound", "playMusic", "pauseMusic", "musicVolume", "freeSound",
  "freeMusic", "curses_init", "curses_refresh", "curses_addch",
  "curses_setcol", "curses_fill",
}

describe("module", function()
  it("registers its 32 functions in table order", function()
    assert.are.equal(32, #NAMES)
    -- The entry point fills a table that already stands under the module's
    -- global name, one assignment per table entry; a proxy sees the order.
    local open = assert(package.loadlib(H.build .. "/orvixcore.so", "luaopen_orvixcore"))
    local saved_loaded, saved_global = package.loaded.orvixcore, rawget(_G, "orvixcore")
    local order, proxy = {}, {}
    setmetatable(proxy, { __newindex = function(t, k, v)
      order[#order + 1] = k
      rawset(t, k, v)
    end })
    package.loaded.orvixcore = nil
    rawset(_G, "orvixcore", proxy)
    local ok, result = pcall(open)
    package.loaded.orvixcore, _G.orvixcore = saved_loaded, saved_global
    assert.is_true(ok, tostring(result))
    assert.are.equal(proxy, result)
    assert.are.same(NAMES, order)
    for _, name in ipairs(NAMES) do
      assert.are.equal("function", type(proxy[name]), name)
    end
  end)

  it("yields the same table from every require, also stored as the global", function()
    local O = require "orvixcore"
    assert.are.equal(O, require "orvixcore")
    assert.are.equal(O, package.loaded.orvixcore)
    assert.are.equal(O, _G.orvixcore)
    local count = 0
    for name, f in pairs(O) do
      count = count + 1
      assert.are.equal("function", type(f), name)
    end
    assert.are.equal(32, count)
  end)

  it("starts with sound_on 1 and every other global zero or null", function()
    local status, out = H.run_child([[
      local T = require "orvixtest"
      local g = T.globals()
      print(g.gScreen, g.sound_on, g.gl_on, g.curses_on, g.gNumpads, g.gPads)
      local c = g.CC
      print(c.font, c.cellW, c.cellH, c.cols, c.rows, c.count, c.has_storage)
    ]])
    assert.are.equal(0, status)
    assert.are.equal("nil\t1\t0\t0\t0\tnil\nnil\t0\t0\t0\t0\t0\tfalse\n", out)
  end)

  -- scripts/test.sh runs the suite a second time on sdl12-compat, chosen
  -- with LD_LIBRARY_PATH; ORVIX_SDL=compat says so. The choice must reach the
  -- module as this host loads it and every process the tests start.
  it("runs on the SDL 1.2 library this pass names, in the host and in a child", function()
    require "orvixcore"
    local _, out = H.run_child("print(require('helpers').sdl_maps())")
    for _, found in ipairs({ { "host", (H.sdl_maps()) }, { "child", out:match("^(%S+)") } }) do
      local where, sdl12 = found[1], found[2] or "none"
      assert.matches("/libSDL%-1%.2%.so", sdl12, nil, nil, where)
      if H.sdl == "compat" then
        assert.matches("/sdl12%-compat/", sdl12, nil, nil, where)
      else
        assert.are.equal("classic", H.sdl, "ORVIX_SDL is classic or compat")
        assert.is_nil(sdl12:match("sdl12%-compat"), where .. " runs on " .. sdl12 .. "; set ORVIX_SDL=compat")
      end
    end
  end)

  -- The fuzz runs install the test module's crash report: a run that dies
  -- must say which thread died and where, and still end with its signal,
  -- also under the watchdog that limits the run's time.
  it("reports a fatal signal with its thread and stack, and still dies of it", function()
    local status, _, err = H.run_child([[
      require("orvixtest").report_crashes()
      local pid = assert(io.open("/proc/self/stat")):read("*n")
      os.execute("kill -ABRT " .. pid)
      print("survived")
    ]], { timeout = 60 })
    assert.are.equal(134, status)
    local name = H.lua:match("([^/]+)$"):sub(1, 15)
    assert.matches('fatal signal 6 in thread "' .. name:gsub("%p", "%%%0") .. '"; its stack:\n', err)
    assert.matches("orvixtest%.so", err)
    assert.is_nil(err:find("watchdog", 1, true))
  end)

  -- A run's time limit (tests/watchdog.sh, which run_child's timeout and the
  -- fuzz runs go through). A hung game is stopped at its limit, not at
  -- CTest's, with the stack of each thread: here the main thread waits in
  -- SDL_Delay under the test module's delay, and SDL's audio thread runs
  -- beside it. SIGTERM would only queue a quit event nobody reads.
  describe("time limit", function()
    local cases = {
      { "passes on the status of a run that ends in time", "os.exit(3)", 3 },
      { "passes on the output and status 0 of a run that ends in time", "print('fine')", 0, "^fine\n$" },
      { "prints each thread's stack of a run still going at its limit and kills it", [[
          require("orvixtest").delay(1e9)]], 137, nil, {
          "watchdog: still running after 3 s; the stack of every thread:\n",
          "\nThread 1 %(Thread ", "\nThread 2 %(Thread ",
          "\n#%d+ +0x%x+ in %(anonymous namespace%)::t_delay%(lua_State%*%)",
          "\nwatchdog: killed with SIGKILL %(status 137%)\n$" } },
    }
    for _, c in ipairs(cases) do
      local name, code, want_status, want_out, want_err = c[1], c[2], c[3], c[4], c[5]
      it(name, function()
        local started = os.time()
        local status, out, err = H.run_child([[
          print(assert(io.open("/proc/self/stat")):read("*n"))
          O.init(64, 48)
          io.stdout:flush()
        ]] .. code, { timeout = 3, env = { SDL_VIDEODRIVER = "dummy", SDL_AUDIODRIVER = "disk" } })
        assert.are.equal(want_status, status, err)
        local pid, rest = out:match("^(%d+)\n(.*)$")
        assert.is_truthy(pid, out)
        assert.matches("^Orvix init %(64x48%)\n", rest)
        if want_out then assert.matches(want_out, (rest:gsub("^Orvix init %(64x48%)\n", ""))) end
        for _, pattern in ipairs(want_err or {}) do assert.matches(pattern, err) end
        if not want_err then assert.is_nil(err:find("watchdog", 1, true), err) end
        -- The process is gone, and went well before CTest's limit.
        assert.is_nil(io.open("/proc/" .. pid .. "/stat"))
        assert.is_true(os.time() - started < 3 + 130)
      end)
    end

    it("fails a fuzz run that outlives its limit, with the report", function()
      local p = assert(io.popen("ORVIX_FUZZ_LIMIT=2 sh " .. H.shell_quote(H.source .. "/tests/fuzz/run_fuzz.sh") .. " "
        .. H.shell_quote(H.lua) .. " pixel off 1000000000 2>&1; echo \"status $?\""))
      local out = p:read("*a")
      p:close()
      assert.matches("\nwatchdog: still running after 2 s; the stack of every thread:\nThread %d+ %(Thread ", out)
      assert.matches("\nwatchdog: killed with SIGKILL %(status 137%)\nfuzz run ended with status 137\nstatus 1\n$", out)
    end)
  end)

  it("opens nothing when loaded", function()
    local status, out = H.run_child([[
      local T = require "orvixtest"
      print(T.was_init(), T.video_flags())
    ]])
    assert.are.equal(0, status)
    assert.are.equal("0\n", out)
  end)
end)
