-- Shapes: draw (lines, rectangles, circles) and drawTri, checked on the
-- pixels they leave behind.
local H = require "helpers"
local O = require "orvixcore"
local T = require "orvixtest"

local W, H_ = 320, 240

T.setenv("SDL_VIDEODRIVER", "x11")

local function black()
  T.clear(nil, 0, 0, 0)
end

-- Number of pixels that are not black.
local function lit(s)
  local sw, sh = W, H_
  if s then sw, sh = T.surface(s).w, T.surface(s).h end
  return sw * sh - T.count(s, 0, 0, 0)
end

local function box_of(s)
  return { T.bbox(s, 0, 0, 0, 0, true) }
end

local function rgba(s, x, y)
  return { T.rgba(s, x, y) }
end

-- True when some lit pixel is only partly coloured (an anti-aliased edge).
local function has_partial(r, g, b)
  local full = T.count(nil, r, g, b)
  return lit() > full
end

describe("shapes", function()
  local font

  setup(function()
    O.init(W, H_, false, false)
    font = O.loadFont(H.mono, 12)
  end)

  teardown(function()
    O.quit()
  end)

  before_each(black)

  describe("draw", function()
    it("draws a plain line when shape and style are missing", function()
      assert.are.same({}, { O.draw(10, 10, 50, 10, 255, 255, 255, 255) })
      assert.are.equal(41, T.count(nil, 255, 255, 255))
      assert.are.equal(41, lit())
      assert.are.same({ 10, 10, 50, 10 }, box_of())
    end)

    it("draws a line between two points (0, 0)", function()
      O.draw(5, 5, 25, 25, 255, 255, 255, 255, 0, 0)
      assert.are.equal(21, lit())
      for i = 5, 25 do assert.are.same({ 255, 255, 255, 255 }, rgba(nil, i, i)) end
    end)

    it("draws an anti-aliased line (0, 1)", function()
      O.draw(10, 10, 100, 40, 255, 255, 255, 255, 0, 1)
      assert.are.same({ 10, 10, 100, 40 }, box_of())
      assert.is_true(has_partial(255, 255, 255))
      assert.is_true(lit() >= 91)
    end)

    it("draws a rectangle outline between two corners (1, 0)", function()
      O.draw(10, 10, 50, 40, 255, 255, 255, 255, 1, 0)
      assert.are.same({ 10, 10, 50, 40 }, box_of())
      assert.are.equal(2 * 41 + 2 * 29, lit())
      assert.are.same({ 0, 0, 0, 255 }, rgba(nil, 30, 25))
    end)

    it("fills the box between two corners, not a width and a height (1, 2)", function()
      O.draw(10, 10, 50, 40, 0, 255, 0, 255, 1, 2)
      assert.are.same({ 10, 10, 50, 40 }, box_of())
      assert.are.equal(41 * 31, T.count(nil, 0, 255, 0))
      assert.are.equal(41 * 31, lit())
      black()
      O.draw(50, 40, 10, 10, 0, 255, 0, 255, 1, 2)
      assert.are.same({ 10, 10, 50, 40 }, box_of())
    end)

    it("draws a circle outline with radius x2 (2, 0)", function()
      O.draw(100, 100, 20, 999, 255, 255, 255, 255, 2, 0)
      assert.are.same({ 80, 80, 120, 120 }, box_of())
      for _, p in ipairs { { 120, 100 }, { 80, 100 }, { 100, 80 }, { 100, 120 } } do
        assert.are.same({ 255, 255, 255, 255 }, rgba(nil, p[1], p[2]))
      end
      assert.are.same({ 0, 0, 0, 255 }, rgba(nil, 100, 100))
      assert.is_true(lit() < 200)
    end)

    it("draws an anti-aliased circle (2, 1)", function()
      O.draw(100, 100, 20, 999, 255, 255, 255, 255, 2, 1)
      local b = box_of()
      assert.is_true(b[1] >= 79 and b[1] <= 80 and b[3] >= 120 and b[3] <= 121, table.concat(b, ","))
      assert.is_true(has_partial(255, 255, 255))
      assert.are.same({ 0, 0, 0, 255 }, rgba(nil, 100, 100))
    end)

    it("fills a red circle of radius 20; y2 plays no part (2, 2)", function()
      O.draw(100, 100, 20, 999, 255, 0, 0, 255, 2, 2)
      assert.are.same({ 80, 80, 120, 120 }, box_of())
      local n = T.count(nil, 255, 0, 0)
      assert.are.equal(n, lit())
      assert.is_true(n > 1200 and n < 1350, "filled " .. n)
      assert.are.same({ 255, 0, 0, 255 }, rgba(nil, 100, 100))
      local with_999 = T.raw()
      black()
      O.draw(100, 100, 20, 0, 255, 0, 0, 255, 2, 2)
      assert.are.equal(with_999, T.raw())
    end)

    it("draws nothing for the pairs the table does not list", function()
      local pairs_ = { { 0, 2 }, { 1, 1 }, { 3, 0 }, { 3, 2 }, { -1, 0 }, { 0, 3 }, { 2, -1 }, { 2, 3 }, { 4, 0 }, { 5, 2 }, { 100, 100 } }
      for _, p in ipairs(pairs_) do
        assert.are.same({}, { O.draw(10, 10, 50, 40, 255, 255, 255, 255, p[1], p[2]) })
        assert.are.equal(0, lit(), p[1] .. "," .. p[2])
      end
    end)

    it("truncates shape and style toward zero", function()
      O.draw(10, 10, 50, 40, 255, 255, 255, 255, 1.9, 2.7) -- box
      assert.are.equal(41 * 31, lit())
      black()
      O.draw(10, 10, 50, 40, 255, 255, 255, 255, 1, -0.5) -- outline
      assert.are.equal(2 * 41 + 2 * 29, lit())
      black()
      O.draw(10, 10, 50, 40, 255, 255, 255, 255, -0.9, "0.3") -- line
      assert.are.same({ 10, 10, 50, 40 }, box_of())
      assert.is_true(lit() < 60)
    end)

    it("keeps the low 8 bits of each component", function()
      O.draw(0, 0, 9, 9, 256, 511, 300, 255 + 256, 1, 2)
      assert.are.equal(100, T.count(nil, 0, 255, 44))
    end)

    it("narrows coordinates to signed 16 bits: 40000 arrives as -25536", function()
      O.draw(40000, 10, 50, 20, 255, 255, 255, 255, 1, 2)
      assert.are.same({ 0, 10, 50, 20 }, box_of())
      black()
      O.draw(65536 + 30, 65536 + 30, 65536 * 5 + 10, 999, 255, 0, 0, 255, 2, 2)
      assert.are.same({ 20, 20, 40, 40 }, box_of())
    end)

    it("stays inside the target for coordinates at the ends of the 16-bit range", function()
      local s = O.makeSurf(20, 10)
      local function lit_s()
        return 200 - T.count(s, 0, 0, 0)
      end
      local function check(shape, style, args, expected)
        T.clear(s, 0, 0, 0)
        O.draw(args[1], args[2], args[3], args[4], 255, 255, 255, 255, shape, style, s)
        if expected then assert.are.equal(expected, lit_s(), shape .. "," .. style) end
      end
      check(0, 0, { -32768, 5, 32767, 5 }, 20)
      check(0, 0, { 5, -32768, 5, 32767 }, 10)
      check(0, 1, { -32768, 5, 32767, 5 })
      check(0, 0, { -32768, -32768, 32767, 32767 })
      check(0, 1, { -32768, -32768, 32767, 32767 })
      check(1, 0, { -32768, -32768, 32767, 32767 }, 0)
      check(1, 2, { -32768, -32768, 32767, 32767 }, 200)
      check(1, 0, { -1, -1, 20, 10 }, 0)
      check(2, 0, { 10, 5, 32767 }, 0)
      check(2, 1, { 10, 5, 32767 }, 0)
      -- SDL_gfx works out a filled circle's extent in 16 bits: the largest
      -- radius it covers a surface with is one whose edge still fits.
      check(2, 2, { 10, 5, 16000 }, 200)
      check(2, 2, { 10, 5, 32767 })
      check(2, 2, { -32768, -32768, 32767 })
      check(2, 0, { 10, 5, -5 }, 0)
      check(2, 2, { 10, 5, -32768 }, 0)
      O.freeSurf(s)
      assert.are.equal(0, lit())
    end)

    it("draws on a target surface and leaves the screen alone", function()
      local s = O.makeSurf(60, 60)
      T.clear(s, 0, 0, 0)
      O.draw(30, 30, 10, 0, 0, 0, 255, 255, 2, 2, s)
      assert.are.equal(0, lit())
      assert.are.same({ 20, 20, 40, 40 }, box_of(s))
      assert.are.same({ 0, 0, 255, 255 }, rgba(s, 30, 30))
      O.freeSurf(s)
    end)

    it("draws on the screen when the target is absent, nil, a number or not a userdata", function()
      for _, target in ipairs { "absent", "nil", 4, {} } do
        black()
        if target == "absent" then
          O.draw(1, 1, 3, 3, 255, 0, 0, 255, 1, 2)
        elseif target == "nil" then
          O.draw(1, 1, 3, 3, 255, 0, 0, 255, 1, 2, nil)
        else
          O.draw(1, 1, 3, 3, 255, 0, 0, 255, 1, 2, target)
        end
        assert.are.equal(9, T.count(nil, 255, 0, 0), tostring(target))
      end
    end)

    it("draws nothing on a userdata target that is not a live surface", function()
      local freed = O.makeSurf(8, 8)
      O.freeSurf(freed)
      for _, dst in ipairs { freed, font, io.stdout } do
        for shape = 0, 2 do
          for style = 0, 2 do
            O.draw(0, 0, 5, 5, 255, 255, 255, 255, shape, style, dst)
          end
        end
      end
      assert.are.equal(0, lit())
      O.printFont(font, "ok", 255, 255, 255, 0, 0)
      assert.is_true(lit() > 10)
    end)
  end)

  describe("drawTri", function()
    it("draws a triangle outline (style 0)", function()
      assert.are.same({}, { O.drawTri(10, 10, 60, 10, 10, 60, 255, 255, 255, 255, 0) })
      assert.are.same({ 10, 10, 60, 60 }, box_of())
      for _, p in ipairs { { 10, 10 }, { 60, 10 }, { 10, 60 }, { 35, 10 }, { 10, 35 } } do
        assert.are.same({ 255, 255, 255, 255 }, rgba(nil, p[1], p[2]))
      end
      assert.are.same({ 0, 0, 0, 255 }, rgba(nil, 20, 20))
      assert.is_true(lit() < 200)
    end)

    it("draws an anti-aliased triangle outline (style 1)", function()
      O.drawTri(10, 10, 60, 10, 10, 60, 255, 255, 255, 255, 1)
      local b = box_of()
      assert.is_true(b[1] >= 9 and b[2] >= 9 and b[3] <= 61 and b[4] <= 61, table.concat(b, ","))
      assert.is_true(has_partial(255, 255, 255))
      assert.are.same({ 0, 0, 0, 255 }, rgba(nil, 20, 20))
    end)

    it("fills a triangle on the screen when no target is given (style 2)", function()
      O.drawTri(10, 10, 60, 10, 10, 60, 255, 0, 0, 255, 2)
      assert.are.same({ 10, 10, 60, 60 }, box_of())
      local n = T.count(nil, 255, 0, 0)
      assert.are.equal(n, lit())
      assert.is_true(n > 51 * 51 / 2 - 60 and n < 51 * 51 / 2 + 90, "filled " .. n)
      assert.are.same({ 255, 0, 0, 255 }, rgba(nil, 20, 20))
      assert.are.same({ 0, 0, 0, 255 }, rgba(nil, 55, 55))
    end)

    it("draws nothing for other styles and truncates the style", function()
      for _, style in ipairs { 3, -1, 99 } do
        assert.are.same({}, { O.drawTri(10, 10, 60, 10, 10, 60, 255, 255, 255, 255, style) })
        assert.are.equal(0, lit())
      end
      O.drawTri(10, 10, 60, 10, 10, 60, 255, 255, 255, 255, 2.9)
      assert.are.same({ 255, 255, 255, 255 }, rgba(nil, 20, 20))
      black()
      O.drawTri(10, 10, 60, 10, 10, 60, 255, 255, 255, 255, -0.5)
      assert.are.same({ 0, 0, 0, 255 }, rgba(nil, 20, 20))
      assert.are.same({ 10, 10, 60, 60 }, box_of())
      black()
      O.drawTri(10, 10, 60, 10, 10, 60, 255, 255, 255, 255) -- missing style: outline
      assert.are.same({ 0, 0, 0, 255 }, rgba(nil, 20, 20))
      assert.are.same({ 10, 10, 60, 60 }, box_of())
    end)

    it("narrows coordinates to signed 16 bits and keeps the low 8 bits of components", function()
      O.drawTri(40000, 0, 30, 0, 30, 30, 256, 511, 0, 255, 2)
      -- x1 arrives as -25536: the filled part on screen starts at column 0
      assert.are.equal(0, box_of()[1])
      assert.are.equal(30, box_of()[3])
      assert.is_true(T.count(nil, 0, 255, 0) > 0)
      assert.are.equal(T.count(nil, 0, 255, 0), lit())
    end)

    it("draws on a target surface, on the screen for non-userdata targets, nowhere for dead handles", function()
      local s = O.makeSurf(30, 30)
      T.clear(s, 0, 0, 0)
      O.drawTri(0, 0, 29, 0, 0, 29, 255, 255, 255, 255, 2, s)
      assert.are.equal(0, lit())
      assert.are.same({ 0, 0, 29, 29 }, box_of(s))
      local freed = O.makeSurf(4, 4)
      O.freeSurf(freed)
      for _, dst in ipairs { freed, font, io.stdout } do
        for style = 0, 2 do O.drawTri(0, 0, 29, 0, 0, 29, 255, 255, 255, 255, style, dst) end
      end
      assert.are.equal(0, lit())
      O.drawTri(0, 0, 29, 0, 0, 29, 255, 255, 255, 255, 2, 7)
      assert.are.same({ 0, 0, 29, 29 }, box_of())
      O.freeSurf(s)
    end)

    it("stays inside the target for coordinates at the ends of the 16-bit range", function()
      local s = O.makeSurf(20, 10)
      for style = 0, 2 do
        T.clear(s, 0, 0, 0)
        O.drawTri(-32768, -32768, 32767, -32768, 0, 32767, 255, 255, 255, 255, style, s)
      end
      -- a triangle much larger than the target covers all of it
      T.clear(s, 0, 0, 0)
      O.drawTri(-1000, -1000, 3000, -1000, -1000, 3000, 255, 255, 255, 255, 2, s)
      assert.are.equal(200, T.count(s, 255, 255, 255))
      O.freeSurf(s)
      assert.are.equal(0, lit())
    end)
  end)
end)

describe("shapes without a usable screen", function()
  local function child(code, driver)
    return H.run_child("T = require 'orvixtest'\n" .. code,
      { env = { SDL_VIDEODRIVER = driver, SDL_AUDIODRIVER = "disk", SDL_DISKAUDIOFILE = "/dev/null" } })
  end

  it("draws nothing and does not crash before init and after quit", function()
    local calls = [[
      for shape = 0, 2 do for style = 0, 2 do O.draw(0, 0, 5, 5, 255, 0, 0, 255, shape, style) end end
      for style = 0, 2 do O.drawTri(0, 0, 5, 0, 0, 5, 255, 0, 0, 255, style) end
    ]]
    local status, out = child(calls .. [[
      O.init(32, 32, false, false)
      local s = O.makeSurf(4, 4)
      O.quit()
    ]] .. calls .. [[
      O.draw(0, 0, 5, 5, 255, 0, 0, 255, 1, 2, s)
      O.drawTri(0, 0, 5, 0, 0, 5, 255, 0, 0, 255, 2, s)
      print("done")
    ]], "dummy")
    assert.are.equal(0, status)
    assert.are.equal("Orvix init (32x32)\nOrvix quit\ndone\n", out)
  end)

  it("leaves the OpenGL screen alone and keeps drawing on surfaces", function()
    local status, out = child([[
      O.init(64, 48, false, true)
      for shape = 0, 2 do for style = 0, 2 do O.draw(0, 0, 20, 20, 255, 0, 0, 255, shape, style) end end
      for style = 0, 2 do O.drawTri(0, 0, 20, 0, 0, 20, 255, 0, 0, 255, style, nil) end
      local s = O.makeSurf(40, 40)
      O.fill(0, 0, 0, 0, 0, 0, 0, 255, s)
      O.draw(5, 5, 14, 14, 255, 0, 0, 255, 1, 2, s)
      O.drawTri(20, 20, 39, 20, 20, 39, 0, 255, 0, 255, 2, s)
      print(T.count(s, 255, 0, 0), T.count(s, 0, 255, 0) > 150)
    ]], "x11")
    assert.are.equal(0, status)
    assert.are.equal("Orvix init (64x48), OpenGL mode\n100\ttrue\n", out)
  end)
end)
