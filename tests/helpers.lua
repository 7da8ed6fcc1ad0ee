-- Shared helpers for the busted tests.
local M = {}

M.build = os.getenv("ORVIX_BUILD") or "build"
M.source = os.getenv("ORVIX_SOURCE") or "."
M.assets = os.getenv("ORVIX_ASSETS") or (M.build .. "/assets")
M.lua = os.getenv("ORVIX_LUA") or "lua5.1"
-- The SDL 1.2 library this run is on: "classic" (SDL 1.2.15) or "compat"
-- (sdl12-compat, chosen with LD_LIBRARY_PATH by scripts/test.sh).
M.sdl = os.getenv("ORVIX_SDL") or ""
if M.sdl == "" then M.sdl = "classic" end
M.fonts = "/usr/share/fonts/truetype/dejavu"
M.sans = M.fonts .. "/DejaVuSans.ttf"
M.mono = M.fonts .. "/DejaVuSansMono.ttf"

local function shell_quote(s)
  return "'" .. tostring(s):gsub("'", "'\\''") .. "'"
end
M.shell_quote = shell_quote

local tmp_count = 0
function M.tmpname(suffix)
  tmp_count = tmp_count + 1
  local base = os.tmpname()
  os.remove(base)
  return base .. "_" .. tmp_count .. (suffix or "")
end

function M.read_file(path)
  local f = io.open(path, "rb")
  if not f then return nil end
  local s = f:read("*a")
  f:close()
  return s
end

function M.write_file(path, data)
  local f = assert(io.open(path, "wb"))
  f:write(data)
  f:close()
end

-- Little- and big-endian bytes of an unsigned integer, and s with the bytes
-- from 0-based offset `at` replaced: for building and damaging files.
function M.le(v, n)
  local t = {}
  for i = 1, n do
    t[i] = string.char(v % 256)
    v = math.floor(v / 256)
  end
  return table.concat(t)
end
function M.be(v, n) return M.le(v, n):reverse() end
function M.splice(s, at, bytes) return s:sub(1, at) .. bytes .. s:sub(at + #bytes + 1) end

-- Exclusive or of two 32-bit unsigned integers (Lua 5.1 has no bit operations).
local function xor32(a, b)
  local r, bit = 0, 1
  for _ = 1, 32 do
    local x, y = a % 2, b % 2
    if x ~= y then r = r + bit end
    a, b, bit = (a - x) / 2, (b - y) / 2, bit * 2
  end
  return r
end

-- The checksum of an Ogg page: CRC-32 with the polynomial 0x04c11db7, not
-- reflected, starting from 0, over the page with its checksum field as 0.
local crc_table
local function ogg_crc(page)
  if not crc_table then
    crc_table = {}
    for i = 0, 255 do
      local c = i * 2 ^ 24
      for _ = 1, 8 do
        if c >= 2 ^ 31 then c = xor32((c - 2 ^ 31) * 2, 0x04c11db7) else c = c * 2 end
      end
      crc_table[i] = c
    end
  end
  local crc = 0
  for i = 1, #page do
    local top = math.floor(crc / 2 ^ 24)
    crc = xor32((crc % 2 ^ 24) * 256, crc_table[xor32(top, page:byte(i))])
  end
  return crc
end

-- data with the Ogg page at 0-based offset `at` given its checksum again,
-- after its header or contents were changed.
function M.ogg_fix_page(data, at)
  local segments = data:byte(at + 27)
  local len = 27 + segments
  for i = 1, segments do len = len + data:byte(at + 27 + i) end
  local page = M.splice(data:sub(at + 1, at + len), 22, "\0\0\0\0")
  return M.splice(data, at + 22, M.le(ogg_crc(page), 4))
end

-- Runs a Lua chunk in a child process of the same host, with the modules on
-- its path. opts.env: table of extra environment variables (values may be
-- false to unset them); opts.timeout: seconds after which the child is taken
-- to be hung: the stack of each of its threads goes to its standard error and
-- it is killed (status 137; tests/watchdog.sh). Returns exit status, standard
-- output, standard error.
function M.run_child(code, opts)
  opts = opts or {}
  local script = M.tmpname(".lua")
  local out, err = M.tmpname(".out"), M.tmpname(".err")
  local f = assert(io.open(script, "w"))
  f:write("package.cpath = " .. string.format("%q", M.build .. "/?.so;" .. M.build .. "/tests/?.so;") .. " .. package.cpath\n")
  f:write("O = require 'orvixcore'\n")
  f:write(code)
  f:close()
  -- env takes its -u options before any assignment.
  local unset, set = {}, {}
  for k, v in pairs(opts.env or {}) do
    if v == false then
      unset[#unset + 1] = "-u " .. k
    else
      set[#set + 1] = k .. "=" .. shell_quote(v)
    end
  end
  local env = unset
  for _, a in ipairs(set) do env[#env + 1] = a end
  local limit = opts.timeout and ("sh " .. shell_quote(M.source .. "/tests/watchdog.sh") .. " " .. opts.timeout .. " ") or ""
  local cmd = limit .. "env " .. table.concat(env, " ") .. " " .. shell_quote(M.lua) .. " " .. shell_quote(script)
    .. " >" .. shell_quote(out) .. " 2>" .. shell_quote(err) .. "; echo $?"
  local p = assert(io.popen(cmd))
  local status = tonumber(p:read("*l"))
  p:close()
  local stdout, stderr = M.read_file(out) or "", M.read_file(err) or ""
  os.remove(script); os.remove(out); os.remove(err)
  return status, stdout, stderr
end

-- The SDL 1.2 library mapped into a process (default: this one), by its
-- file's path; nil when there is none. (SDL2 itself is there on both
-- libraries: the mixer's MIDI library links it.)
function M.sdl_maps(pid)
  local f = assert(io.open("/proc/" .. (pid or "self") .. "/maps"))
  local sdl12
  for line in f:lines() do
    local path = line:match("%s(/%S+)$")
    if path and path:match("/libSDL%-1%.2%.so") then sdl12 = path end
  end
  f:close()
  return sdl12
end

-- Runs code in a child (see run_child) with `data` in a fresh file whose
-- path, ending in suffix, the code finds in FILE; the child is killed after
-- a minute, so a load that hangs fails the test instead of stopping the run.
function M.child_with_file(data, suffix, code, env)
  local path = M.tmpname(suffix)
  M.write_file(path, data)
  local status, out, err = M.run_child(("FILE = %q\n"):format(path) .. code, { env = env, timeout = 60 })
  os.remove(path)
  return status, out, err, path
end

-- The directory of sdl12-compat's libSDL-1.2.so.0 (for LD_LIBRARY_PATH), or
-- nil when it is not installed.
function M.compat_dir()
  local p = assert(io.popen("dpkg -L libsdl1.2-compat 2>/dev/null"))
  local dir = p:read("*a"):match("\n(/%S+)/libSDL%-1%.2%.so%.0\n")
  p:close()
  return dir
end

-- X tools run without the sanitizer runtime that the tests preload.
local function x_tool(display, cmd)
  local p = assert(io.popen("env -u LD_PRELOAD DISPLAY=" .. shell_quote(display) .. " " .. cmd .. " 2>/dev/null"))
  local out = p:read("*a")
  p:close()
  return out
end

-- The id of the newest visible window of a class (SDL names it after the
-- host program) on an X server, or nil.
function M.x_window(display, class)
  return x_tool(display, "xdotool search --onlyvisible --class " .. shell_quote(class)):match("(%d+)%s*$")
end

-- Gives a window the keyboard focus and waits until it has it; true once it
-- has. A test that types must do this: with no window manager the focus
-- follows the pointer only until a program sets it, and sdl12-compat sets it
-- to its window, which leaves it on nothing when that window closes. Any
-- window opened later on that server then gets no key events.
function M.give_focus(display, window)
  x_tool(display, "timeout 10 xdotool windowfocus --sync " .. window)
  return x_tool(display, "xdotool getwindowfocus"):match("%d+") == tostring(window)
end

-- Lines of a text, without their newlines.
function M.lines(s)
  local t = {}
  for line in (s .. "\n"):gmatch("(.-)\n") do t[#t + 1] = line end
  if t[#t] == "" then t[#t] = nil end
  return t
end

-- Packs all results of a call, with their count, so that "no values" and
-- "one nil" can be told apart.
function M.pack(...)
  return { n = select("#", ...), ... }
end

return M
