-- vtxpack without an OpenGL context: the byte layout of number arrays, the
-- errors of makeArray, and the setters' refusal of anything that is not a
-- number array. Pointer state and drawing under a real context: gl_test.lua.
local V = require "vtxpack"
local T = require "orvixtest"
local H = require "helpers"

local unpack = unpack or table.unpack
local SRC = debug.getinfo(1, "S").short_src

-- Little-endian IEEE 754 bytes of a few doubles, written out by hand so the
-- layout check does not go through the probe's own decoding.
local D1 = "\0\0\0\0\0\0\240\63"   -- 1.0 = 0x3FF0000000000000
local D2 = "\0\0\0\0\0\0\0\64"     -- 2.0 = 0x4000000000000000
local D3 = "\0\0\0\0\0\0\8\64"     -- 3.0 = 0x4008000000000000

-- The values stored in an array, read at 4 + 8(k - 1).
local function values(a)
  local n = T.ud_int32(a, 0)
  local t = {}
  for k = 1, n do t[k] = T.ud_double(a, 4 + 8 * (k - 1)) end
  return t
end

-- Removes the given keys from a sequence while its length stays that of the
-- whole sequence (both hosts keep the border at the last array slot when it is
-- filled), so that makeArray meets nil inside the length.
local function holes(t, ...)
  local n = #t
  for _, k in ipairs({ ... }) do t[k] = nil end
  assert(#t == n, "the length operator no longer spans the holes")
  return t
end

-- Calls f with the arguments from a Lua function, so that the error carries
-- that function's position; returns the message and the expected prefix.
local function error_of(f, ...)
  local args = H.pack(...)
  local line
  local ok, err = pcall(function()
    line = debug.getinfo(1, "l").currentline; local r = f(unpack(args, 1, args.n)); return r
  end)
  assert.is_false(ok, "the call succeeded")
  return err, SRC .. ":" .. line .. ": "
end

describe("makeArray", function()
  describe("block layout", function()
    it("packs the empty table into 4 bytes with the count 0", function()
      local a = V.makeArray({})
      assert.are.equal("userdata", type(a))
      assert.are.equal(4, T.ud_len(a))
      assert.are.equal("\0\0\0\0", T.ud_bytes(a))
    end)

    it("packs {1, 2, 3} into 28 bytes: the count, then doubles from byte 4 without padding", function()
      local a = V.makeArray({ 1, 2, 3 })
      assert.are.equal(28, T.ud_len(a))
      assert.are.equal("\3\0\0\0" .. D1 .. D2 .. D3, T.ud_bytes(a))
      assert.are.equal(3, T.ud_int32(a, 0))
      assert.are.equal(1, T.ud_double(a, 4))
      assert.are.equal(2, T.ud_double(a, 12))
      assert.are.equal(3, T.ud_double(a, 20))
    end)

    it("keeps seven values exactly: the count need not be a multiple of 3", function()
      local src = { -1.5, 0, 1e300, 2 ^ 53 + 2, -2 ^ -1074, math.huge, 0.1 }
      local a = V.makeArray(src)
      assert.are.equal(4 + 8 * 7, T.ud_len(a))
      assert.are.same(src, values(a))
    end)

    it("stores NaN as NaN", function()
      local v = values(V.makeArray({ 0 / 0 }))[1]
      assert.is_true(v ~= v)
    end)

    it("ignores keys outside the sequence", function()
      local a = V.makeArray({ 10, 20, x = 5, [0] = 7, [-1] = 8, [2.5] = 9 })
      assert.are.equal(4 + 8 * 2, T.ud_len(a))
      assert.are.same({ 10, 20 }, values(a))
    end)

    it("reads elements with ordinary indexing, so __index fills the holes", function()
      local t = setmetatable(holes({ 1, 2, 3, 4 }, 2), { __index = function(_, k) return k * 10 end })
      assert.are.same({ 1, 20, 3, 4 }, values(V.makeArray(t)))
      local u = setmetatable(holes({ 1, 2, 3, 4 }, 2, 3), { __index = { [2] = 7, [3] = "8" } })
      assert.are.same({ 1, 7, 8, 4 }, values(V.makeArray(u)))
    end)

    it("accepts strings that read as numbers", function()
      assert.are.same({ 2.5, -4, 100, 7 }, values(V.makeArray({ "2.5", "-4", "1e2", " 7 " })))
    end)

    it("takes the last argument as the table", function()
      assert.are.same({ 4, 5 }, values(V.makeArray(99, "x", { 4, 5 })))
      assert.are.same({ 6 }, values(V.makeArray({ 1, 2, 3 }, { 6 })))
    end)

    it("returns one new array without a metatable per call, and does not touch the table", function()
      local t = { 1, 2, 3 }
      local r = H.pack(V.makeArray(t))
      assert.are.equal(1, r.n)
      assert.is_nil(getmetatable(r[1]))
      local b = V.makeArray(t)
      assert.are_not.equal(T.ud_addr(r[1]), T.ud_addr(b))
      assert.are.same({ 1, 2, 3 }, t)
    end)

    it("packs a large table in full", function()
      local t = {}
      for k = 1, 30000 do t[k] = k * 0.5 end
      local a = V.makeArray(t)
      assert.are.equal(4 + 8 * 30000, T.ud_len(a))
      assert.are.equal(30000, T.ud_int32(a, 0))
      assert.are.equal(0.5, T.ud_double(a, 4))
      assert.are.equal(15000, T.ud_double(a, 4 + 8 * 29999))
    end)

    it("leaves the array to the garbage collector", function()
      local weak = setmetatable({}, { __mode = "v" })
      weak[1] = V.makeArray({ 1, 2, 3 })
      collectgarbage()
      collectgarbage()
      assert.is_nil(weak[1])
    end)
  end)

  describe("errors", function()
    local NOT_TABLE = "Argument must be a table"
    local NOT_NUMBER = "Table must contain numbers only"

    it("'" .. NOT_TABLE .. "' unless the last argument is a table, with the caller's position", function()
      local cases = {
        { n = 0 },
        { n = 1, nil },
        { n = 1, 5 },
        { n = 1, "1" },
        { n = 1, true },
        { n = 1, io.stdout },
        { n = 2, { 1, 2 }, 5 },
        { n = 2, { 1, 2 }, nil },
      }
      for i, args in ipairs(cases) do
        local err, where = error_of(V.makeArray, unpack(args, 1, args.n))
        assert.are.equal(where .. NOT_TABLE, err, "case " .. i)
      end
    end)

    it("'" .. NOT_NUMBER .. "' for any element that is not a number, with the caller's position", function()
      local cases = {
        { true }, { false }, { {} }, { 1, "abc" }, { "" }, { "2.5x" }, { 1, 2, print },
        { 1, 2, io.stdout },
      }
      for i, t in ipairs(cases) do
        local err, where = error_of(V.makeArray, t)
        assert.are.equal(where .. NOT_NUMBER, err, "case " .. i)
      end
      -- nil inside the length: a hole that the length operator spans.
      local err, where = error_of(V.makeArray, holes({ 1, 2, 3, 4 }, 2))
      assert.are.equal(where .. NOT_NUMBER, err)
    end)

    it("checks the argument before the elements", function()
      local err, where = error_of(V.makeArray, { true }, 1)
      assert.are.equal(where .. NOT_TABLE, err)
    end)

    it("reads the elements in order and stops at the first offender", function()
      local asked = {}
      local t = setmetatable(holes({ 1, 2, 3, 4, 5, 6, 7, 8 }, 2, 3, 4), {
        __index = function(_, k)
          asked[#asked + 1] = k
          if k == 3 then return "bad" end
          return k
        end,
      })
      local err, where = error_of(V.makeArray, t)
      assert.are.equal(where .. NOT_NUMBER, err)
      assert.are.same({ 2, 3 }, asked)
    end)

    it("passes an error raised by __index through unchanged", function()
      local t = setmetatable(holes({ 1, 2, 3, 4 }, 3), { __index = function() error("lookup failed", 0) end })
      local ok, err = pcall(V.makeArray, t)
      assert.is_false(ok)
      assert.are.equal("lookup failed", err)
    end)
  end)
end)

describe("setVertexPointer and setNormalPointer", function()
  local REFUSED = "Argument must be a number array made by makeArray"
  local setters = { setVertexPointer = V.setVertexPointer, setNormalPointer = V.setNormalPointer }

  -- A raw block: a 32-bit count followed by that many bytes of doubles.
  local function block(count, ndoubles, with_metatable)
    local le = ""
    local c = count % 2 ^ 32
    for _ = 1, 4 do
      le = le .. string.char(c % 256)
      c = math.floor(c / 256)
    end
    return T.ud_new(le .. string.rep(D1, ndoubles), with_metatable)
  end

  local function refused_values()
    local array = V.makeArray({ 1, 2, 3 })
    return {
      { what = "nothing", n = 0 },
      { what = "nil", n = 1, nil },
      { what = "a number", n = 1, 5 },
      { what = "a string", n = 1, "1 2 3" },
      { what = "a table", n = 1, { 1, 2, 3 } },
      { what = "a function", n = 1, print },
      { what = "a light userdata at an array's block", n = 1, T.ud_light(array) },
      { what = "a userdata with a metatable", n = 1, io.stdout },
      { what = "an empty userdata without a metatable", n = 1, newproxy() },
      { what = "a userdata of newproxy(true)", n = 1, newproxy(true) },
      { what = "a block laid out as a number array but with a metatable", n = 1, block(3, 3, true) },
      { what = "a block shorter than its count header", n = 1, T.ud_new("\0\0\0") },
      { what = "a block too short for its count", n = 1, block(3, 2) },
      { what = "a block longer than its count", n = 1, block(2, 3) },
      { what = "a negative count", n = 1, block(-1, 0) },
      { what = "an array after another argument", n = 2, 0, array },
    }
  end

  for name, set in pairs(setters) do
    describe(name, function()
      it("refuses everything but a number array, with the caller's position", function()
        for _, case in ipairs(refused_values()) do
          local err, where = error_of(set, unpack(case, 1, case.n))
          assert.are.equal(where .. REFUSED, err, case.what)
        end
      end)

      -- Without a context OpenGL drops the call; the argument is still checked.
      it("accepts number arrays without an OpenGL context and returns nothing", function()
        for _, t in ipairs({ {}, { 1, 2, 3 }, { 1, 2, 3, 4, 5, 6, 7 } }) do
          local a = V.makeArray(t)
          local before = T.ud_bytes(a)
          local r = H.pack(set(a, "ignored"))
          assert.are.equal(0, r.n)
          assert.are.equal(before, T.ud_bytes(a))
        end
      end)

      -- The check is structural: a block laid out like a number array passes.
      it("accepts a block with the layout of a number array", function()
        assert.are.equal(0, H.pack(set(block(3, 3))).n)
      end)

      it("keeps no reference to the array", function()
        local weak = setmetatable({}, { __mode = "v" })
        weak[1] = V.makeArray({ 1, 2, 3 })
        set(weak[1])
        collectgarbage()
        collectgarbage()
        assert.is_nil(weak[1])
      end)
    end)
  end
end)
