-- A lit torus turning in the OpenGL mode.
--
-- Run with LuaJIT from the build directory:
--   LUA_CPATH="./?.so;;" luajit ../examples/gl_spin.lua
-- Escape or closing the window quits. With ORVIX_FRAMES=n it stops by itself
-- after n frames.
--
-- orvixcore opens the window and the OpenGL context, vtxpack packs the
-- geometry into arrays OpenGL draws from, and the few OpenGL calls needed
-- beyond that go straight to libGL through LuaJIT's FFI.
local ffi = require "ffi"
local O = require "orvixcore"
local V = require "vtxpack"

ffi.cdef [[
typedef unsigned int GLenum;
typedef unsigned int GLbitfield;
typedef int GLint;
typedef int GLsizei;
typedef float GLfloat;
typedef double GLdouble;
void glClearColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void glClear(GLbitfield mask);
void glEnable(GLenum cap);
void glEnableClientState(GLenum array);
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void glMatrixMode(GLenum mode);
void glLoadIdentity(void);
void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar);
void glTranslated(GLdouble x, GLdouble y, GLdouble z);
void glRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z);
void glLightfv(GLenum light, GLenum pname, const GLfloat *params);
void glMaterialfv(GLenum face, GLenum pname, const GLfloat *params);
void glMaterialf(GLenum face, GLenum pname, GLfloat param);
void glDrawArrays(GLenum mode, GLint first, GLsizei count);
]]

local GL_TRIANGLES = 0x0004
local GL_DEPTH_BUFFER_BIT = 0x0100
local GL_COLOR_BUFFER_BIT = 0x4000
local GL_FRONT = 0x0404
local GL_CULL_FACE = 0x0B44
local GL_LIGHTING = 0x0B50
local GL_DEPTH_TEST = 0x0B71
local GL_AMBIENT = 0x1200
local GL_DIFFUSE = 0x1201
local GL_SPECULAR = 0x1202
local GL_POSITION = 0x1203
local GL_SHININESS = 0x1601
local GL_MODELVIEW = 0x1700
local GL_PROJECTION = 0x1701
local GL_LIGHT0 = 0x4000
local GL_VERTEX_ARRAY = 0x8074
local GL_NORMAL_ARRAY = 0x8075

-- OpenGL is opengl32.dll on Windows. On Linux the unversioned name exists
-- only where the development files are installed.
local gl
if ffi.os == "Windows" then
  gl = ffi.load("opengl32")
else
  local ok
  ok, gl = pcall(ffi.load, "GL")
  if not ok then gl = ffi.load("libGL.so.1") end
end

local WIDTH, HEIGHT = 640, 480
local TURN_SPEED = 60 -- degrees per second

-- A torus around the z axis: ring radius R, tube radius r, split into
-- `rings` steps around the ring and `sides` steps around the tube. Returns
-- the vertices and the unit normals of its triangles, three numbers each.
local function torus(R, r, rings, sides)
  local verts, norms = {}, {}
  local function point(i, j)
    local u = 2 * math.pi * i / rings
    local v = 2 * math.pi * j / sides
    local cu, su, cv, sv = math.cos(u), math.sin(u), math.cos(v), math.sin(v)
    verts[#verts + 1] = (R + r * cv) * cu
    verts[#verts + 1] = (R + r * cv) * su
    verts[#verts + 1] = r * sv
    norms[#norms + 1] = cv * cu
    norms[#norms + 1] = cv * su
    norms[#norms + 1] = sv
  end
  for i = 0, rings - 1 do
    for j = 0, sides - 1 do
      -- Two triangles per quad, counter-clockwise seen from outside.
      point(i, j); point(i + 1, j); point(i + 1, j + 1)
      point(i, j); point(i + 1, j + 1); point(i, j + 1)
    end
  end
  return verts, norms
end

local function floats(...)
  return ffi.new("GLfloat[4]", { ... })
end

local function setup_gl()
  gl.glViewport(0, 0, WIDTH, HEIGHT)
  gl.glMatrixMode(GL_PROJECTION)
  gl.glLoadIdentity()
  local aspect = WIDTH / HEIGHT
  gl.glFrustum(-0.1 * aspect, 0.1 * aspect, -0.1, 0.1, 0.2, 20)
  gl.glMatrixMode(GL_MODELVIEW)
  gl.glLoadIdentity()

  gl.glClearColor(0.05, 0.05, 0.1, 1)
  gl.glEnable(GL_DEPTH_TEST)
  gl.glEnable(GL_CULL_FACE)
  gl.glEnable(GL_LIGHTING)
  gl.glEnable(GL_LIGHT0)
  -- Set with an identity model-view matrix: the light stays put in eye
  -- space, up and to the left of the viewer, while the torus turns.
  gl.glLightfv(GL_LIGHT0, GL_POSITION, floats(-1, 1, 1, 0))
  gl.glLightfv(GL_LIGHT0, GL_DIFFUSE, floats(1, 1, 1, 1))
  gl.glLightfv(GL_LIGHT0, GL_SPECULAR, floats(1, 1, 1, 1))
  gl.glMaterialfv(GL_FRONT, GL_AMBIENT, floats(0.15, 0.1, 0.05, 1))
  gl.glMaterialfv(GL_FRONT, GL_DIFFUSE, floats(0.9, 0.55, 0.2, 1))
  gl.glMaterialfv(GL_FRONT, GL_SPECULAR, floats(0.6, 0.6, 0.6, 1))
  gl.glMaterialf(GL_FRONT, GL_SHININESS, 40)
  gl.glEnableClientState(GL_VERTEX_ARRAY)
  gl.glEnableClientState(GL_NORMAL_ARRAY)
end

local function draw(count, angle)
  gl.glClear(GL_COLOR_BUFFER_BIT + GL_DEPTH_BUFFER_BIT)
  gl.glLoadIdentity()
  gl.glTranslated(0, 0, -4)
  gl.glRotated(angle, 1, 0.5, 0)
  gl.glRotated(angle * 0.7, 0, 0, 1)
  gl.glDrawArrays(GL_TRIANGLES, 0, count)
end

local max_frames = tonumber(os.getenv("ORVIX_FRAMES") or "")

O.init(WIDTH, HEIGHT, false, true)
setup_gl()

local verts, norms = torus(1, 0.4, 48, 24)
-- OpenGL reads these while drawing: keep them referenced for the whole run.
local vertex_array = V.makeArray(verts)
local normal_array = V.makeArray(norms)
V.setVertexPointer(vertex_array)
V.setNormalPointer(normal_array)
local count = #verts / 3

local angle, frame = 0, 0
local running = true
while running do
  -- A window close ends the process inside input.
  while true do
    local event, key = O.input()
    if event == 0 then break end
    if event == 1 and key == 27 then running = false end
  end
  if not running then break end

  draw(count, angle)
  O.flip()

  local dt = O.timer(60)
  -- The first frame's dt counts from SDL's start; a stall should not jump.
  angle = (angle + TURN_SPEED * math.min(dt, 0.1)) % 360
  frame = frame + 1
  if max_frames and frame >= max_frames then running = false end
end

O.quit()
