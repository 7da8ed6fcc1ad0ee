-- orvixcore.extra as a module, and its functions that belong to no drawing,
-- text, sound or input area: size, setTitle, ticks and saveDir. The others
-- are tested with their areas (surfaces_test, text_test, audio_test,
-- input_test).
local H = require "helpers"

local NAMES = { "size", "setTitle", "surfSize", "blitPart", "blitAlpha", "rotozoom", "mirror", "getPixel", "setClip",
  "saveImage", "textSize", "fontMetrics", "stopSounds", "stopMusic", "soundVolume", "musicPlaying", "keyName",
  "textInput", "ticks", "saveDir" }

local function child(code, env)
  local e = { SDL_VIDEODRIVER = "dummy", SDL_AUDIODRIVER = "disk", SDL_DISKAUDIOFILE = "/dev/null" }
  for k, v in pairs(env or {}) do e[k] = v end
  return H.run_child("T = require 'orvixtest'\nX = require 'orvixcore.extra'\n" .. code, { env = e })
end

describe("orvixcore.extra", function()
  it("is its own table of 20 functions, and orvixcore keeps its 32 and sets no new global", function()
    local status, out = H.run_child([[
      package.loaded.orvixcore, orvixcore = nil, nil
      local X = require "orvixcore.extra"        -- before orvixcore itself
      local names = {}
      for k, v in pairs(X) do names[#names + 1] = k .. (type(v) == "function" and "" or "?") end
      table.sort(names)
      local O = require "orvixcore"
      local n = 0
      for _ in pairs(O) do n = n + 1 end
      print(table.concat(names, " "))
      print(n, rawget(O, "extra"), X == require "orvixcore.extra", rawget(_G, "extra"))
    ]])
    assert.are.equal(0, status)
    local sorted = { unpack(NAMES) }
    table.sort(sorted)
    assert.are.equal(table.concat(sorted, " ") .. "\n32\tnil\ttrue\tnil\n", out)
  end)

  describe("size", function()
    it("gives the window's size in each mode, and nil before the start and after quit", function()
      local cases = {
        { "O.init(320, 200)", "320\t200" },
        { "O.init(64, 48, false, true)", "64\t48", "x11" },
        { ("local cw, ch = O.curses_init(20, 6, %q, 12)"):format(H.mono), "CELLS" },
      }
      for _, c in ipairs(cases) do
        local status, out = child("print(X.size())\n" .. c[1] .. [[

          local w, h, cols, rows, cw, ch = X.size()
          print(X.size())
          if cols then print(w == cols * cw, h == rows * ch, cols, rows, cw == T.globals().CC.cellW) end
          O.quit()
          print(select("#", X.size()), X.size())
        ]], { SDL_VIDEODRIVER = c[3] or "dummy", DISPLAY = os.getenv("DISPLAY") })
        assert.are.equal(0, status, out)
        local lines = H.lines(out)
        assert.are.equal("nil", lines[1])
        if c[2] == "CELLS" then
          assert.matches("^%d+\t%d+\t20\t6\t%d+\t%d+$", lines[3])
          assert.are.equal("true\ttrue\t20\t6\ttrue", lines[4])
        else
          assert.are.equal(c[2], lines[3])
        end
        assert.are.equal("1\tnil", lines[#lines])
      end
    end)
  end)

  describe("setTitle", function()
    it("names the window in UTF-8, and does nothing without a window or a text", function()
      local title = "Caf\195\169 \226\152\133"
      local status, out = child(([[
        X.setTitle("before")
        O.init(64, 48)
        print(T.caption())
        X.setTitle(%q)
        X.setTitle({})
        X.setTitle()
        print(T.caption())
        local p = io.popen("xdotool search --name 'Caf' getwindowname")
        print(p:read("*a"))
        p:close()
        X.setTitle(42)
        print(T.caption(), select("#", X.setTitle("x")))
        O.quit()
      ]]):format(title), { SDL_VIDEODRIVER = "x11", DISPLAY = os.getenv("DISPLAY") })
      assert.are.equal(0, status, out)
      local lines = H.lines(out)
      assert.are_not.equal("before", lines[2])
      assert.are.equal(title, lines[3])
      assert.are.equal(title, lines[4])
      assert.are.equal("42\t0", lines[6])
    end)
  end)

  describe("ticks", function()
    it("counts SDL's milliseconds from the start, and keeps counting after quit", function()
      local status, out = child([[
        print(X.ticks())
        O.init(32, 32)
        local a = X.ticks()
        T.delay(120)
        local b, sdl = X.ticks(), T.ticks()
        O.quit()
        T.delay(20)
        local c = X.ticks()
        print(a >= 0 and a < 5000, b - a >= 120 and b - a < 2000, math.abs(sdl - b) <= 2, c >= b + 20)
      ]])
      assert.are.equal(0, status)
      assert.are.equal("nil\nOrvix init (32x32)\nOrvix quit\ntrue\ttrue\ttrue\ttrue\n", out)
    end)
  end)

  describe("saveDir", function()
    local base
    before_each(function() base = H.tmpname("_data") end)
    after_each(function() os.execute("rm -rf " .. H.shell_quote(base)) end)

    -- saveDir in a child with the given environment: its two results, and
    -- whether the folder it names exists and takes a file.
    local function save_dir(name, env)
      local status, out = child(([[
        local dir, err = X.saveDir(%s)
        local ok = false
        if dir then
          local f = io.open(dir .. "scores.txt", "w")
          ok = f ~= nil and f:write("1") ~= nil
          if f then f:close() end
        end
        print(dir, err, ok)
      ]]):format(name), env)
      assert.are.equal(0, status, out)
      return out:match("^(.-)\t(.-)\t(.-)\n$")
    end

    it("makes $XDG_DATA_HOME/name/, or ~/.local/share/name/, with their parents", function()
      local cases = {
        { { XDG_DATA_HOME = base .. "/xdg/data", HOME = base .. "/home" }, base .. "/xdg/data/My-Game_2.0/" },
        { { XDG_DATA_HOME = false, HOME = base .. "/home" }, base .. "/home/.local/share/My-Game_2.0/" },
        { { XDG_DATA_HOME = "relative/data", HOME = base .. "/home" }, base .. "/home/.local/share/My-Game_2.0/" },
        { { XDG_DATA_HOME = "", HOME = base .. "/h2" }, base .. "/h2/.local/share/My-Game_2.0/" },
      }
      for _, c in ipairs(cases) do
        local dir, err, ok = save_dir('"My-Game_2.0"', c[1])
        assert.are.same({ c[2], "nil", "true" }, { dir, err, ok })
      end
      -- a second call finds the folder there
      local dir = save_dir('"My-Game_2.0"', cases[1][1])
      assert.are.equal(cases[1][2], dir)
      assert.are.equal("1", H.read_file(dir .. "scores.txt"))
    end)

    it("refuses names that are not a plain, safe file name", function()
      local env = { XDG_DATA_HOME = base }
      local NAME_ERR = "saveDir: the name must be 1 to 64 letters, digits, '.', '-' or '_', starting with a letter or a digit"
      for _, name in ipairs { '""', '"."', '".."', '"../up"', '"a/b"', '"/abs"', '".hidden"', '"-x"', '"_x"',
                              '"with space"', '"tab\\t"', '"nul\\0x"', '"caf\\195\\169"', '"a\\\\b"', '"a:b"', '"*"',
                              '"' .. string.rep("a", 65) .. '"', "nil", "42", "{}", "true" } do
        local dir, err = save_dir(name, env)
        assert.are.same({ "nil", NAME_ERR }, { dir, err }, name)
      end
      assert.are.equal(base .. "/" .. string.rep("b", 64) .. "/", (save_dir('"' .. string.rep("b", 64) .. '"', env)))
      assert.are.equal(base .. "/a.b-c_d/", (save_dir('"a.b-c_d"', env)))
    end)

    it("says why when the folder cannot be made or there is no home", function()
      H.write_file(base, "a file where the folder goes")
      local dir, err = save_dir('"game"', { XDG_DATA_HOME = base })
      assert.are.equal("nil", dir)
      assert.are.equal("saveDir: cannot create " .. base .. "/game: Not a directory", err)
      dir, err = save_dir('"game"', { XDG_DATA_HOME = false, HOME = false })
      assert.are.same({ "nil", "saveDir: neither XDG_DATA_HOME nor HOME names a folder" }, { dir, err })
      os.remove(base)
    end)
  end)
end)
