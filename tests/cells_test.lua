-- The character-cell screen: curses_init, the three cell functions,
-- curses_refresh, and what quit leaves behind.
--
-- One screen is started in this process (on the X server when the fixture
-- runs, else on the dummy driver) and shared by the tests in order. Starts
-- that end the process, or that need another font or grid, run in children.

local h = require "helpers"
local T = require "orvixtest"

local on_x11 = (os.getenv("DISPLAY") or "") ~= ""
local sanitized = os.getenv("ORVIX_SANITIZE") == "1"
local MONO, SANS = h.mono, h.sans

-- This process's own drivers, set before SDL reads them.
T.setenv("SDL_VIDEODRIVER", on_x11 and "x11" or "dummy")
T.setenv("SDL_AUDIODRIVER", "disk")
T.setenv("SDL_DISKAUDIOFILE", "/dev/null")

local O = require "orvixcore"

---------------------------------------------------------------------------
-- Helpers

-- A child process on the dummy video driver and the disk audio driver, with
-- overrides from env.
local function child(code, env)
  local e = { SDL_VIDEODRIVER = "dummy", SDL_AUDIODRIVER = "disk", SDL_DISKAUDIOFILE = "/dev/null" }
  for k, v in pairs(env or {}) do e[k] = v end
  return h.run_child("T = require 'orvixtest'\n" .. code, { env = e })
end

-- One cell as text: character, text colour and background, each with its
-- fourth byte.
local function cell(x, y)
  local c = { T.cell(x, y) }
  if #c == 0 then return nil end
  return string.format("%q fg=%d,%d,%d,%d bg=%d,%d,%d,%d", unpack(c))
end

-- The same text for a cell expected to hold ch, text colour fg, background bg
-- (fourth bytes as curses_init sets them).
local function want(ch, fg, bg)
  fg, bg = fg or { 0, 0, 0 }, bg or { 255, 255, 255 }
  return string.format("%q fg=%d,%d,%d,0 bg=%d,%d,%d,255", ch, fg[1], fg[2], fg[3], bg[1], bg[2], bg[3])
end

-- Every cell of the grid, keyed "x,y".
local function grid()
  local cc = T.globals().CC
  local t = {}
  for y = 0, cc.rows - 1 do
    for x = 0, cc.cols - 1 do t[x .. "," .. y] = cell(x, y) end
  end
  return t
end

-- The cells that differ between two grids, with their new text.
local function changes(before, after)
  local d = {}
  for k, v in pairs(after) do
    if before[k] ~= v then d[k] = v end
  end
  return d
end

-- Whether the screen holds exactly what the grid gives when every glyph is
-- rendered anew (the test module's uncached refresh); the same text is run
-- in child processes.
local SAME_AS_NAIVE = [[
  local function same_as_naive(T)
    local drawn = T.raw()
    T.clear(nil, 1, 2, 3)
    T.naive_refresh()
    return drawn == T.raw()
  end
]]
local same_as_naive = loadstring(SAME_AS_NAIVE .. "return same_as_naive")()

-- The pixels of a rectangle of gScreen as one string, for comparisons.
local function pixels(x, y, w, hgt)
  local t = {}
  for j = y, y + hgt - 1 do
    for i = x, x + w - 1 do t[#t + 1] = table.concat({ T.rgba(nil, i, j) }, ",") end
  end
  return table.concat(t, ";")
end

-- A small TrueType font built here: a list of glyphs (the first is .notdef),
-- each { char = code, advance = units, box = {x0, y0, x1, y1} } for a filled
-- box or { broken = true } for an outline FreeType refuses to load; 1000
-- units per em; m = { ascender, descender, line_gap }.
-- TrueType is big-endian; negative values are stored in two's complement.
local function u16(v) return h.be(v, 2) end
local function u32(v) return h.be(v, 4) end

local function make_font(path, glyphs, m)
  local glyf, loca, hmtx, offset, widest = {}, {}, {}, 0, 0
  for i, g in ipairs(glyphs) do
    local data = ""
    if g.broken then
      -- claims 100 contours and stores none of them
      data = u16(100) .. u16(0) .. u16(0) .. u16(10) .. u16(10) .. u16(0)
    elseif g.box then
      local x0, y0, x1, y1 = unpack(g.box)
      data = u16(1) .. u16(x0) .. u16(y0) .. u16(x1) .. u16(y1)
        .. u16(3) .. u16(0) .. string.rep("\1", 4)  -- 4 on-curve points, 16-bit deltas
        .. u16(x0) .. u16(x1 - x0) .. u16(0) .. u16(x0 - x1)
        .. u16(y0) .. u16(0) .. u16(y1 - y0) .. u16(0)
    end
    loca[i], glyf[i], offset = u16(offset / 2), data, offset + #data
    hmtx[i] = u16(g.advance) .. u16(g.box and g.box[1] or 0)
    if g.advance > widest then widest = g.advance end
  end
  loca[#glyphs + 1] = u16(offset / 2)

  -- cmap format 4, one segment per character, then the closing 0xFFFF
  local segs = {}
  for i, g in ipairs(glyphs) do
    if g.char then segs[#segs + 1] = { g.char, i - 1 } end
  end
  table.sort(segs, function(a, b) return a[1] < b[1] end)
  segs[#segs + 1] = { 0xFFFF, 0 }
  local n, codes, deltas = #segs, {}, {}
  for i, s in ipairs(segs) do
    codes[i] = u16(s[1])
    deltas[i] = u16(s[1] == 0xFFFF and 1 or s[2] - s[1])
  end
  local log2 = 0
  while 2 ^ (log2 + 1) <= n do log2 = log2 + 1 end
  local range = 2 * 2 ^ log2
  local arrays = table.concat(codes) .. u16(0) .. table.concat(codes) .. table.concat(deltas)
    .. string.rep(u16(0), n)
  local sub = u16(4) .. u16(14 + #arrays) .. u16(0) .. u16(2 * n) .. u16(range) .. u16(log2)
    .. u16(2 * n - range) .. arrays
  local cmap = u16(0) .. u16(1) .. u16(3) .. u16(1) .. u32(12) .. sub

  local head = u32(0x10000) .. u32(0x10000) .. u32(0) .. u32(0x5F0F3CF5) .. u16(11) .. u16(1000)
    .. string.rep("\0", 16) .. u16(0) .. u16(m.descender) .. u16(widest) .. u16(m.ascender)
    .. u16(0) .. u16(8) .. u16(2) .. u16(0) .. u16(0)
  local hhea = u32(0x10000) .. u16(m.ascender) .. u16(m.descender) .. u16(m.line_gap) .. u16(widest)
    .. u16(0) .. u16(0) .. u16(widest) .. u16(1) .. u16(0) .. u16(0) .. string.rep("\0", 8)
    .. u16(0) .. u16(#glyphs)
  local maxp = u32(0x10000) .. u16(#glyphs) .. u16(8) .. u16(2) .. u16(0) .. u16(0) .. u16(2)
    .. string.rep(u16(0), 8)

  local tables = { { "cmap", cmap }, { "glyf", table.concat(glyf) }, { "head", head },
    { "hhea", hhea }, { "hmtx", table.concat(hmtx) }, { "loca", table.concat(loca) },
    { "maxp", maxp } }
  local dir = { u32(0x10000) .. u16(#tables) .. u16(64) .. u16(2) .. u16(16 * #tables - 64) }
  local body, pos = {}, 12 + 16 * #tables
  for _, t in ipairs(tables) do
    local data = t[2] .. string.rep("\0", (4 - #t[2] % 4) % 4)
    dir[#dir + 1] = t[1] .. u32(0) .. u32(pos) .. u32(#t[2])
    body[#body + 1] = data
    pos = pos + #data
  end
  local f = assert(io.open(path, "wb"))
  f:write(table.concat(dir) .. table.concat(body))
  f:close()
end

---------------------------------------------------------------------------
describe("cell functions before curses_init", function()
  it("change nothing, draw nothing and return no values", function()
    local g = T.globals()
    assert.equal(0, g.curses_on)
    assert.same({ cellW = 0, cellH = 0, cols = 0, rows = 0, count = 0, has_storage = false }, g.CC)
    assert.is_nil(g.gScreen)

    assert.equal(0, h.pack(O.curses_addch("A", 0, 0)).n)
    assert.equal(0, h.pack(O.curses_setcol(0, 0, 1, 2, 3, 4, 5, 6)).n)
    assert.equal(0, h.pack(O.curses_fill(0, 0, 5, 5, "B", 1, 2, 3, 4, 5, 6)).n)
    assert.equal(0, h.pack(O.curses_refresh()).n)

    g = T.globals()
    assert.equal(0, g.curses_on)
    assert.same({ cellW = 0, cellH = 0, cols = 0, rows = 0, count = 0, has_storage = false }, g.CC)
    assert.is_nil(g.gScreen)
  end)

  it("still reject a table colour, since arguments are read first", function()
    local ok, err = pcall(function() O.curses_setcol(0, 0, {}) end)
    assert.is_false(ok)
    assert.matches("bad argument #3 to 'curses_setcol' %(number expected, got table%)", err)
  end)
end)

---------------------------------------------------------------------------
describe("a running 80 x 25 screen", function()
  local cw, ch, W, H
  local COLS, ROWS = 80, 25

  setup(function()
    cw, ch = O.curses_init(80.9, 25.2, MONO, 16)
    if cw then W, H = cw * COLS, ch * ROWS end
  end)

  -- Every test starts from a blank grid: spaces, black on white.
  before_each(function()
    O.curses_fill(0, 0, COLS, ROWS, " ", 0, 0, 0, 255, 255, 255)
  end)

  describe("curses_init", function()
    it("returns the advance of '@' and the line skip of the font", function()
      local advance, skip = T.font_metrics(MONO, 16)
      assert.is_number(advance)
      assert.equal(advance, cw)
      assert.equal(skip, ch)
      local cc = T.globals().CC
      assert.equal(cw, cc.cellW)
      assert.equal(ch, cc.cellH)
    end)

    it("truncates 80.9 and 25.2 to an 80 by 25 grid", function()
      local cc = T.globals().CC
      assert.equal(80, cc.cols)
      assert.equal(25, cc.rows)
      assert.equal(2000, cc.count)
      assert.is_true(cc.has_storage)
      assert.equal(1, T.globals().curses_on)
    end)

    it("opens a 32-bit window exactly the size of the grid, never full screen or OpenGL", function()
      local s = T.surface()
      assert.equal(W, s.w)
      assert.equal(H, s.h)
      assert.equal(32, s.bpp)
      local g = T.globals()
      assert.equal(0, g.gl_on)
      local SDL_FULLSCREEN, SDL_OPENGL = 0x80000000, 0x2
      local flags = T.video_flags()
      assert.equal(0, math.floor(flags / SDL_FULLSCREEN) % 2)
      assert.equal(0, math.floor(flags / SDL_OPENGL) % 2)
    end)

    it("starts SDL's audio and video but no joystick subsystem", function()
      local SDL_INIT_AUDIO, SDL_INIT_VIDEO = 0x10, 0x20
      assert.equal(SDL_INIT_AUDIO + SDL_INIT_VIDEO, T.was_init())
      assert.equal(0, T.globals().gNumpads)
      assert.is_nil(T.globals().gPads)
    end)
  end)

  describe("a fresh grid", function()
    it("holds spaces, black on white, in every cell", function()
      for k, v in pairs(grid()) do
        assert.equal(want(" "), v, "cell " .. k)
      end
    end)

    it("is drawn as a white window, visible after flip", function()
      O.curses_refresh()
      assert.equal(W * H, T.count(nil, 255, 255, 255))
      O.flip()
      assert.equal(W * H, T.count(nil, 255, 255, 255))
      if on_x11 then assert.equal(W * H, T.window_count(255, 255, 255, 0, 0, W, H)) end
    end)
  end)

  describe("curses_refresh", function()
    it("draws every cell, written or not, over whatever gScreen held", function()
      O.fill(0, 0, 0, 0, 0, 0, 255, 255)
      assert.equal(W * H, T.count(nil, 0, 0, 255))
      O.curses_refresh()
      assert.equal(W * H, T.count(nil, 255, 255, 255))
    end)

    it("puts each background exactly on its cell's rectangle", function()
      local cells = { { 0, 0, 10, 200, 30 }, { 79, 24, 250, 20, 100 }, { 37, 11, 1, 2, 3 } }
      for _, c in ipairs(cells) do O.curses_setcol(c[1], c[2], nil, nil, nil, c[3], c[4], c[5]) end
      O.curses_refresh()
      for _, c in ipairs(cells) do
        local x, y = c[1] * cw, c[2] * ch
        assert.equal(cw * ch, T.count(nil, c[3], c[4], c[5], 0, x, y, cw, ch))
        assert.equal(cw * ch, T.count(nil, c[3], c[4], c[5]))
      end
      assert.equal(W * H - 3 * cw * ch, T.count(nil, 255, 255, 255))
    end)

    it("draws a glyph in its text colour inside its own cell only", function()
      O.curses_addch("#", 5, 1)
      O.curses_setcol(5, 1, 200, 0, 0, 0, 0, 80)
      O.curses_refresh()
      local x, y = 5 * cw, ch
      -- Solid stems in the text colour, background around them, and blends
      -- between; everything else white.
      assert.is_true(T.count(nil, 200, 0, 0, 0, x, y, cw, ch) >= 10)
      assert.is_true(T.count(nil, 0, 0, 80, 0, x, y, cw, ch) >= 10)
      assert.equal(0, T.count(nil, 255, 255, 255, 0, x, y, cw, ch))
      assert.equal(W * H - cw * ch, T.count(nil, 255, 255, 255))
      assert.equal(T.count(nil, 200, 0, 0), T.count(nil, 200, 0, 0, 0, x, y, cw, ch))
    end)

    it("shows its result only after flip", function()
      if not on_x11 then pending("needs the X server") return end
      O.curses_refresh()
      O.flip()
      O.curses_setcol(2, 3, nil, nil, nil, 255, 0, 0)
      O.curses_refresh()
      assert.equal(cw * ch, T.count(nil, 255, 0, 0))
      assert.equal(0, T.window_count(255, 0, 0, 0, 0, W, H))
      O.flip()
      assert.equal(cw * ch, T.window_count(255, 0, 0, 2 * cw, 3 * ch, cw, ch))
      assert.equal(cw * ch, T.window_count(255, 0, 0, 0, 0, W, H))
    end)
  end)

  describe("curses_addch", function()
    it("keeps the bytes 33 to 126 and stores a space for every other byte", function()
      for b = 0, 255 do
        O.curses_addch("x", 0, 0)
        O.curses_addch(string.char(b), 0, 0)
        local expected = (b >= 33 and b <= 126) and string.char(b) or " "
        assert.equal(want(expected), cell(0, 0), "byte " .. b)
      end
    end)

    it("stores the first byte of a string: tab, DEL, multi-byte and empty strings give a space", function()
      local cases = {
        { "Hello", "H" }, { "!", "!" }, { "~", "~" }, { "\t", " " }, { "\127", " " },
        { "\195\169", " " }, { "\226\130\172", " " }, { "", " " }, { "\0A", " " },
      }
      for i, c in ipairs(cases) do O.curses_addch(c[1], i, 0) end
      for i, c in ipairs(cases) do assert.equal(want(c[2]), cell(i, 0), string.format("%q", c[1])) end
    end)

    it("stores the first character of a number's string form", function()
      O.curses_addch(42, 0, 0)
      O.curses_addch(-7, 1, 0)
      O.curses_addch(0.5, 2, 0)
      assert.equal(want("4"), cell(0, 0))
      assert.equal(want("-"), cell(1, 0))
      assert.equal(want("0"), cell(2, 0))
    end)

    it("draws the number 42 exactly as the string '4'", function()
      O.curses_addch(42, 0, 0)
      O.curses_addch("4", 1, 0)
      O.curses_addch("5", 2, 0)
      O.curses_refresh()
      local a, b, c = pixels(0, 0, cw, ch), pixels(cw, 0, cw, ch), pixels(2 * cw, 0, cw, ch)
      assert.equal(a, b)
      assert.are_not.equal(a, c)
    end)

    it("leaves the cell alone for nil, booleans, tables, functions and userdata", function()
      O.curses_addch("Q", 3, 3)
      local before = grid()
      for _, v in ipairs({ false, true, {}, print, T.globals().gScreen }) do
        assert.equal(0, h.pack(O.curses_addch(v, 3, 3)).n)
      end
      O.curses_addch(nil, 3, 3)
      O.curses_addch()
      assert.same({}, changes(before, grid()))
    end)

    it("changes nothing outside the grid", function()
      local before = grid()
      for _, p in ipairs({ { 80, 0 }, { 0, 25 }, { -1, 0 }, { 0, -1 }, { 80, 25 }, { -1, -1 },
        { 1e10, 0 }, { 0, 1e10 }, { -1e10, 3 }, { 2 ^ 31, 2 ^ 31 } }) do
        O.curses_addch("Z", p[1], p[2])
      end
      assert.same({}, changes(before, grid()))
    end)

    it("truncates coordinates toward zero: 2.9 is column 2, -0.5 is column 0", function()
      local before = grid()
      O.curses_addch("A", 2.9, 4.99)
      O.curses_addch("B", -0.5, -0.9)
      O.curses_addch("C", "7", " 3 ")
      assert.same({ ["2,4"] = want("A"), ["0,0"] = want("B"), ["7,3"] = want("C") }, changes(before, grid()))
    end)

    it("reads a missing or non-numeric coordinate as 0", function()
      local before = grid()
      O.curses_addch("D", "left", nil)
      assert.same({ ["0,0"] = want("D") }, changes(before, grid()))
      O.curses_addch("E")
      assert.equal(want("E"), cell(0, 0))
    end)
  end)

  describe("curses_setcol", function()
    it("changes nothing with only a column and a row", function()
      local before = grid()
      O.curses_setcol(4, 4)
      O.curses_setcol(4, 4, nil, nil, nil, nil, nil, nil)
      assert.same({}, changes(before, grid()))
    end)

    it("takes each component by itself", function()
      local before = grid()
      O.curses_setcol(1, 1, 255)
      O.curses_setcol(2, 1, nil, nil, nil, 0, 0, 0)
      O.curses_setcol(3, 1, nil, 7, nil, nil, nil, 9)
      assert.same({
        ["1,1"] = want(" ", { 255, 0, 0 }),
        ["2,1"] = want(" ", nil, { 0, 0, 0 }),
        ["3,1"] = want(" ", { 0, 7, 0 }, { 255, 255, 9 }),
      }, changes(before, grid()))
    end)

    it("stores the low 8 bits, leaves a negative component unchanged and truncates -0.5 to 0", function()
      O.curses_setcol(0, 0, 256, 300, 511, 1, 2, 3)
      assert.equal(want(" ", { 0, 44, 255 }, { 1, 2, 3 }), cell(0, 0))
      O.curses_setcol(0, 0, -1, -0.5, -255, -1e9, 0.9, 2 ^ 31)
      assert.equal(want(" ", { 0, 0, 255 }, { 1, 0, 255 }), cell(0, 0))
    end)

    it("reads a string that holds a number as that number", function()
      O.curses_setcol(0, 0, "128", " 0x10 ", "1e2")
      assert.equal(want(" ", { 128, 16, 100 }), cell(0, 0))
    end)

    it("changes nothing outside the grid", function()
      local before = grid()
      for _, p in ipairs({ { 80, 0 }, { 0, 25 }, { -1, 0 }, { 0, -1 }, { 1e10, 1e10 } }) do
        O.curses_setcol(p[1], p[2], 1, 2, 3, 4, 5, 6)
      end
      assert.same({}, changes(before, grid()))
    end)

    it("truncates coordinates toward zero", function()
      local before = grid()
      O.curses_setcol(2.9, 0, 9)
      O.curses_setcol(-0.5, 1, 8)
      assert.same({ ["2,0"] = want(" ", { 9, 0, 0 }), ["0,1"] = want(" ", { 8, 0, 0 }) },
        changes(before, grid()))
    end)

    it("raises the bad-argument error for a table colour and leaves the grid unchanged", function()
      local before = grid()
      for pos = 3, 8 do
        local args = { 1, 1, 10, 20, 30, 40, 50, 60 }
        args[pos] = {}
        local ok, err = pcall(function() O.curses_setcol(unpack(args, 1, 8)) end)
        assert.is_false(ok)
        assert.matches("bad argument #" .. pos .. " to 'curses_setcol' %(number expected, got table%)", err)
      end
      local ok, err = pcall(function() O.curses_setcol(1, 1, 10, "red") end)
      assert.is_false(ok)
      assert.matches("bad argument #4 to 'curses_setcol' %(number expected, got string%)", err)
      ok = pcall(function() O.curses_setcol(1, 1, 10, true) end)
      assert.is_false(ok)
      assert.same({}, changes(before, grid()))
    end)
  end)

  describe("curses_fill", function()
    it("sets character and colours of every cell of the rectangle", function()
      local before = grid()
      O.curses_fill(2, 3, 3, 2, "%", 1, 2, 3, 4, 5, 6)
      local expected = {}
      for x = 2, 4 do
        for y = 3, 4 do expected[x .. "," .. y] = want("%", { 1, 2, 3 }, { 4, 5, 6 }) end
      end
      assert.same(expected, changes(before, grid()))
    end)

    it("changes nothing with a width or height of 0 or less", function()
      local before = grid()
      for _, s in ipairs({ { 0, 3 }, { 3, 0 }, { -1, 3 }, { 3, -5 }, { 0.9, 3 }, { -2 ^ 31, -2 ^ 31 } }) do
        O.curses_fill(1, 1, s[1], s[2], "X", 1, 2, 3, 4, 5, 6)
      end
      assert.same({}, changes(before, grid()))
    end)

    it("changes only the cells of a rectangle that lie inside the grid", function()
      local before = grid()
      O.curses_fill(-2, -1, 4, 3, "a")
      O.curses_fill(78, 23, 100, 100, "b")
      O.curses_fill(79, -5, 2, 7, "c")
      assert.same({
        ["0,0"] = want("a"), ["1,0"] = want("a"), ["0,1"] = want("a"), ["1,1"] = want("a"),
        ["78,23"] = want("b"), ["79,23"] = want("b"), ["78,24"] = want("b"), ["79,24"] = want("b"),
        ["79,0"] = want("c"), ["79,1"] = want("c"),
      }, changes(before, grid()))
    end)

    it("clips a rectangle whose far edge lies beyond the int range", function()
      local before = grid()
      O.curses_fill(77, 24, 2 ^ 31 - 1, 2 ^ 31 - 1, "w")
      O.curses_fill(-2 ^ 31, 0, 2 ^ 31 - 1, 1, "v")
      assert.same({ ["77,24"] = want("w"), ["78,24"] = want("w"), ["79,24"] = want("w") },
        changes(before, grid()))
    end)

    it("truncates its numbers toward zero", function()
      local before = grid()
      O.curses_fill(-0.5, 2.9, 1.9, 1.2, "t")
      assert.same({ ["0,2"] = want("t") }, changes(before, grid()))
    end)

    it("changes a colour only as a whole", function()
      O.curses_fill(0, 0, 4, 1, "k")
      local before = grid()
      O.curses_fill(0, 0, 4, 1, nil, 255, 0)
      O.curses_fill(0, 0, 4, 1, nil, nil, nil, nil, 1, 2, -1)
      O.curses_fill(0, 0, 4, 1, nil, 255, -0.5, 256, nil, 3)
      assert.same({
        ["0,0"] = want("k", { 255, 0, 0 }), ["1,0"] = want("k", { 255, 0, 0 }),
        ["2,0"] = want("k", { 255, 0, 0 }), ["3,0"] = want("k", { 255, 0, 0 }),
      }, changes(before, grid()))
      O.curses_fill(1, 0, 2, 1, nil, nil, nil, nil, 300, 44, 512)
      assert.equal(want("k", { 255, 0, 0 }, { 44, 44, 0 }), cell(1, 0))
      assert.equal(want("k", { 255, 0, 0 }), cell(0, 0))
    end)

    it("keeps the characters for nil or a boolean and applies the rule to strings and numbers", function()
      O.curses_fill(0, 0, 2, 1, "q")
      O.curses_fill(0, 0, 2, 1, true, 9, 9, 9)
      O.curses_fill(0, 0, 1, 1, false)
      O.curses_fill(0, 0, 1, 1, {})
      assert.equal(want("q", { 9, 9, 9 }), cell(0, 0))
      assert.equal(want("q", { 9, 9, 9 }), cell(1, 0))
      O.curses_fill(0, 1, 4, 1, 42)
      O.curses_fill(0, 2, 4, 1, "")
      O.curses_fill(0, 3, 4, 1, "\200x")
      assert.equal(want("4"), cell(3, 1))
      assert.equal(want(" "), cell(3, 2))
      assert.equal(want(" "), cell(3, 3))
    end)

    it("raises the bad-argument error for a table colour and leaves the grid unchanged", function()
      local before = grid()
      for pos = 6, 11 do
        local args = { 0, 0, 3, 3, "!", 1, 2, 3, 4, 5, 6 }
        args[pos] = {}
        local ok, err = pcall(function() O.curses_fill(unpack(args, 1, 11)) end)
        assert.is_false(ok)
        assert.matches("bad argument #" .. pos .. " to 'curses_fill' %(number expected, got table%)", err)
      end
      assert.same({}, changes(before, grid()))
    end)
  end)

  describe("the glyph cache", function()
    -- Every cell gets one of the 94 printable characters (each appears about
    -- 21 times), a text colour and a background; each scene changes colours
    -- in its own way, and is drawn three times: glyphs rendered anew, kept,
    -- then drawn from the cache.
    local function all_cells(f)
      for y = 0, ROWS - 1 do
        for x = 0, COLS - 1 do f(x, y, x + y * COLS) end
      end
    end
    local colours = { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 }, { 255, 255, 0 }, { 128, 128, 128 }, { 255, 255, 255 } }
    local scenes = {
      { "black on white", function(x, y, i) O.curses_addch(string.char(33 + i % 94), x, y) end },
      { "six text colours over three backgrounds", function(x, y, i)
        local fg, bg = colours[i % 6 + 1], colours[math.floor(i / 7) % 3 + 4]
        O.curses_setcol(x, y, fg[1], fg[2], fg[3], 255 - bg[1], 255 - bg[2], bg[3])
      end },
      { "one text component changed in every other cell", function(x, y, i)
        if i % 2 == 0 then O.curses_setcol(x, y, nil, 77) end
      end },
      { "text and background swapped by curses_fill", function(x, y, i)
        local fg, bg = colours[i % 6 + 1], colours[math.floor(i / 7) % 3 + 4]
        O.curses_fill(x, y, 1, 1, nil, 255 - bg[1], 255 - bg[2], bg[3], fg[1], fg[2], fg[3])
      end },
    }

    it("draws every screen as rendering each glyph anew does, in every refresh", function()
      for _, scene in ipairs(scenes) do
        all_cells(scene[2])
        for refresh = 1, 3 do
          O.curses_refresh()
          assert.is_true(same_as_naive(T), scene[1] .. ", refresh " .. refresh)
        end
      end
    end)
  end)

  describe("after quit", function()
    it("the cell functions, curses_refresh and flip are no-ops", function()
      O.curses_addch("A", 0, 0)
      O.quit()
      assert.equal(0, h.pack(O.curses_addch("B", 0, 0)).n)
      assert.equal(0, h.pack(O.curses_setcol(0, 0, 1, 2, 3, 4, 5, 6)).n)
      assert.equal(0, h.pack(O.curses_fill(0, 0, 80, 25, "C", 1, 2, 3, 4, 5, 6)).n)
      assert.equal(0, h.pack(O.curses_refresh()).n)
      assert.equal(0, h.pack(O.flip()).n)
      assert.equal(0, T.was_init())
    end)

    it("a table colour is still a bad argument", function()
      local ok, err = pcall(function() O.curses_fill(0, 0, 1, 1, nil, {}) end)
      assert.is_false(ok)
      assert.matches("bad argument #6 to 'curses_fill'", err)
    end)

    it("curses_init answers with the old cell size and starts nothing", function()
      local a, b = O.curses_init(10, 10, SANS, 30)
      assert.equal(cw, a)
      assert.equal(ch, b)
      assert.equal(0, T.was_init())
      assert.equal(80, T.globals().CC.cols)
    end)
  end)
end)

---------------------------------------------------------------------------
describe("curses_init in a child process", function()
  it("prints the banner with the truncated grid size", function()
    for _, size in ipairs({ "80, 25", "80.9, 25.2" }) do
      local status, out = child(string.format([[
        local cw, ch = O.curses_init(%s, %q, 16)
        local cc = T.globals().CC
        print(cw, ch, cc.cols, cc.rows, T.surface().w, T.surface().h)
        O.quit()
      ]], size, MONO))
      local advance, skip = T.font_metrics(MONO, 16)
      assert.equal(0, status)
      assert.equal(string.format("Orvix init (80x25), curses mode\n%d\t%d\t80\t25\t%d\t%d\nOrvix quit\n",
        advance, skip, 80 * advance, 25 * skip), out)
    end
  end)

  it("takes the cell width from '@', not from the widest or narrowest glyph", function()
    local advance, skip = T.font_metrics(SANS, 16)
    local status, out = child(string.format([[
      print(O.curses_init(3, 2, %q, 16))
    ]], SANS))
    assert.equal(0, status)
    assert.equal(string.format("Orvix init (3x2), curses mode\n%d\t%d\n", advance, skip), out)
  end)

  it("survives a missing audio device: mixer line, sound_on 0, the cell size returned", function()
    local advance, skip = T.font_metrics(MONO, 16)
    local status, out = child(string.format([[
      local cw, ch = O.curses_init(80, 25, %q, 16)
      print(cw, ch, T.globals().sound_on, T.globals().curses_on)
    ]], MONO), { SDL_AUDIODRIVER = "nosuchdriver" })
    assert.equal(0, status)
    assert.matches(string.format("^Orvix init %%(80x25%%), curses mode\n"
      .. "Couldn't initialize SDL_mixer: [^\n]+\n%d\t%d\t0\t1\n$", advance, skip), out)
  end)

  it("does not open joysticks that SDL could see", function()
    local shim = h.build .. "/tests/libfakejoy.so"
    local preload = os.getenv("LD_PRELOAD")
    local env = { ORVIX_FAKE_JOYSTICKS = "2", LD_PRELOAD = preload and (preload .. " " .. shim) or shim }
    -- The shim works: a pixel-mode start finds both.
    local status, out = child("O.init(32, 32)", env)
    assert.equal(0, status)
    assert.equal("Orvix init (32x32)\nDetected 2 gamepads\n", out)

    local err
    status, out, err = child(string.format([[
      O.curses_init(4, 4, %q, 16)
      print(T.globals().gNumpads, T.was_init() %% 0x400 >= 0x200)
      O.quit()
    ]], MONO), env)
    assert.equal(0, status)
    assert.equal("Orvix init (4x4), curses mode\n0\tfalse\nOrvix quit\n", out)
    assert.is_nil(err:find("fakejoy"))
  end)

  it("opens and draws the widest and the highest window allowed", function()
    local advance, skip = T.font_metrics(MONO, 1)
    assert.same({ 1, 2 }, { advance, skip })
    local status, out = child(string.format([[
      O.curses_init(16383, 1, %q, 1)
      local s = T.surface()
      O.curses_setcol(16382, 0, nil, nil, nil, 255, 0, 0)
      O.curses_refresh()
      print(s.w, s.h, s.pitch, T.count(nil, 255, 255, 255), T.count(nil, 255, 0, 0, 0, 16382, 0, 1, 2))
    ]], MONO))
    assert.equal(0, status)
    assert.equal("Orvix init (16383x1), curses mode\n16383\t2\t65532\t32764\t2\n", out)
    status, out = child(string.format([[
      O.curses_init(2, 8192, %q, 1)
      O.curses_setcol(1, 8191, nil, nil, nil, 255, 0, 0)
      O.curses_refresh()
      print(T.surface().h, T.count(nil, 255, 255, 255), T.count(nil, 255, 0, 0, 0, 1, 16382, 1, 2))
    ]], MONO))
    assert.equal(0, status)
    assert.equal("Orvix init (2x8192), curses mode\n16384\t32766\t2\n", out)
  end)

  it("a second curses_init changes nothing and returns the cell size", function()
    local advance, skip = T.font_metrics(MONO, 16)
    local status, out = child(string.format([[
      O.curses_init(8, 4, %q, 16)
      O.curses_addch("M", 7, 3)
      local screen = T.globals().gScreen
      print(O.curses_init(2, 2, %q, 40))
      local cc = T.globals().CC
      print(cc.cols, cc.rows, T.cell(7, 3), T.globals().gScreen == screen, T.surface().w)
      O.quit()
    ]], MONO, SANS))
    assert.equal(0, status)
    assert.equal(string.format("Orvix init (8x4), curses mode\n%d\t%d\n8\t4\tM\ttrue\t%d\nOrvix quit\n",
      advance, skip, 8 * advance), out)
  end)

  it("curses_init after init returns 0, 0 and leaves the pixel mode as it is", function()
    local status, out = child(string.format([[
      O.init(64, 48)
      print(O.curses_init(8, 4, %q, 16))
      local g = T.globals()
      print(g.curses_on, g.CC.has_storage, T.surface().w, T.surface().h)
      O.fill(0, 0, 0, 0, 0, 0, 255, 255)
      O.curses_addch("A", 0, 0)
      O.curses_fill(0, 0, 8, 4, "B", 1, 1, 1, 2, 2, 2)
      O.curses_refresh()
      print(T.count(nil, 0, 0, 255))
      O.quit()
    ]], MONO))
    assert.equal(0, status)
    assert.equal("Orvix init (64x48)\n0\t0\n0\tfalse\t64\t48\n3072\nOrvix quit\n", out)
  end)

  it("curses_init after quit prints nothing and starts nothing", function()
    local advance, skip = T.font_metrics(MONO, 16)
    local status, out = child(string.format([[
      O.curses_init(8, 4, %q, 16)
      O.quit()
      print(O.curses_init(8, 4, %q, 16))
      print(T.was_init())
    ]], MONO, MONO))
    assert.equal(0, status)
    assert.equal(string.format("Orvix init (8x4), curses mode\nOrvix quit\n%d\t%d\n0\n", advance, skip), out)
  end)
end)

---------------------------------------------------------------------------
describe("curses_init failures end the process with status 1", function()
  it("reports SDL that cannot start its video", function()
    for _, env in ipairs({ { SDL_VIDEODRIVER = "nosuchdriver" }, { SDL_VIDEODRIVER = "x11", DISPLAY = ":999" } }) do
      local status, out = child(string.format([[O.curses_init(80, 25, %q, 16) print("survived")]], MONO), env)
      assert.equal(1, status, env.SDL_VIDEODRIVER)
      assert.matches("^Orvix init %(80x25%), curses mode\nCouldn't initialize SDL: [^\n]+\n$", out)
    end
  end)

  it("reports a font that cannot be opened, with the font library's words or ours", function()
    local cases = {
      { '"/no/such/font.ttf", 16', "[^\n]+" },
      { string.format("%q, 16", h.source .. "/tests/helpers.lua"), "[^\n]+" },
      { "nil, 16", "no font path" },
      -- a font SDL_ttf would open and then draw nothing with
      { string.format("%q, 16", h.assets .. "/box.otb"), "Unusable bitmap font" },
      -- loadFont's bound: sizes SDL_ttf cannot hand to FreeType
      { string.format("%q, 1e9", MONO), "font size out of range" },
      { string.format("%q, -33554433", MONO), "font size out of range" },
      { string.format("%q, 33554432", MONO), "font size out of range" },
    }
    for _, c in ipairs(cases) do
      local status, out = child("O.curses_init(4, 3, " .. c[1] .. ") print('survived')")
      assert.equal(1, status, c[1])
      assert.matches("^Orvix init %(4x3%), curses mode\nCouldn't load font: " .. c[2] .. "\n$", out)
    end
  end)

  it("refuses grids with fewer than one column or row with the computed size", function()
    local advance, skip = T.font_metrics(MONO, 16)
    local cases = { { "0, 25", 0, 25 }, { "80, 0", 80, 0 }, { "-3, 25", -3, 25 }, { "80, -2", 80, -2 },
      { "0.9, 1", 0, 1 }, { "nil, nil", 0, 0 }, { "0/0, 2", 0, 2 } }
    for _, c in ipairs(cases) do
      local status, out = child(string.format("O.curses_init(%s, %q, 16) print('survived')", c[1], MONO))
      assert.equal(1, status, c[1])
      assert.equal(string.format("Orvix init (%dx%d), curses mode\n"
        .. "Couldn't set %dx%d video mode: grid size out of range\n",
        c[2], c[3], c[2] * advance, c[3] * skip), out)
    end
  end)

  it("refuses windows wider than 16383 or higher than 16384 pixels, printing the exact products", function()
    local advance, skip = T.font_metrics(MONO, 16)
    local cases = {
      { "1639, 25", 1639, 25, tostring(1639 * advance), tostring(25 * skip) },
      { "80, 863", 80, 863, tostring(80 * advance), tostring(863 * skip) },
      -- products beyond the int range are printed as they are
      { "1e9, 1e9", 1000000000, 1000000000, string.format("%.0f", 1e9 * advance), string.format("%.0f", 1e9 * skip) },
      -- counts beyond the int range saturate
      { "1e12, 25", 2147483647, 25, string.format("%.0f", 2147483647 * advance), tostring(25 * skip) },
    }
    assert.is_true(1639 * advance > 16384 and 863 * skip > 16384)
    for _, c in ipairs(cases) do
      local status, out = child(string.format("O.curses_init(%s, %q, 16) print('survived')", c[1], MONO))
      assert.equal(1, status, c[1])
      assert.equal(string.format("Orvix init (%dx%d), curses mode\n"
        .. "Couldn't set %sx%s video mode: grid size out of range\n", c[2], c[3], c[4], c[5]), out)
    end
  end)

  it("refuses a window 16384 pixels wide, whose 4-byte rows no longer fit SDL's 16-bit pitch, or 16386 high", function()
    local advance, skip = T.font_metrics(MONO, 1)
    assert.same({ 1, 2 }, { advance, skip })
    for _, c in ipairs({ { 16384, 1, "16384x2" }, { 1, 8193, "1x16386" } }) do
      local status, out = child(string.format("O.curses_init(%d, %d, %q, 1) print('survived')", c[1], c[2], MONO))
      assert.equal(1, status, c[3])
      assert.equal(string.format("Orvix init (%dx%d), curses mode\n"
        .. "Couldn't set %s video mode: grid size out of range\n", c[1], c[2], c[3]), out)
    end
  end)

  it("reports a video mode the driver cannot set, with the computed size", function()
    if sanitized then pending("address-space limits do not mix with the sanitizer") return end
    local advance, skip = T.font_metrics(MONO, 16)
    local drivers = { "dummy" }
    -- sdl12-compat's x11 driver draws through OpenGL, which cannot load
    -- within the limit: Xlib's error handler then ends the process first.
    if on_x11 and h.sdl ~= "compat" then drivers[2] = "x11" end
    for _, video in ipairs(drivers) do
      -- 64 MiB more than the child has mapped cannot hold a 1000 x 500 grid's window.
      local status, out = child(string.format([[
        T.limit_address_space(64 * 2 ^ 20)
        O.curses_init(1000, 500, %q, 16)
        print("survived")
      ]], MONO), { SDL_VIDEODRIVER = video, SDL_AUDIODRIVER = "nosuchdriver" })
      assert.equal(1, status, video)
      assert.matches(string.format("^Orvix init %%(1000x500%%), curses mode\n"
        .. "Couldn't initialize SDL_mixer: [^\n]+\n"
        .. "Couldn't set %dx%d video mode: [^\n]+\n$", 1000 * advance, 500 * skip), out)
    end
  end)

  it("reports cell storage that cannot be allocated", function()
    if sanitized then pending("address-space limits do not mix with the sanitizer") return end
    local advance, skip = T.font_metrics(MONO, 1)
    assert.same({ 1, 2 }, { advance, skip })
    -- A 2048 x 2048 grid of 1 x 2 pixel cells: its storage takes 9 bytes a
    -- cell, 36 MiB. What its 2048 x 4096 window takes differs between the
    -- SDL 1.2 libraries, so a pixel-mode start of that window measures it
    -- first. 8 MiB more lets the window open and the storage fail; 64 MiB
    -- more is enough for both.
    local env = { SDL_AUDIODRIVER = "nosuchdriver" }
    local MAPPED = "local function mapped() return io.open('/proc/self/statm'):read('*n') * 4096 end\n"
    local status, out = child(MAPPED .. "local before = mapped() O.init(2048, 4096) print(mapped() - before)", env)
    assert.equal(0, status)
    local window = assert(tonumber(out:match("\n(%d+)\n$")), out)
    local code = string.format([[
      T.limit_address_space(%%d)
      print(O.curses_init(2048, 2048, %q, 1))
    ]], MONO)
    status, out = child(string.format(code, window + 8 * 2 ^ 20), env)
    assert.equal(1, status)
    assert.matches("^Orvix init %(2048x2048%), curses mode\n"
      .. "Couldn't initialize SDL_mixer: [^\n]+\n"
      .. "Couldn't allocate memory for curses data.\n$", out)
    status, out = child(string.format(code, window + 64 * 2 ^ 20), env)
    assert.equal(0, status)
    assert.matches("^Orvix init %(2048x2048%), curses mode\n"
      .. "Couldn't initialize SDL_mixer: [^\n]+\n1\t2\n$", out)
  end)
end)

---------------------------------------------------------------------------
describe("the glyph cache when it is full", function()
  it("keeps drawing right, frees the glyphs used longest ago, and stays within its bound", function()
    -- A grid of 8 x 4 cells of DejaVu Sans Mono 16 (slots of 10 x 19 pixels)
    -- has the smallest cache, 256 KiB: 256 glyphs of 760 bytes plus 192
    -- bytes each. 24 scenes of 32 glyphs no other scene uses overflow it
    -- three times.
    local status, out = child(SAME_AS_NAIVE .. string.format([[
      O.curses_init(8, 4, %q, 16)
      local function scene(n)
        for i = 0, 31 do
          local x, y = i %% 8, math.floor(i / 8)
          O.curses_addch(string.char(33 + (n * 32 + i) %% 94), x, y)
          O.curses_setcol(x, y, n * 10, i * 8, 255 - n, 255 - i, 0, n)
        end
      end
      local function allocations()
        local before = T.alloc_calls()
        O.curses_refresh()
        return before and T.alloc_calls() - before
      end
      local same = true
      scene(0)
      O.curses_refresh()
      local heap = T.heap_bytes()
      for n = 1, 24 do
        scene(n)
        for refresh = 1, 3 do
          O.curses_refresh()
          same = same and same_as_naive(T)
        end
      end
      print("same", same, "grown", T.heap_bytes() - heap)
      print("newest scene", allocations())
      scene(1)
      print("first scene", allocations(), same_as_naive(T))
    ]], MONO), not sanitized and { LD_PRELOAD = h.build .. "/tests/liballoccount.so" } or nil)
    assert.equal(0, status)
    local lines = h.lines(out)
    assert.equal("Orvix init (8x4), curses mode", lines[1])
    assert.equal("same\ttrue", lines[2]:match("^same\t%a+"))
    if sanitized then return end -- neither the heap nor the allocation count is glibc's there
    -- Without the cap the 768 glyphs would take 731 KiB; SDL_ttf's own glyph
    -- cache grows by a few KiB while the 94 characters first come up.
    local grown = tonumber(lines[2]:match("grown\t(%-?%d+)"))
    assert.is_true(grown <= 256 * 1024 + 64 * 1024, "heap grew by " .. grown)
    assert.equal("newest scene\t0", lines[3])
    local first, right = lines[4]:match("^first scene\t(%d+)\t(%a+)$")
    assert.is_true(tonumber(first) > 0, lines[4])
    assert.equal("true", right)
  end)
end)

---------------------------------------------------------------------------
describe("fonts with unusual metrics", function()
  local wide, broken, flat = h.tmpname(".ttf"), h.tmpname(".ttf"), h.tmpname(".ttf")

  setup(function()
    -- '@' half an em wide; 'W' a full em wide box from the descender to the
    -- ascender; a negative line gap makes the line skip smaller than a glyph.
    make_font(wide, {
      { advance = 500 },
      { char = 64, advance = 500, box = { 100, 0, 400, 500 } },
      { char = 87, advance = 1000, box = { 0, -200, 1000, 800 } },
    }, { ascender = 800, descender = -200, line_gap = -300 })
    -- '@' cannot be loaded at all; 'A' is a box.
    make_font(broken, {
      { advance = 600 },
      { char = 64, advance = 500, broken = true },
      { char = 65, advance = 500, box = { 0, -200, 500, 800 } },
    }, { ascender = 800, descender = -200, line_gap = 0 })
    -- No height at all, and an '@' that does not advance.
    make_font(flat, {
      { advance = 0 },
      { char = 64, advance = 0, box = { 0, 0, 300, 300 } },
    }, { ascender = 0, descender = 0, line_gap = 0 })
  end)

  teardown(function()
    os.remove(wide)
    os.remove(broken)
    os.remove(flat)
  end)

  it("glyphs larger than their cell are covered by the cells drawn after them", function()
    local advance, skip, height = T.font_metrics(wide, 20)
    -- the glyph really overflows its cell in both directions
    assert.is_true(height > skip)
    assert.is_true(advance < 20)
    local status, out = child(string.format([[
      local cw, ch = O.curses_init(4, 3, %q, 20)
      local W, H = 4 * cw, 3 * ch
      O.curses_addch("W", 1, 1)
      O.curses_addch("W", 3, 0)
      O.curses_addch("W", 3, 2)
      O.curses_fill(0, 0, 4, 3, nil, 255, 0, 0)
      O.curses_refresh()
      O.flip()
      local red = T.count(nil, 255, 0, 0)
      print(cw, ch, red, T.count(nil, 255, 0, 0, 0, cw, ch, cw, ch),
        T.count(nil, 255, 0, 0, 0, 3 * cw, 0, cw, ch), T.count(nil, 255, 0, 0, 0, 3 * cw, 2 * ch, cw, ch),
        T.count(nil, 255, 255, 255) == W * H - red)
    ]], wide), { SDL_VIDEODRIVER = on_x11 and "x11" or "dummy" })
    assert.equal(0, status)
    local area = advance * skip
    assert.equal(string.format("Orvix init (4x3), curses mode\n%d\t%d\t%d\t%d\t%d\t%d\ttrue\n",
      advance, skip, 3 * area, area, area, area), out)
  end)

  it("draws overflowing glyphs as rendering them anew does, from the cache too", function()
    local status, out = child(SAME_AS_NAIVE .. string.format([[
      O.curses_init(4, 3, %q, 20)
      local same = true
      for round = 1, 3 do
        for i = 0, 11 do
          O.curses_addch(i %% 3 == 0 and "@" or "W", i %% 4, math.floor(i / 4))
          O.curses_setcol(i %% 4, math.floor(i / 4), 40 * round, 20 * i, 255, 255 - 20 * i, 0, 60 * round)
        end
        for refresh = 1, 3 do
          O.curses_refresh()
          same = same and same_as_naive(T)
        end
      end
      print(same)
    ]], wide))
    assert.equal(0, status)
    assert.equal("Orvix init (4x3), curses mode\ntrue\n", out)
  end)

  it("'@' without metrics gives cells half the font height wide", function()
    local advance, skip, height = T.font_metrics(broken, 20)
    assert.is_nil(advance)
    local status, out = child(string.format("print(O.curses_init(3, 2, %q, 20))", broken))
    assert.equal(0, status)
    assert.equal(string.format("Orvix init (3x2), curses mode\n%d\t%d\n", math.floor(height / 2), skip), out)
  end)

  it("a font with no advance for '@' and no line skip gives cells of at least 1 x 1", function()
    local advance, skip = T.font_metrics(flat, 20)
    assert.same({ 0, 0 }, { advance, skip })
    local status, out = child(string.format([[
      print(O.curses_init(3, 2, %q, 20))
      print(T.surface().w, T.surface().h)
      O.curses_refresh()
    ]], flat))
    assert.equal(0, status)
    assert.equal("Orvix init (3x2), curses mode\n1\t1\n3\t2\n", out)
  end)

  it("a cell whose glyph cannot be rendered still gets its background", function()
    local status, out = child(string.format([[
      local cw, ch = O.curses_init(3, 2, %q, 20)
      O.curses_addch("@", 0, 0)
      O.curses_setcol(0, 0, 255, 0, 0, 0, 0, 255)
      O.curses_addch("A", 1, 0)
      O.curses_setcol(1, 0, 255, 0, 0)
      O.curses_refresh()
      print(T.count(nil, 0, 0, 255) == cw * ch, T.count(nil, 0, 0, 255, 0, 0, 0, cw, ch) == cw * ch,
        T.count(nil, 255, 0, 0, 0, cw, 0, cw, ch) == cw * ch, T.count(nil, 255, 0, 0) == cw * ch)
      O.quit()
    ]], broken))
    assert.equal(0, status)
    assert.equal("Orvix init (3x2), curses mode\ntrue\ttrue\ttrue\ttrue\nOrvix quit\n", out)
  end)
end)
