-- The OpenGL mode end to end on a real OpenGL (Mesa under the Xvfb fixture):
-- vtxpack's pointers as OpenGL holds them, drawing from number arrays, lit
-- shading from the normal array, buffer swaps, and the gl_spin example.
local H = require "helpers"
local T = require "orvixtest"

local GL_VERTEX_ARRAY_SIZE = 0x807A
local GL_VERTEX_ARRAY_TYPE = 0x807B
local GL_VERTEX_ARRAY_STRIDE = 0x807C
local GL_NORMAL_ARRAY_TYPE = 0x807E
local GL_NORMAL_ARRAY_STRIDE = 0x807F
local GL_DOUBLE = 0x140A

local W, H_ = 96, 64

-- One pixel of the back buffer (y up), without alpha.
local function rgb(x, y)
  local r, g, b = T.gl_read_pixel(x, y)
  return { r, g, b }
end

local function near(want, got, tol)
  for i = 1, 3 do
    if math.abs(want[i] - got[i]) > tol then return false end
  end
  return true
end

local function assert_rgb(want, x, y, tol)
  local got = rgb(x, y)
  assert(near(want, got, tol or 2), string.format("pixel (%d, %d): expected %d %d %d, got %d %d %d",
    x, y, want[1], want[2], want[3], got[1], got[2], got[3]))
end

describe("OpenGL mode", function()
  local O, V

  setup(function()
    T.setenv("SDL_VIDEODRIVER", "x11")
    O = require "orvixcore"
    V = require "vtxpack"
    O.init(W, H_, false, true)
  end)

  teardown(function()
    O.quit()
  end)

  after_each(function()
    T.gl_client_state("vertex", false)
    T.gl_client_state("normal", false)
    T.gl_light()
    assert.are.equal(0, T.gl_error())
  end)

  it("runs on a current OpenGL context", function()
    assert.is_string(T.gl_renderer())
    assert.are.equal(2, T.globals().gl_on)
  end)

  -- tests/env.sh keeps llvmpipe on the drawing thread: its rasterizer
  -- threads can write into a freed fence.
  it("renders with llvmpipe and no rasterizer threads", function()
    assert.matches("llvmpipe", T.gl_renderer())
    local p = assert(io.popen("cat /proc/" .. assert(io.open("/proc/self/stat")):read("*n") .. "/task/*/comm"))
    local names = p:read("*a")
    p:close()
    assert.matches(H.lua:match("([^/]+)$"):sub(1, 15), names)
    assert.is_nil(names:match("llvmpipe"), names)
  end)

  describe("setVertexPointer", function()
    it("hands OpenGL byte 4 of the array with size 3, GL_DOUBLE and stride 0", function()
      local a = V.makeArray({ 0, 0, 0, 1, 0, 0 })
      V.setVertexPointer(a)
      local p = T.gl_pointer("vertex")
      assert.are.equal(T.ud_addr(a) + 4, p)
      assert.are.equal(3, T.gl_integer(GL_VERTEX_ARRAY_SIZE))
      assert.are.equal(GL_DOUBLE, T.gl_integer(GL_VERTEX_ARRAY_TYPE))
      assert.are.equal(0, T.gl_integer(GL_VERTEX_ARRAY_STRIDE))
      -- The two vertices as OpenGL reads them from that address.
      local v = {}
      for k = 1, 6 do v[k] = T.ud_double(a, p - T.ud_addr(a) + 8 * (k - 1)) end
      assert.are.same({ 0, 0, 0, 1, 0, 0 }, v)
    end)

    it("moves OpenGL to each new array", function()
      local a, b = V.makeArray({ 1, 2, 3 }), V.makeArray({ 4, 5, 6, 7 })
      V.setVertexPointer(a)
      V.setVertexPointer(b)
      assert.are.equal(T.ud_addr(b) + 4, T.gl_pointer("vertex"))
      V.setVertexPointer(a)
      assert.are.equal(T.ud_addr(a) + 4, T.gl_pointer("vertex"))
    end)

    it("leaves OpenGL's pointer alone when it refuses an argument", function()
      local a, b = V.makeArray({ 1, 2, 3 }), V.makeArray({ 0, 0, 1 })
      V.setVertexPointer(a)
      V.setNormalPointer(b)
      for _, bad in ipairs({ false, 5, { 1, 2, 3 }, T.ud_light(a), io.stdout, newproxy(), T.ud_new("\1\0\0\0") }) do
        assert.is_false(pcall(V.setVertexPointer, bad))
        assert.is_false(pcall(V.setNormalPointer, bad))
      end
      assert.is_false(pcall(V.setVertexPointer))
      assert.are.equal(T.ud_addr(a) + 4, T.gl_pointer("vertex"))
      assert.are.equal(T.ud_addr(b) + 4, T.gl_pointer("normal"))
    end)

    it("draws pixels where the vertices are", function()
      T.gl_ortho(0, W, 0, H_)
      T.gl_clear(0, 0, 1)
      T.gl_color(1, 0, 0)
      -- Two triangles; only the second is drawn.
      local a = V.makeArray({
        60, 40, 0, 90, 40, 0, 60, 60, 0,
        10.5, 10, 0, 70, 10, 0, 10.5, 50, 0,
      })
      V.setVertexPointer(a)
      T.gl_client_state("vertex", true)
      T.gl_draw_triangles(3, 3)
      local red, blue = { 255, 0, 0 }, { 0, 0, 255 }
      -- Inside, near each corner and in the middle.
      assert_rgb(red, 12, 12, 0)
      assert_rgb(red, 66, 11, 0)
      assert_rgb(red, 12, 46, 0)
      assert_rgb(red, 30, 20, 0)
      -- Just outside each edge.
      assert_rgb(blue, 9, 30, 0)
      assert_rgb(blue, 40, 8, 0)
      assert_rgb(blue, 44, 30, 0)
      assert_rgb(blue, 72, 12, 0)
      -- The first triangle of the array was not drawn.
      assert_rgb(blue, 65, 45, 0)
      T.gl_draw_triangles(0, 3)
      assert_rgb(red, 65, 45, 0)
    end)
  end)

  describe("setNormalPointer", function()
    it("hands OpenGL byte 4 of the array with GL_DOUBLE and stride 0", function()
      local a = V.makeArray({ 0, 0, 1, 0, 1, 0 })
      V.setNormalPointer(a)
      assert.are.equal(T.ud_addr(a) + 4, T.gl_pointer("normal"))
      assert.are.equal(GL_DOUBLE, T.gl_integer(GL_NORMAL_ARRAY_TYPE))
      assert.are.equal(0, T.gl_integer(GL_NORMAL_ARRAY_STRIDE))
    end)

    it("leaves OpenGL's pointer alone when it refuses an argument", function()
      local a = V.makeArray({ 0, 0, 1 })
      V.setNormalPointer(a)
      assert.is_false(pcall(V.setNormalPointer, T.ud_new("\3\0\0\0")))
      assert.is_false(pcall(V.setNormalPointer, nil))
      assert.are.equal(T.ud_addr(a) + 4, T.gl_pointer("normal"))
    end)

    -- A light shining towards the viewer, no ambient term: a surface lights up
    -- by the z component of its normal, and one facing away stays black.
    it("shades with the normals taken from the array", function()
      T.gl_ortho(0, W, 0, H_)
      T.gl_clear(0, 0, 0)
      T.gl_light(0, 0, 1)
      T.gl_normal(0, 0, 1)
      -- Three squares of two triangles each, side by side.
      local tri = {}
      for s = 0, 2 do
        local x0, x1 = 8 + 28 * s, 32 + 28 * s
        for _, p in ipairs({ { x0, 8 }, { x1, 8 }, { x1, 40 }, { x0, 8 }, { x1, 40 }, { x0, 40 } }) do
          local n = #tri
          tri[n + 1], tri[n + 2], tri[n + 3] = p[1], p[2], 0
        end
      end
      local function normals(...)
        local n = {}
        for _, d in ipairs({ ... }) do
          for _ = 1, 6 do
            for i = 1, 3 do n[#n + 1] = d[i] end
          end
        end
        return V.makeArray(n)
      end
      local va = V.makeArray(tri)
      V.setVertexPointer(va)
      T.gl_client_state("vertex", true)

      -- Without the normal array every square takes the current normal.
      T.gl_draw_triangles(0, 18)
      assert_rgb({ 255, 255, 255 }, 20, 24)
      assert_rgb({ 255, 255, 255 }, 48, 24)
      assert_rgb({ 255, 255, 255 }, 76, 24)

      local na = normals({ 0, 0, 1 }, { 0, 0, -1 }, { 0.6, 0, 0.8 })
      V.setNormalPointer(na)
      T.gl_client_state("normal", true)
      T.gl_clear(0, 0, 0)
      T.gl_draw_triangles(0, 18)
      assert_rgb({ 255, 255, 255 }, 20, 24)
      assert_rgb({ 0, 0, 0 }, 48, 24)
      assert_rgb({ 204, 204, 204 }, 76, 24)

      -- Another array, other shading.
      local nb = normals({ 0, 0, -1 }, { 0.8, 0, 0.6 }, { 0, 0, 1 })
      V.setNormalPointer(nb)
      T.gl_clear(0, 0, 0)
      T.gl_draw_triangles(0, 18)
      assert_rgb({ 0, 0, 0 }, 20, 24)
      assert_rgb({ 153, 153, 153 }, 48, 24)
      assert_rgb({ 255, 255, 255 }, 76, 24)
    end)
  end)

  describe("flip", function()
    -- What the window shows, read from the X server (y down).
    local function shown(x, y)
      return { T.window_pixel(x, y) }
    end

    it("swaps the OpenGL buffers", function()
      T.gl_clear(0, 0, 1)
      O.flip()
      assert.are.same({ 0, 0, 255 }, shown(10, 10))
      T.gl_clear(1, 0, 0)
      assert.are.same({ 0, 0, 255 }, shown(10, 10))
      O.flip()
      assert.are.same({ 255, 0, 0 }, shown(10, 10))
    end)

    it("presents what was drawn from a number array", function()
      T.gl_ortho(0, W, 0, H_)
      T.gl_clear(0, 0, 0)
      T.gl_color(0, 1, 0)
      V.setVertexPointer(V.makeArray({ 0, 0, 0, 48, 0, 0, 0, 64, 0 }))
      T.gl_client_state("vertex", true)
      T.gl_draw_triangles(0, 3)
      O.flip()
      -- (4, 4) from the bottom-left is (4, 59) from the top-left.
      assert.are.same({ 0, 255, 0 }, shown(4, H_ - 1 - 4))
      assert.are.same({ 0, 0, 0 }, shown(W - 4, 4))
    end)
  end)
end)

describe("gl_spin example", function()
  local example = H.source .. "/examples/gl_spin.lua"

  -- Runs the example under LuaJIT in a child process with the test module at
  -- hand: flip is wrapped so that each frame's back buffer is sampled before
  -- it is shown; `extra` runs inside that wrapper with the frame number.
  local function run(env, extra)
    local script = H.tmpname(".lua")
    local f = assert(io.open(script, "w"))
    f:write(string.format("package.cpath = %q .. package.cpath\n", H.build .. "/?.so;" .. H.build .. "/tests/?.so;"))
    f:write([[
local O = require "orvixcore"
local T = require "orvixtest"
local frame, real_flip = 0, O.flip
local function extra(frame) ]] .. (extra or "") .. [[ end
O.flip = function()
  frame = frame + 1
  -- A grid of samples: how many differ from the clear colour in the corner,
  -- how many grey levels are among them (lighting shades the shape), and a
  -- checksum of where they are (the shape turns).
  local screen = T.surface()
  local br, bg, bb = T.gl_read_pixel(0, 0)
  local lit, levels, where, i = 0, {}, 0, 0
  for y = 2, screen.h - 1, 8 do
    for x = 2, screen.w - 1, 8 do
      i = i + 1
      local r, g, b = T.gl_read_pixel(x, y)
      if math.abs(r - br) + math.abs(g - bg) + math.abs(b - bb) > 24 then
        lit = lit + 1
        levels[math.floor((r + g + b) / 24)] = true
        where = (where * 31 + i) % 2147483647
      end
    end
  end
  local n = 0
  for _ in pairs(levels) do n = n + 1 end
  print(string.format("frame %d lit %d of %d levels %d where %d", frame, lit, i, n, where))
  extra(frame)
  return real_flip()
end
dofile(]] .. string.format("%q", example) .. [[)
print("returned")
]])
    f:close()
    local vars = { "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=/dev/null" }
    for k, v in pairs(env) do vars[#vars + 1] = k .. "=" .. H.shell_quote(v) end
    local out = H.tmpname(".out")
    local p = assert(io.popen("env " .. table.concat(vars, " ") .. " luajit " .. H.shell_quote(script)
      .. " >" .. H.shell_quote(out) .. " 2>&1; echo $?"))
    local status = tonumber(p:read("*l"))
    p:close()
    local stdout = H.read_file(out) or ""
    os.remove(script)
    os.remove(out)
    local frames = {}
    for n, lit, samples, levels, where in stdout:gmatch("frame (%d+) lit (%d+) of (%d+) levels (%d+) where (%d+)") do
      frames[#frames + 1] = { n = tonumber(n), lit = tonumber(lit), samples = tonumber(samples),
        levels = tonumber(levels), where = where }
    end
    return status, stdout, frames
  end

  it("draws a lit, turning shape for ORVIX_FRAMES frames and exits 0", function()
    local status, stdout, frames = run({ ORVIX_FRAMES = "12" })
    assert.are.equal(0, status, stdout)
    assert.are.equal(12, #frames, stdout)
    assert.truthy(stdout:find("returned\n", 1, true), stdout)
    for _, fr in ipairs(frames) do
      -- The shape covers a good part of the window but not all of it.
      assert.is_true(fr.lit > fr.samples / 20 and fr.lit < fr.samples / 2, stdout)
      assert.is_true(fr.levels >= 4, stdout)
    end
    -- It turns: the first and last frames cover different pixels.
    assert.are_not.equal(frames[1].where, frames[#frames].where)
  end)

  it("quits on Escape", function()
    local status, stdout, frames = run({}, [[if frame == 3 then T.key(27, true) end]])
    assert.are.equal(0, status, stdout)
    assert.are.equal(3, #frames, stdout)
    assert.truthy(stdout:find("Orvix quit\nreturned\n", 1, true), stdout)
  end)

  it("ends the process when the window is closed", function()
    local status, stdout, frames = run({}, [[if frame == 2 then T.quit_event() end]])
    assert.are.equal(0, status, stdout)
    assert.are.equal(2, #frames, stdout)
    assert.falsy(stdout:find("returned", 1, true), stdout)
  end)
end)
