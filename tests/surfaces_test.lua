-- Surfaces and pixels: loadImage, makeSurf, blit, freeSurf, fill, putpix and
-- the exported putpixel, checked on the pixels they leave behind.
local H = require "helpers"
local O = require "orvixcore"
local T = require "orvixtest"

local W, H_ = 320, 240
local BG = { 10, 20, 30 }
local A = H.assets

T.setenv("SDL_VIDEODRIVER", "x11")

-- Runs code in a child process on the given video driver; returns status and stdout.
local function child(code, driver, extra_env)
  local env = { SDL_VIDEODRIVER = driver or "dummy", SDL_AUDIODRIVER = "disk", SDL_DISKAUDIOFILE = "/dev/null" }
  for k, v in pairs(extra_env or {}) do env[k] = v end
  local status, out = H.run_child("T = require 'orvixtest'\n" .. code, { env = env })
  return status, out
end

local function clear_screen()
  T.clear(nil, BG[1], BG[2], BG[3])
end

local function screen_untouched()
  return T.count(nil, BG[1], BG[2], BG[3]) == W * H_
end

local function rgba(s, x, y)
  return { T.rgba(s, x, y) }
end

-- 0-based byte offsets at which two strings of equal length differ.
local function diff_offsets(a, b)
  assert.are.equal(#a, #b)
  local t = {}
  for i = 1, #a do
    if a:byte(i) ~= b:byte(i) then t[#t + 1] = i - 1 end
  end
  return t
end

local function near(a, b, tol)
  return math.abs(a - b) <= tol
end

-- A surface filled with one colour, through the test module rather than fill.
local function solid(w, h, r, g, b, a)
  local s = O.makeSurf(w, h)
  T.clear(s, r, g, b, a or 255)
  return s
end

describe("surfaces", function()
  local font

  setup(function()
    O.init(W, H_, false, false)
    font = O.loadFont(H.sans, 14)
  end)

  teardown(function()
    O.quit()
  end)

  before_each(clear_screen)

  describe("loadImage", function()
    it("loads a PNG with its per-pixel alpha into a 4-byte surface", function()
      local s, w, h = O.loadImage(A .. "/sprite.png")
      assert.are.equal("userdata", type(s))
      assert.are.same({ 32, 32 }, { w, h })
      local info = T.surface(s)
      assert.are.same({ 32, 32, 4 }, { info.w, info.h, info.bytes })
      assert.are_not.equal(0, info.Amask)
      assert.are.same({ 255, 0, 0, 255 }, rgba(s, 16, 16))
      assert.are.equal(0, rgba(s, 1, 30)[4])
      local band = rgba(s, 0, 1)
      assert.is_true(near(band[2], 255, 2) and band[1] == 0 and band[3] == 0)
      assert.is_true(near(band[4], 128, 2), "band alpha " .. band[4])
      O.freeSurf(s)
    end)

    it("loads a BMP", function()
      local s, w, h = O.loadImage(A .. "/halves.bmp")
      assert.are.same({ 16, 8 }, { w, h })
      assert.are.same({ 0, 0, 255, 255 }, rgba(s, 2, 4))
      assert.are.same({ 255, 255, 0, 255 }, rgba(s, 12, 4))
      O.freeSurf(s)
    end)

    it("loads a JPEG", function()
      local s, w, h = O.loadImage(A .. "/flat.jpg")
      assert.are.same({ 20, 10 }, { w, h })
      local p = rgba(s, 10, 5)
      assert.is_true(near(p[1], 0x30, 4) and near(p[2], 0xa0, 4) and near(p[3], 0x50, 4), table.concat(p, ","))
      assert.are.equal(255, p[4])
      O.freeSurf(s)
    end)

    it("ends the process with the message when the file is missing or not an image", function()
      for _, path in ipairs { "/nonexistent/missing.png", A .. "/not_an_image.png" } do
        local status, out = child(("O.init(64, 64, false, false)\nO.loadImage(%q)\nprint('returned')\n"):format(path))
        assert.are.equal(1, status)
        assert.are.equal("Orvix init (64x64)\nCouldn't load image " .. path .. ". Exiting.\n", out)
      end
    end)

    it("takes a number in its string form as the path", function()
      local status, out = child("O.init(64, 64, false, false)\nO.loadImage(123)\n")
      assert.are.equal(1, status)
      assert.are.equal("Orvix init (64x64)\nCouldn't load image 123. Exiting.\n", out)
    end)

    it("fails like a missing file when there is no path at all", function()
      for _, arg in ipairs { "", "nil", "{}", "true" } do
        local status, out = child("O.init(64, 64, false, false)\nO.loadImage(" .. arg .. ")\n")
        assert.are.equal(1, status)
        assert.are.equal("Orvix init (64x64)\nCouldn't load image (null). Exiting.\n", out)
      end
    end)

    it("fails with the message before init and after quit, when there is no display format", function()
      local path = A .. "/sprite.png"
      local status, out = child(("O.loadImage(%q)\n"):format(path))
      assert.are.equal(1, status)
      assert.are.equal("Couldn't load image " .. path .. ". Exiting.\n", out)
      status, out = child(("O.init(64, 64, false, false)\nO.quit()\nO.loadImage(%q)\n"):format(path))
      assert.are.equal(1, status)
      assert.are.equal("Orvix init (64x64)\nOrvix quit\nCouldn't load image " .. path .. ". Exiting.\n", out)
    end)

    it("decodes every kind of PNG into the very surface SDL_image makes", function()
      for _, name in ipairs { "sprite.png", "grey.png", "palette.png", "deep.png", "interlaced.png" } do
        local s, w, h = O.loadImage(A .. "/" .. name)
        local ref = T.img_load(A .. "/" .. name)
        assert.is_truthy(ref, name)
        assert.are.same({ T.surface(ref).w, T.surface(ref).h }, { w, h }, name)
        assert.are.equal(T.raw(ref), T.raw(s), name)
        T.free_surface(ref)
        O.freeSurf(s)
      end
    end)

    -- ImageMagick's RGBA decode of each file (NAME.rgba) is the reference,
    -- on both SDL libraries; os2.bmp's was written by hand with the file.
    -- It covers the colours SDL_image alone gets wrong: PNG greyscale and
    -- 16-bit colour with a transparent colour, CMYK JPEG, 32-bit BMP padding
    -- read as alpha, and palette BMPs on sdl12-compat.
    -- JPEG decoders may round differently, and 16-bit PNG is cut to 8 bits
    -- where ImageMagick rounds.
    it("gives ImageMagick's pixels for every kind of image", function()
      local files = {
        { "sprite.png" }, { "grey.png" }, { "palette.png" }, { "deep.png", 1 }, { "interlaced.png" },
        { "grey_trns.png" }, { "deep_trns.png", 1 }, { "halves.bmp" }, { "sprite.bmp" }, { "padded.bmp" },
        { "palette1.bmp" }, { "palette4.bmp" }, { "palette8.bmp" }, { "os2.bmp" }, { "flat.jpg", 2 },
        { "cmyk.jpg" }, { "sprite.gif" }, { "sprite.xpm" }, { "halves.pcx" }, { "sprite24.pcx" }, { "halves.tga" },
      }
      for _, f in ipairs(files) do
        local name, tolerance = f[1], f[2] or 0
        local s, w, h = O.loadImage(A .. "/" .. name)
        local want = H.read_file(A .. "/" .. name .. ".rgba")
        assert.are.equal(w * h * 4, #want, name)
        for i = 0, w * h - 1 do
          local got, exp = { T.rgba(s, i % w, math.floor(i / w)) }, { want:byte(4 * i + 1, 4 * i + 4) }
          -- a fully transparent pixel has no colour to compare
          if exp[4] == 0 then got = { exp[1], exp[2], exp[3], got[4] } end
          for c = 1, 4 do
            assert(math.abs(got[c] - exp[c]) <= tolerance, ("%s pixel %d: got %s, ImageMagick %s"):format(name, i,
              table.concat(got, ","), table.concat(exp, ",")))
          end
        end
        O.freeSurf(s)
      end
    end)

    describe("with a damaged file", function()
      local function file(name) return H.read_file(A .. "/" .. name) end
      local function cut(name, n) return file(name):sub(1, n) end
      local function patch(name, find, at, bytes)
        local s = file(name)
        return H.splice(s, s:find(find, 1, true) - 1 + at, bytes)
      end
      local function load(data, suffix)
        return H.child_with_file(data, suffix, "O.init(64, 64, false, false)\nO.loadImage(FILE)\nprint('loaded')\n")
      end
      local cases = {
        -- past the end of the file SDL_image's reader leaves libpng stale bytes,
        -- which here read as the same gAMA chunk again and again
        { "a PNG cut inside a chunk", ".png", cut("sprite.png", 41) },
        { "a PNG with a 5 MB bKGD chunk that is not there", ".png", cut("sprite.png", 33) .. H.be(5e6, 4) .. "bKGD" },
        { "a PNG with a 5 MB tEXt chunk that is not there", ".png", cut("sprite.png", 33) .. H.be(5e6, 4) .. "tEXt" },
        { "a GIF cut inside an extension", ".gif", cut("sprite.gif", 25) },
        { "a GIF cut inside its image data", ".gif", cut("sprite.gif", 80) },
        { "a GIF wider than a surface can be", ".gif", patch("sprite.gif", ",\0\0\0\0", 5, H.le(16384, 2)) },
        { "an XPM cut inside its pixel rows", ".xpm", cut("sprite.xpm", 200) },
        { "an XPM with a row more than it holds", ".xpm", patch("sprite.xpm", '"32 32', 5, "3") },
        { "an XPM whose pixel is not one of its colours", ".xpm", patch("sprite.xpm", '"....', 1, "x") },
        { "a PCX whose lines are shorter than its width", ".pcx", H.splice(file("sprite24.pcx"), 66, H.le(8, 2)) },
      }
      for _, c in ipairs(cases) do
        it("ends the process with the message: " .. c[1], function()
          local status, out, _, path = load(c[3], c[2])
          assert.are.equal(1, status)
          assert.are.equal("Orvix init (64x64)\nCouldn't load image " .. path .. ". Exiting.\n", out)
        end)
      end

      it("loads or fails cleanly wherever a file is cut", function()
        for _, name in ipairs { "sprite.png", "palette.png", "sprite.gif", "sprite.xpm", "halves.pcx", "halves.bmp",
                                "flat.jpg", "halves.tga" } do
          local data = file(name)
          for k = 1, 6 do
            local n = math.floor(#data * k / 7)
            local status, out, _, path = load(data:sub(1, n), name:match("%.%w+$"))
            local failed = "Orvix init (64x64)\nCouldn't load image " .. path .. ". Exiting.\n"
            assert.is_true((status == 0 and out == "Orvix init (64x64)\nloaded\n") or (status == 1 and out == failed),
              ("%s cut at %d: status %s, %q"):format(name, n, tostring(status), out))
          end
        end
      end)
    end)
  end)

  describe("makeSurf", function()
    it("returns a handle and the size of a 4-byte surface with alpha", function()
      local s, w, h = O.makeSurf(64, 32)
      assert.are.equal("userdata", type(s))
      assert.are.same({ 64, 32 }, { w, h })
      local info = T.surface(s)
      assert.are.same({ 64, 32, 4, 0 }, { info.w, info.h, info.bytes, info.locked })
      assert.are_not.equal(0, info.Amask)
      O.freeSurf(s)
    end)

    it("truncates its sizes toward zero and takes numeric strings", function()
      local s, w, h = O.makeSurf(10.9, "5.7")
      assert.are.same({ 10, 5 }, { w, h })
      assert.are.same({ 10, 5 }, { T.surface(s).w, T.surface(s).h })
      O.freeSurf(s)
    end)

    it("accepts the largest sizes SDL can hold", function()
      local s, w, h = O.makeSurf(16383, 1)
      assert.are.same({ 16383, 1 }, { w, h })
      O.freeSurf(s)
      s, w, h = O.makeSurf(1, 32767)
      assert.are.same({ 1, 32767 }, { w, h })
      O.freeSurf(s)
    end)

    it("makes an empty surface for zero sizes that is harmless to use", function()
      local s, w, h = O.makeSurf(0, 0)
      assert.are.equal("userdata", type(s))
      assert.are.same({ 0, 0 }, { w, h })
      O.fill(0, 0, 0, 0, 255, 0, 0, 255, s)
      O.putpix(0, 0, 255, 0, 0, 255, s)
      O.draw(0, 0, 10, 10, 255, 0, 0, 255, 1, 2, s)
      O.blit(s, 0, 0)
      assert.is_true(screen_untouched())
      O.freeSurf(s)
    end)

    it("ends the process with the message for sizes no surface can have", function()
      for _, args in ipairs { "-1, 5", "5, -1", "16384, 1", "1, 32768", "100000, 100000", "1e12, 1e12", "-1e12, 4" } do
        local status, out = child("O.init(64, 64, false, false)\nO.makeSurf(" .. args .. ")\nprint('returned')\n")
        assert.are.equal(1, status, args)
        assert.are.equal("Orvix init (64x64)\nCouldn't create surface. Exiting.\n", out, args)
      end
    end)

    it("ends the process with the message while no display runs", function()
      local status, out = child("O.makeSurf(8, 8)\n")
      assert.are.equal(1, status)
      assert.are.equal("Couldn't create surface. Exiting.\n", out)
      status, out = child("O.init(64, 64, false, false)\nO.quit()\nO.makeSurf(8, 8)\n")
      assert.are.equal(1, status)
      assert.are.equal("Orvix init (64x64)\nOrvix quit\nCouldn't create surface. Exiting.\n", out)
    end)
  end)

  describe("blit", function()
    local halves

    setup(function()
      halves = O.loadImage(A .. "/halves.bmp")
    end)

    teardown(function()
      O.freeSurf(halves)
    end)

    it("copies the whole source with its corner at the position", function()
      assert.are.same({}, { O.blit(halves, 10, 20) })
      assert.are.same({ 0, 0, 255, 255 }, rgba(nil, 10, 20))
      assert.are.same({ 255, 255, 0, 255 }, rgba(nil, 25, 27))
      assert.are.equal(64, T.count(nil, 0, 0, 255))
      assert.are.equal(64, T.count(nil, 255, 255, 0))
      assert.are.same({ 10, 20, 25, 27 }, { T.bbox(nil, BG[1], BG[2], BG[3], 0, true) })
    end)

    it("clips a source placed at negative positions", function()
      -- 32 x 32 green with one red pixel at (10, 10): at -10, -10 the red
      -- pixel lands on (0, 0) and the visible rest is 22 x 22.
      local s = solid(32, 32, 0, 255, 0)
      O.putpix(10, 10, 255, 0, 0, 255, s)
      O.blit(s, -10, -10)
      assert.are.same({ 255, 0, 0, 255 }, rgba(nil, 0, 0))
      assert.are.equal(1, T.count(nil, 255, 0, 0))
      assert.are.equal(22 * 22 - 1, T.count(nil, 0, 255, 0))
      assert.are.same({ 0, 0, 21, 21 }, { T.bbox(nil, BG[1], BG[2], BG[3], 0, true) })
      O.freeSurf(s)

      clear_screen()
      O.blit(halves, -10, -3) -- only yellow columns 10 to 15, rows 3 to 7 stay
      assert.are.equal(6 * 5, T.count(nil, 255, 255, 0))
      assert.are.equal(0, T.count(nil, 0, 0, 255))
      assert.are.same({ 0, 0, 5, 4 }, { T.bbox(nil, 255, 255, 0) })
    end)

    it("narrows positions to signed 16 bits and truncates them", function()
      O.blit(halves, 65536 + 5.9, 65536 * 3 + 7.2)
      assert.are.same({ 5, 7, 20, 14 }, { T.bbox(nil, BG[1], BG[2], BG[3], 0, true) })
      clear_screen()
      O.blit(halves, 32768, 0) -- -32768: far off the left edge
      assert.is_true(screen_untouched())
    end)

    it("blends the source's per-pixel alpha over the target", function()
      local sprite = O.loadImage(A .. "/sprite.png")
      T.clear(nil, 0, 0, 0)
      O.blit(sprite, 0, 0)
      local band = rgba(nil, 5, 1)
      assert.is_true(band[1] == 0 and near(band[2], 128, 3) and band[3] == 0, table.concat(band, ","))
      assert.are.same({ 255, 0, 0, 255 }, rgba(nil, 16, 16))
      assert.are.same({ 0, 0, 0, 255 }, rgba(nil, 1, 30))
      O.freeSurf(sprite)
    end)

    it("draws on the screen when the target is absent, nil, a number or not a userdata", function()
      for _, target in ipairs { "absent", "nil", 5, "a string", {} } do
        clear_screen()
        if target == "absent" then
          O.blit(halves, 1, 2)
        elseif target == "nil" then
          O.blit(halves, 1, 2, nil)
        else
          O.blit(halves, 1, 2, target)
        end
        assert.are.same({ 0, 0, 255, 255 }, rgba(nil, 1, 2), tostring(target))
      end
    end)

    it("draws on a target surface and leaves the screen alone", function()
      local dst = solid(40, 30, 0, 0, 0)
      O.blit(halves, 30, 25, dst)
      assert.is_true(screen_untouched())
      assert.are.same({ 0, 0, 255, 255 }, rgba(dst, 30, 25))
      -- clipped at the right edge after 8 blue and 2 yellow columns
      assert.are.equal(8 * 5, T.count(dst, 0, 0, 255))
      assert.are.equal(2 * 5, T.count(dst, 255, 255, 0))
      O.freeSurf(dst)
    end)

    it("draws nothing from a source that is not a live surface", function()
      local freed = O.makeSurf(8, 8)
      T.clear(freed, 255, 0, 0)
      O.freeSurf(freed)
      for _, src in ipairs { freed, font, 5, "x", {}, io.stdout } do
        O.blit(src, 0, 0)
      end
      O.blit(nil, 0, 0)
      O.blit()
      assert.is_true(screen_untouched())
    end)

    it("draws nothing on a userdata target that is not a live surface", function()
      local before = T.raw(halves)
      local freed = O.makeSurf(8, 8)
      O.freeSurf(freed)
      for _, dst in ipairs { freed, font, io.stdout } do
        O.blit(halves, 0, 0, dst)
      end
      assert.is_true(screen_untouched())
      assert.are.equal(before, T.raw(halves))
    end)
  end)

  describe("freeSurf", function()
    it("kills the handle; a second free and frees of non-surfaces do nothing", function()
      local s = solid(8, 8, 255, 0, 0)
      assert.are.same({}, { O.freeSurf(s) })
      assert.are.same({}, { O.freeSurf(s) })
      O.blit(s, 0, 0)
      O.fill(0, 0, 0, 0, 255, 0, 0, 255, s)
      assert.is_true(screen_untouched())
      for _, v in ipairs { 5, "x", {}, true, io.stdout } do O.freeSurf(v) end
      O.freeSurf(nil)
      O.freeSurf()
      -- the font survives being passed to freeSurf
      O.freeSurf(font)
      O.printFont(font, "Hi", 255, 255, 255, 0, 0)
      assert.is_true(T.count(nil, 255, 255, 255) > 10)
    end)

    it("frees surfaces made by printFont like any other", function()
      local s, w = O.printFont(font, "Hello", 255, 255, 255, 0, 0, nil, true)
      assert.is_true(w > 0)
      O.freeSurf(s)
      O.blit(s, 0, 0)
      assert.is_true(screen_untouched())
    end)

    it("gives the memory back", function()
      -- In a child, so that a sanitizer's quarantine does not keep freed blocks.
      local env = {}
      if os.getenv("ASAN_OPTIONS") then env.ASAN_OPTIONS = os.getenv("ASAN_OPTIONS") .. ":quarantine_size_mb=0" end
      local status, out = child([[
        local function rss_mb()
          local f = io.open("/proc/self/statm")
          local _, res = f:read("*n", "*n")
          f:close()
          return res * 4096 / 2 ^ 20
        end
        O.init(64, 64, false, false)
        O.freeSurf(O.makeSurf(1024, 1024))
        local before = rss_mb()
        for i = 1, 60 do
          local s = O.makeSurf(1024, 1024)
          T.clear(s, 1, 2, 3)
          O.freeSurf(s)
        end
        print(string.format("%d", rss_mb() - before))
      ]], "dummy", env)
      assert.are.equal(0, status)
      local grown = tonumber(out:match("\n(%-?%d+)\n$"))
      assert.is_true(grown ~= nil and grown < 60, "RSS grew by " .. tostring(grown) .. " MB")
    end)
  end)

  describe("fill", function()
    it("fills the whole screen when both sizes are zero", function()
      assert.are.same({}, { O.fill(0, 0, 0, 0, 0, 0, 0, 255) })
      assert.are.equal(W * H_, T.count(nil, 0, 0, 0))
    end)

    it("fills the whole target when only one size is zero, ignoring position and the other size", function()
      for _, args in ipairs {
        { 100, 100, 0, 50 }, { 100, 100, 50, 0 }, { 100, 100, 0.5, 50 }, { 5, 5, 65536, 10 }, { 5, 5, 10, -65536 },
      } do
        clear_screen()
        O.fill(args[1], args[2], args[3], args[4], 255, 0, 0, 255)
        assert.are.equal(W * H_, T.count(nil, 255, 0, 0), table.concat(args, ","))
      end
    end)

    it("fills a rectangle; missing components read as 0", function()
      local s = solid(64, 64, 255, 255, 255, 255)
      O.fill(10, 20, 30, 40, nil, nil, nil, nil, s)
      assert.are.same({ 0, 0, 0, 0 }, rgba(s, 10, 20))
      assert.are.same({ 0, 0, 0, 0 }, rgba(s, 39, 59))
      assert.are.same({ 10, 20, 39, 59 }, { T.bbox(s, 0, 0, 0) })
      assert.are.equal(30 * 40, T.count(s, 0, 0, 0))
      O.freeSurf(s)

      O.fill(10, 20, 30, 40)
      assert.are.same({ 10, 20, 39, 59 }, { T.bbox(nil, 0, 0, 0) })
      assert.are.equal(30 * 40, T.count(nil, 0, 0, 0))
    end)

    it("keeps the low 8 bits of each component and stores alpha on alpha surfaces", function()
      local s = solid(8, 8, 0, 0, 0, 255)
      O.fill(0, 0, 0, 0, 300, 256 + 128, -1, 77, s)
      assert.are.same({ 44, 128, 255, 77 }, rgba(s, 3, 3))
      O.fill(2, 2, 2, 2, 1, 2, 3, 256, s) -- alpha 0 replaces, it does not blend
      assert.are.same({ 1, 2, 3, 0 }, rgba(s, 2, 2))
      assert.are.same({ 44, 128, 255, 77 }, rgba(s, 4, 4))
      O.freeSurf(s)
    end)

    it("clips at negative positions and narrows positions and sizes to 16 bits", function()
      O.fill(-5, -5, 10, 10, 255, 0, 0, 255)
      assert.are.same({ 0, 0, 4, 4 }, { T.bbox(nil, 255, 0, 0) })
      assert.are.equal(25, T.count(nil, 255, 0, 0))
      clear_screen()
      O.fill(65536 + 10, 65536 * 2 + 20, 65536 + 3, 65536 + 2, 255, 0, 0, 255)
      assert.are.same({ 10, 20, 12, 21 }, { T.bbox(nil, 255, 0, 0) })
      clear_screen()
      O.fill(-32768 - 1, 0, 5, 5, 255, 0, 0, 255) -- 32767: off the right edge
      assert.is_true(screen_untouched())
    end)

    it("fills the screen when the target is absent, nil, a number or not a userdata", function()
      for _, target in ipairs { "absent", "nil", 7, {} } do
        clear_screen()
        if target == "absent" then
          O.fill(1, 1, 2, 2, 255, 0, 0, 255)
        elseif target == "nil" then
          O.fill(1, 1, 2, 2, 255, 0, 0, 255, nil)
        else
          O.fill(1, 1, 2, 2, 255, 0, 0, 255, target)
        end
        assert.are.equal(4, T.count(nil, 255, 0, 0), tostring(target))
      end
    end)

    it("fills nothing on a userdata target that is not a live surface", function()
      local freed = O.makeSurf(8, 8)
      O.freeSurf(freed)
      local probe = O.printFont(font, "Hi", 255, 255, 255, 0, 0, nil, true)
      local before = T.raw(probe)
      for _, dst in ipairs { freed, font, io.stdout } do
        O.fill(0, 0, 0, 0, 255, 0, 0, 255, dst)
      end
      assert.is_true(screen_untouched())
      -- the font behind the handle is intact
      local again = O.printFont(font, "Hi", 255, 255, 255, 0, 0, nil, true)
      assert.are.equal(before, T.raw(again))
      O.freeSurf(probe)
      O.freeSurf(again)
    end)
  end)

  describe("putpix", function()
    it("stores the mapped colour at y * pitch + x * 4 and leaves the target unlocked", function()
      local s = solid(16, 8, 0, 0, 0, 0)
      local before = T.raw(s)
      assert.are.same({}, { O.putpix(3, 4, 255, 255, 255, 255, s) })
      local after = T.raw(s)
      local pitch = T.surface(s).pitch
      local at = 4 * pitch + 12
      assert.are.same({ at, at + 1, at + 2, at + 3 }, diff_offsets(before, after))
      -- pixel memory is in the host's byte order, little-endian here
      assert.are.equal(H.le(T.maprgba(s, 255, 255, 255, 255), 4), after:sub(at + 1, at + 4))
      assert.are.equal(0, T.surface(s).locked)
      O.freeSurf(s)
    end)

    it("replaces the pixel, alpha included, with the low 8 bits of each component", function()
      local s = solid(4, 4, 255, 0, 0, 255)
      O.putpix(1, 2, 300, 256 + 7, -1, 77, s)
      assert.are.same({ 44, 7, 255, 77 }, rgba(s, 1, 2))
      O.putpix(2, 2, 9, 9, 9, 0, s)
      assert.are.same({ 9, 9, 9, 0 }, rgba(s, 2, 2))
      O.freeSurf(s)
    end)

    it("truncates and narrows coordinates to unsigned 16 bits", function()
      local s = solid(8, 8, 0, 0, 0, 255)
      O.putpix(2.9, 3.9, 255, 255, 255, 255, s)
      assert.are.same({ 2, 3, 2, 3 }, { T.bbox(s, 255, 255, 255) })
      T.clear(s, 0, 0, 0)
      O.putpix(65536 + 5, 65536 * 4 + 1, 255, 255, 255, 255, s)
      assert.are.same({ 5, 1, 5, 1 }, { T.bbox(s, 255, 255, 255) })
      O.freeSurf(s)
    end)

    it("stores nothing outside the target; -1 arrives as 65535", function()
      local s = solid(8, 8, 0, 0, 0, 255)
      local before = T.raw(s)
      for _, p in ipairs { { -1, 0 }, { 0, -1 }, { 8, 0 }, { 0, 8 }, { 65535, 65535 }, { 7, 8 }, { -65536 - 1, 2 } } do
        O.putpix(p[1], p[2], 255, 255, 255, 255, s)
        assert.are.equal(before, T.raw(s), p[1] .. "," .. p[2])
      end
      assert.are.equal(0, T.surface(s).locked)
      O.putpix(W, 0, 255, 255, 255, 255)
      O.putpix(0, H_, 255, 255, 255, 255)
      assert.is_true(screen_untouched())
      O.freeSurf(s)
    end)

    it("sets a screen pixel when the target is absent, nil, a number or not a userdata", function()
      for _, target in ipairs { "absent", "nil", 3, "s" } do
        clear_screen()
        if target == "absent" then
          O.putpix(319, 239, 255, 0, 0, 255)
        elseif target == "nil" then
          O.putpix(319, 239, 255, 0, 0, 255, nil)
        else
          O.putpix(319, 239, 255, 0, 0, 255, target)
        end
        assert.are.same({ 255, 0, 0, 255 }, rgba(nil, 319, 239), tostring(target))
        assert.are.equal(1, T.count(nil, 255, 0, 0))
      end
      assert.are.equal(0, T.surface().locked)
    end)

    it("stores nothing on a userdata target that is not a live surface", function()
      local freed = O.makeSurf(8, 8)
      O.freeSurf(freed)
      for _, dst in ipairs { freed, font, io.stdout } do
        O.putpix(0, 0, 255, 0, 0, 255, dst)
      end
      assert.is_true(screen_untouched())
      O.printFont(font, "Hi", 255, 255, 255, 0, 0)
      assert.is_true(T.count(nil, 255, 255, 255) > 10)
    end)

    it("stores nothing when the target cannot be locked", function()
      local preload = H.build .. "/tests/liblockfail.so"
      local env = { LD_PRELOAD = ((os.getenv("LD_PRELOAD") or "") .. " " .. preload) }
      local status, out = child([[
        O.init(64, 64, false, false)
        local s = O.makeSurf(8, 8)
        local before, screen = T.raw(s), T.raw()
        O.putpix(1, 1, 255, 255, 255, 255, s)
        O.putpix(1, 1, 255, 255, 255, 255)
        print(before == T.raw(s), screen == T.raw(), T.surface(s).locked, T.surface().locked)
      ]], "dummy", env)
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (64x64)\ntrue\ttrue\t0\t0\n", out)
    end)
  end)

  describe("the exported putpixel", function()
    it("stores 1, 2, 3 and 4 byte pixels at their place", function()
      local mem, pitch = T.putpixel_bytes(1, 2, 1, 0x11223344)
      assert.are.same({ pitch + 2 }, diff_offsets(("\0"):rep(#mem), mem))
      assert.are.equal(0x44, mem:byte(pitch + 3))

      mem, pitch = T.putpixel_bytes(2, 3, 2, 0x11223344)
      assert.are.same({ 2 * pitch + 6, 2 * pitch + 7 }, diff_offsets(("\0"):rep(#mem), mem))
      assert.are.equal("\68\51", mem:sub(2 * pitch + 7, 2 * pitch + 8))

      mem, pitch = T.putpixel_bytes(3, 1, 2, 0x112233)
      assert.are.same({ 2 * pitch + 3, 2 * pitch + 4, 2 * pitch + 5 }, diff_offsets(("\0"):rep(#mem), mem))
      assert.are.equal("\51\34\17", mem:sub(2 * pitch + 4, 2 * pitch + 6))

      mem, pitch = T.putpixel_bytes(4, 3, 1, 0x11223344)
      assert.are.equal(H.le(0x11223344, 4), mem:sub(pitch + 13, pitch + 16))
      assert.are.equal(4, #diff_offsets(("\0"):rep(#mem), mem))
    end)

    it("stores nothing for other pixel sizes or outside the surface", function()
      for _, bytes in ipairs { 0, 5, 8 } do
        local mem = T.putpixel_bytes(bytes, 1, 1, 0xffffffff)
        assert.are.equal(("\0"):rep(#mem), mem, "bytes per pixel " .. bytes)
      end
      for _, p in ipairs { { 4, 0 }, { 0, 3 }, { 65535, 65535 } } do
        for bytes = 1, 4 do
          local mem = T.putpixel_bytes(bytes, p[1], p[2], 0xffffffff)
          assert.are.equal(("\0"):rep(#mem), mem)
        end
      end
    end)
  end)
  describe("orvixcore.extra", function()
    local X = require "orvixcore.extra"

    -- A surface whose every pixel is unique: red from x, green from y.
    local function patterned(w, h, alpha)
      local s = O.makeSurf(w, h)
      for y = 0, h - 1 do
        for x = 0, w - 1 do O.putpix(x, y, 10 + 15 * x, 10 + 15 * y, 77, alpha or 255, s) end
      end
      return s
    end
    -- Every pixel of a surface as a table of "r,g,b,a" strings.
    local function pixels(s)
      local t, w, h = {}, X.surfSize(s)
      for y = 0, h - 1 do
        for x = 0, w - 1 do t[#t + 1] = table.concat({ T.rgba(s, x, y) }, ",") end
      end
      return t
    end

    describe("surfSize and getPixel", function()
      it("give a live surface's size and pixels, and nil for anything else", function()
        local s = patterned(5, 3, 200)
        assert.are.same({ 5, 3 }, { X.surfSize(s) })
        assert.are.same({ 10 + 15 * 4, 10 + 15 * 2, 77, 200 }, { X.getPixel(s, 4, 2) })
        assert.are.same({ 10, 10, 77, 200 }, { X.getPixel(s, 0.9, "0") })
        -- outside, also where 16-bit narrowing would wrap back inside
        for _, p in ipairs { { -1, 0 }, { 0, -1 }, { 5, 0 }, { 0, 3 }, { 65536, 0 }, { 0 / 0, 1e300 } } do
          assert.are.same(H.pack(nil), H.pack(X.getPixel(s, p[1], p[2])), p[1] .. "," .. p[2])
        end
        O.freeSurf(s)
        for _, bad in ipairs { s, font, nil, 3, "x", {}, io.stdout } do
          assert.are.same(H.pack(nil), H.pack(X.surfSize(bad)))
          assert.are.same(H.pack(nil), H.pack(X.getPixel(bad, 0, 0)))
        end
      end)
    end)

    describe("blitPart", function()
      local src
      setup(function() src = patterned(16, 12) end)
      teardown(function() O.freeSurf(src) end)

      -- What the target must hold: each source pixel of the rectangle that
      -- lies inside the source lands at its offset from (x, y), inside the
      -- target's clip; every other pixel keeps the background.
      local function model(c, tw, th, clip)
        local want = {}
        for i = 1, tw * th do want[i] = "1,2,3,255" end
        for j = 0, c.h - 1 do
          for i = 0, c.w - 1 do
            local sx, sy, dx, dy = c.sx + i, c.sy + j, c.x + i, c.y + j
            if sx >= 0 and sy >= 0 and sx < 16 and sy < 12 and dx >= clip[1] and dy >= clip[2]
              and dx < clip[1] + clip[3] and dy < clip[2] + clip[4] then
              want[dy * tw + dx + 1] = table.concat({ 10 + 15 * sx, 10 + 15 * sy, 77, 255 }, ",")
            end
          end
        end
        return want
      end

      local cases = {
        { "inside", sx = 4, sy = 3, w = 6, h = 5, x = 7, y = 2 },
        { "the whole source", sx = 0, sy = 0, w = 16, h = 12, x = 2, y = 2 },
        { "past the source's left and top edges", sx = -3, sy = -2, w = 8, h = 6, x = 5, y = 5 },
        { "past the source's right and bottom edges", sx = 10, sy = 8, w = 10, h = 9, x = 1, y = 1 },
        { "larger than the source on every side", sx = -4, sy = -4, w = 30, h = 30, x = 0, y = 0 },
        { "off the target's left and top edges", sx = 2, sy = 2, w = 8, h = 8, x = -5, y = -3 },
        { "off the target's right and bottom edges", sx = 2, sy = 2, w = 8, h = 8, x = 16, y = 13 },
        { "across a clip rectangle", sx = 0, sy = 0, w = 16, h = 12, x = 0, y = 0, clip = { 3, 4, 5, 6 } },
        { "wholly outside the source", sx = 16, sy = 0, w = 4, h = 4, x = 0, y = 0 },
        { "of zero size", sx = 2, sy = 2, w = 0, h = 5, x = 0, y = 0 },
        { "with coordinates narrowed to 16 bits", sx = 65536 + 2, sy = 3.9, w = 65536 + 4, h = "3", x = 65536 + 1, y = -65536 + 1,
          model = { sx = 2, sy = 3, w = 4, h = 3, x = 1, y = 1 } },
      }
      for _, c in ipairs(cases) do
        it("copies a source rectangle " .. c[1], function()
          local tw, th = 20, 16
          local dst = solid(tw, th, 1, 2, 3)
          if c.clip then X.setClip(dst, c.clip[1], c.clip[2], c.clip[3], c.clip[4]) end
          assert.are.equal(0, select("#", X.blitPart(src, c.sx, c.sy, c.w, c.h, c.x, c.y, dst)))
          assert.are.same(model(c.model or c, tw, th, c.clip or { 0, 0, tw, th }), pixels(dst))
          O.freeSurf(dst)
        end)
      end

      it("draws on the window by default and nothing from a dead source or onto a dead target", function()
        X.blitPart(src, 0, 0, 2, 2, 10, 10)
        assert.are.same({ 10, 10, 77, 255 }, { T.rgba(nil, 10, 10) })
        assert.are.same({ 25, 25, 77, 255 }, { T.rgba(nil, 11, 11) })
        clear_screen()
        local dead = patterned(2, 2)
        O.freeSurf(dead)
        X.blitPart(dead, 0, 0, 2, 2, 0, 0)
        X.blitPart(src, 0, 0, 2, 2, 0, 0, dead)
        X.blitPart(font, 0, 0, 2, 2, 0, 0)
        X.blitPart(src, 0, 0, 2, 2, 0, 0, io.stdout)
        assert.is_true(screen_untouched())
      end)
    end)

    describe("blitAlpha", function()
      it("blends by the source's alpha times alpha / 255, keeping the target's alpha", function()
        -- source colour, source alpha, alpha argument, target colour and alpha, result
        local cases = {
          { { 200, 100, 50 }, 255, 128, { 0, 0, 0, 255 }, { 100, 50, 25, 255 } },
          { { 200, 100, 50 }, 128, 128, { 0, 0, 0, 255 }, { 50, 25, 12, 255 } },
          { { 0, 0, 0 }, 255, 64, { 200, 100, 50, 40 }, { 150, 75, 37, 40 } },
          { { 255, 255, 255 }, 255, 1, { 0, 0, 0, 255 }, { 0, 0, 0, 255 } },
          { { 255, 255, 255 }, 255, 254, { 0, 0, 0, 255 }, { 253, 253, 253, 255 } },
          { { 200, 100, 50 }, 0, 200, { 9, 8, 7, 255 }, { 9, 8, 7, 255 } },
        }
        for i, c in ipairs(cases) do
          local s = solid(2, 2, c[1][1], c[1][2], c[1][3], c[2])
          local dst = solid(4, 4, c[4][1], c[4][2], c[4][3], c[4][4])
          X.blitAlpha(s, 1, 1, c[3], dst)
          assert.are.same(c[5], { T.rgba(dst, 2, 2) }, "case " .. i)
          assert.are.same(c[4], { T.rgba(dst, 0, 0) }, "case " .. i)
          O.freeSurf(s)
          O.freeSurf(dst)
        end
      end)

      it("is blit at 255 and above, and draws nothing at 0 and below", function()
        local s = patterned(9, 7, 150)
        for _, a in ipairs { 255, 256, 1e300, 1 / 0 } do
          local by_blit, by_alpha = solid(12, 10, 5, 6, 7), solid(12, 10, 5, 6, 7)
          O.blit(s, 2, -1, by_blit)
          X.blitAlpha(s, 2, -1, a, by_alpha)
          assert.are.equal(T.raw(by_blit), T.raw(by_alpha), tostring(a))
          O.freeSurf(by_blit)
          O.freeSurf(by_alpha)
        end
        for _, a in ipairs { 0, 0.9, -1, -1e300, 0 / 0, "x" } do
          X.blitAlpha(s, 0, 0, a)
        end
        assert.is_true(screen_untouched())
        O.freeSurf(s)
      end)

      it("clips like blit: at the target's edges and at its clip rectangle", function()
        local s = solid(10, 10, 255, 255, 255)
        local dst = solid(8, 8, 0, 0, 0)
        X.setClip(dst, 2, 0, 8, 6)
        X.blitAlpha(s, -5, -5, 128, dst)
        X.blitAlpha(s, 6, 4, 128, dst)
        -- the first covers x 0..4, y 0..4 (clipped to x >= 2); the second x 6..7, y 4..5
        assert.are.equal(3 * 5 + 2 * 2, T.count(dst, 127, 127, 127))
        assert.are.equal(64 - 19, T.count(dst, 0, 0, 0))
        assert.are.same({ 0, 0, 0, 255 }, { T.rgba(dst, 1, 1) })
        O.freeSurf(s)
        O.freeSurf(dst)
      end)
    end)

    describe("rotozoom", function()
      -- Quadrants: red top left, green top right, blue bottom left, white
      -- bottom right.
      local function quadrants(w, h)
        local s = solid(w, h, 255, 0, 0)
        O.fill(w / 2, 0, w / 2, h / 2, 0, 255, 0, 255, s)
        O.fill(0, h / 2, w / 2, h / 2, 0, 0, 255, 255, s)
        O.fill(w / 2, h / 2, w / 2, h / 2, 255, 255, 255, 255, s)
        return s
      end
      local function colour(s, x, y) return table.concat({ T.rgba(s, x, y) }, ",", 1, 3) end

      it("makes the sizes SDL_gfx makes at 0, 90 and 45 degrees and at other zooms", function()
        local s = quadrants(32, 16)
        local cases = {
          { 0, 1, 32, 16 }, { 0.0005, 1, 32, 16 }, { 90, 1, 18, 32 }, { -90, 1, 18, 32 }, { 45, 1, 34, 34 },
          { 0, 2, 64, 32 }, { 0, 0.5, 16, 8 }, { 0, -1, 32, 16 }, { 0, 0, 1, 1 }, { 360, 1, 34, 18 },
        }
        for _, c in ipairs(cases) do
          for _, smooth in ipairs { false, true } do
            local r, w, h = X.rotozoom(s, c[1], c[2], smooth)
            assert.are.same({ c[3], c[4] }, { w, h }, c[1] .. " degrees, zoom " .. c[2])
            assert.are.same({ w, h }, { X.surfSize(r) })
            assert.are.same({ 4, 0xFF000000 }, { T.surface(r).bytes, T.surface(r).Amask })
            O.freeSurf(r)
          end
        end
        O.freeSurf(s)
      end)

      it("turns counter-clockwise, keeps the pixels at 0 degrees and zoom 1, and zooms by whole pixels", function()
        local s = quadrants(16, 16)
        for _, smooth in ipairs { false, true } do
          local same = X.rotozoom(s, 0, 1, smooth)
          assert.are.equal(T.raw(s), T.raw(same))
          O.freeSurf(same)
        end
        local r, w, h = X.rotozoom(s, 90, 1)
        assert.are.same({ 16, 16 }, { w, h })
        assert.are.same({ "0,255,0", "255,0,0", "255,255,255", "0,0,255" },
          { colour(r, 4, 4), colour(r, 4, 11), colour(r, 11, 4), colour(r, 11, 11) })
        O.freeSurf(r)
        local z = X.rotozoom(s, 0, 2)
        for y = 0, 31 do
          for x = 0, 31 do assert.are.equal(colour(s, math.floor(x / 2), math.floor(y / 2)), colour(z, x, y)) end
        end
        O.freeSurf(z)
        O.freeSurf(s)
      end)

      it("keeps opaque black opaque and the corners outside the turned square transparent, and blits like any handle", function()
        local s = solid(20, 20, 0, 0, 0)
        local r = X.rotozoom(s, 45, 1)
        local w, h = X.surfSize(r)
        assert.are.same({ 0, 0, 0, 255 }, { T.rgba(r, w / 2, h / 2) })
        assert.are.same({ 0, 0, 0, 0 }, { T.rgba(r, 0, 0) })
        -- the same blit as a copy made by SDL's own conversion
        local p = patterned(12, 10, 140)
        local turned, copy = X.rotozoom(p, 33, 1.3, true), nil
        copy = X.mirror(turned, false, false)
        local a, b = solid(40, 40, 50, 100, 150), solid(40, 40, 50, 100, 150)
        O.blit(turned, 3, 3, a)
        O.blit(copy, 3, 3, b)
        assert.are.equal(T.raw(b), T.raw(a))
        for _, x in ipairs { p, turned, copy, a, b } do O.freeSurf(x) end
        O.freeSurf(r)
        O.freeSurf(s)
      end)

      it("gives nil and a message when it cannot, and nil for a dead surface", function()
        local s = solid(8, 8, 1, 1, 1)
        local empty = O.makeSurf(0, 5)
        local cases = {
          { { s, 0 / 0, 1 }, "rotozoom: angle and zoom must be finite numbers" },
          { { s, 0, 1 / 0 }, "rotozoom: angle and zoom must be finite numbers" },
          { { s, 0, 5000 }, "rotozoom: the result would be larger than a surface can be" },
          { { s, 30, -1e300 }, "rotozoom: the result would be larger than a surface can be" },
          { { empty, 10, 1 }, "rotozoom: the surface has no pixels" },
        }
        for _, c in ipairs(cases) do
          assert.are.same(H.pack(nil, c[2]), H.pack(X.rotozoom(unpack(c[1]))))
        end
        O.freeSurf(empty)
        O.freeSurf(s)
        for _, bad in ipairs { s, font, nil, 1 } do
          assert.are.same(H.pack(nil), H.pack(X.rotozoom(bad, 10, 1)))
        end
      end)
    end)

    describe("mirror", function()
      it("flips a new copy horizontally, vertically or both, without the source's clip", function()
        local s = patterned(5, 4, 180)
        X.setClip(s, 1, 1, 2, 2)
        local want = pixels(s)
        local function at(t, x, y) return t[y * 5 + x + 1] end
        for _, c in ipairs { { false, false }, { true, false }, { false, true }, { true, true }, { 0, nil } } do
          local m, w, h = X.mirror(s, c[1], c[2])
          assert.are.same({ 5, 4 }, { w, h })
          local got = pixels(m)
          for y = 0, 3 do
            for x = 0, 4 do
              local fx, fy = c[1] and 4 - x or x, c[2] and 3 - y or y
              assert.are.equal(at(want, fx, fy), at(got, x, y))
            end
          end
          local info = T.surface(m)
          assert.are.same({ 0, 0, 5, 4 }, { info.clip_x, info.clip_y, info.clip_w, info.clip_h })
          O.freeSurf(m)
        end
        assert.are.same(want, pixels(s))
        O.freeSurf(s)
        assert.are.same(H.pack(nil), H.pack(X.mirror(s, true, true)))
      end)
    end)

    describe("setClip", function()
      after_each(function() X.setClip() end)

      it("limits fills, blits, shapes and text on the window until it is cleared", function()
        X.setClip(nil, 100, 50, 40, 30)
        local s = solid(300, 200, 255, 0, 0)
        O.fill(0, 0, 0, 0, 0, 255, 0, 255)
        O.blit(s, 0, 0)
        O.draw(0, 0, 319, 239, 0, 0, 255, 255, 1, 2)
        O.printFont(font, "WWWWWWWWWWWWWWWWWWWWWWWWWWW", 255, 255, 255, 0, 60)
        assert.are.same({ 100, 50, 139, 79 }, { T.bbox(nil, BG[1], BG[2], BG[3], 0, true) })
        X.setClip(nil)
        O.fill(0, 0, 0, 0, 0, 255, 0, 255)
        assert.are.equal(W * H_, T.count(nil, 0, 255, 0))
        O.freeSurf(s)
      end)

      it("is cut to the target, may be empty, and leaves putpix alone", function()
        local s = solid(10, 10, 0, 0, 0)
        local cases = {
          { { 2, 3, 4, 5 }, { 2, 3, 4, 5 } },
          { { -5, -5, 10, 10 }, { 0, 0, 5, 5 } },
          { { 8, 8, 100, 100 }, { 8, 8, 2, 2 } },
          { { 20, 20, 5, 5 }, "empty" },
          { { 3, 3, 0, 4 }, "empty" },
          { { -8, 2, 5, 4 }, "empty" },
          { { 65536 + 1, 2, 3, 4 }, { 1, 2, 3, 4 } },
        }
        for _, c in ipairs(cases) do
          X.setClip(s, unpack(c[1]))
          local info = T.surface(s)
          if c[2] == "empty" then
            -- where an empty clip lies is SDL's business
            assert.are.same({ 0, 0 }, { info.clip_w, info.clip_h }, table.concat(c[1], ","))
          else
            assert.are.same(c[2], { info.clip_x, info.clip_y, info.clip_w, info.clip_h }, table.concat(c[1], ","))
          end
        end
        X.setClip(s, 20, 20, 5, 5)
        O.putpix(1, 1, 9, 9, 9, 255, s)
        O.fill(0, 0, 0, 0, 255, 0, 0, 255, s)
        assert.are.same({ 9, 9, 9, 255 }, { T.rgba(s, 1, 1) })
        assert.are.equal(0, T.count(s, 255, 0, 0))
        X.setClip(s)
        assert.are.same({ 0, 0, 10, 10 }, { T.surface(s).clip_x, T.surface(s).clip_y, T.surface(s).clip_w, T.surface(s).clip_h })
        O.freeSurf(s)
        X.setClip(s, 1, 1, 1, 1) -- freed: nothing happens
        X.setClip(io.stdout, 1, 1, 1, 1)
      end)
    end)

    describe("saveImage", function()
      it("writes a PNG that loadImage reads back with the same pixels, alpha included", function()
        local s = patterned(7, 5, 0)
        O.fill(1, 1, 3, 2, 40, 50, 60, 128, s)
        O.putpix(6, 4, 255, 255, 255, 255, s)
        local path = H.tmpname(".png")
        assert.are.same(H.pack(true), H.pack(X.saveImage(s, path)))
        local back, w, h = O.loadImage(path)
        assert.are.same({ 7, 5 }, { w, h })
        assert.are.equal(T.raw(s), T.raw(back))
        O.freeSurf(back)
        O.freeSurf(s)
        os.remove(path)
      end)

      it("saves the window, opaque", function()
        O.fill(0, 0, 0, 0, 30, 60, 90, 255)
        O.fill(10, 20, 5, 5, 250, 0, 0, 255)
        local path = H.tmpname(".png")
        assert.is_true(X.saveImage(nil, path))
        local back, w, h = O.loadImage(path)
        assert.are.same({ W, H_ }, { w, h })
        assert.are.same({ 250, 0, 0, 255 }, { T.rgba(back, 12, 22) })
        assert.are.same({ 30, 60, 90, 255 }, { T.rgba(back, 0, 0) })
        O.freeSurf(back)
        os.remove(path)
      end)

      it("fails with nil and a message, leaving no file, and gives nil for a dead surface", function()
        local s = solid(3, 3, 1, 2, 3)
        local empty = O.makeSurf(0, 3)
        local cases = {
          { s, "/nonexistent/dir/x.png", "^saveImage: cannot write /nonexistent/dir/x%.png: " },
          { s, H.source, "^saveImage: cannot write " },
          { s, nil, "^saveImage: no path$" },
          { empty, "/tmp/never-written.png", "^saveImage: the surface has no pixels$" },
        }
        for _, c in ipairs(cases) do
          local r = H.pack(X.saveImage(c[1], c[2]))
          assert.are.equal(2, r.n)
          assert.is_nil(r[1])
          assert.matches(c[3], r[2])
        end
        assert.is_nil(H.read_file("/tmp/never-written.png"))
        O.freeSurf(s)
        O.freeSurf(empty)
        assert.are.same(H.pack(nil), H.pack(X.saveImage(s, "/tmp/never-written.png")))
        assert.are.same(H.pack(nil), H.pack(X.saveImage(font, "/tmp/never-written.png")))
        assert.is_nil(H.read_file("/tmp/never-written.png"))
      end)
    end)
  end)

end)

describe("surfaces without a usable screen", function()
  it("draws nothing and does not crash before init and after quit", function()
    local calls = [[
      O.fill(0, 0, 0, 0, 255, 0, 0, 255)
      O.fill(0, 0, 0, 0, 255, 0, 0, 255, 3)
      O.putpix(1, 1, 255, 0, 0, 255)
      O.blit(nil, 0, 0)
      O.freeSurf(nil)
    ]]
    local status, out = child(calls .. [[
      print("before init")
      O.init(32, 32, false, false)
      local s = O.makeSurf(4, 4)
      O.quit()
    ]] .. calls .. [[
      O.blit(s, 0, 0)
      O.fill(0, 0, 0, 0, 255, 0, 0, 255, s)
      O.putpix(1, 1, 255, 0, 0, 255, s)
      O.freeSurf(s)
      O.freeSurf(s)
      print("after quit")
    ]])
    assert.are.equal(0, status)
    assert.are.equal("before init\nOrvix init (32x32)\nOrvix quit\nafter quit\n", out)
  end)

  it("leaves the OpenGL screen alone and keeps off-screen surfaces working", function()
    local status, out = child(([[
      O.init(64, 48, false, true)
      O.fill(0, 0, 0, 0, 255, 0, 0, 255)
      O.fill(1, 1, 5, 5, 255, 0, 0, 255, nil)
      O.putpix(1, 1, 255, 0, 0, 255)
      local img, w, h = O.loadImage(%q)
      O.blit(img, 0, 0)
      O.blit(img, 0, 0, 2)
      print(w, h, T.rgba(img, 12, 4))
      local s = O.makeSurf(20, 10)
      O.fill(0, 0, 0, 0, 0, 0, 0, 255, s)
      O.fill(2, 2, 3, 3, 255, 0, 0, 255, s)
      O.putpix(10, 5, 0, 255, 0, 255, s)
      O.blit(img, 4, 0, s)
      print(T.count(s, 255, 0, 0), T.count(s, 0, 255, 0), T.count(s, 0, 0, 255), T.count(s, 255, 255, 0))
      O.freeSurf(s)
      O.freeSurf(img)
      print(T.globals().gl_on)
    ]]):format(A .. "/halves.bmp"), "x11")
    assert.are.equal(0, status)
    -- red 3x3; the halves image covers x 4..19, which hides the red square's
    -- columns 4 and the green pixel at (10, 5)
    assert.are.equal("Orvix init (64x48), OpenGL mode\n16\t8\t255\t255\t0\t255\n6\t0\t64\t64\n2\n", out)
  end)
end)
