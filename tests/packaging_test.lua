-- Installing: LuaRocks builds both modules from a copy of the source tree and
-- installs them into a tree of its own, from where a host loads them; and
-- `cmake --install` puts them into Lua 5.1's C module directory.
local h = require "helpers"

local q = h.shell_quote

-- The sanitizer build preloads its runtime into the hosts; the build tools
-- and the installed (uninstrumented) modules are run without it.
local CLEAN = "env -u LD_PRELOAD -u LUA_CPATH -u LUA_PATH "

-- Runs a shell command; returns its status, standard output and both
-- outputs together (for failure messages).
local function run(cmd)
  local out, err = h.tmpname(".out"), h.tmpname(".err")
  local status = os.execute(CLEAN .. "sh -c " .. q(cmd) .. " >" .. q(out) .. " 2>" .. q(err))
  local stdout, stderr = h.read_file(out) or "", h.read_file(err) or ""
  os.remove(out)
  os.remove(err)
  return status, stdout, stdout .. stderr
end

local function exists(path)
  local f = io.open(path, "rb")
  if f then f:close() end
  return f ~= nil
end

describe("packaging", function()
  local work = h.tmpname("_pkg")

  setup(function()
    -- The source as a user has it: everything but build trees and git data.
    assert(run(string.format(
      "mkdir -p %s/src && tar -C %s --exclude='./build*' --exclude=./.git --exclude=./tests/browser/node_modules -cf - . | tar -C %s/src -xf -",
      q(work), q(h.source), q(work))) == 0)
  end)

  teardown(function() os.execute("rm -rf " .. q(work)) end)

  it("luarocks make builds and installs both modules, which load from another folder", function()
    local tree = work .. "/tree"
    local status, _, log = run(string.format("cd %s/src && luarocks make --tree %s orvix-scm-1.rockspec", q(work), q(tree)))
    assert.are.equal(0, status, log)
    local cmod = tree .. "/lib/lua/5.1"
    assert.is_true(exists(cmod .. "/orvixcore.so"), log)
    assert.is_true(exists(cmod .. "/vtxpack.so"), log)
    -- the editor annotations, in the rock's own folder
    for _, f in ipairs { "orvixcore.lua", "orvixcore/extra.lua", "vtxpack.lua" } do
      assert.is_true(exists(tree .. "/lib/luarocks/rocks-5.1/orvix/scm-1/types/" .. f), f)
    end

    -- A first frame with the installed modules, from a folder that holds no
    -- module, under the test's own host.
    local script = work .. "/first_frame.lua"
    local f = assert(io.open(script, "w"))
    f:write([[
local O = require "orvixcore"
local V = require "vtxpack"
local n = 0
for _ in pairs(O) do n = n + 1 end
local m = 0
for _ in pairs(V) do m = m + 1 end
print(n, m)
O.init(64, 48)
O.fill(0, 0, 0, 0, 10, 20, 30, 255)
O.flip()
print(select("#", O.timer(60)))
O.quit()
]])
    f:close()
    local out
    status, out, log = run(string.format(
      "cd / && LUA_CPATH=%s SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null %s %s",
      q(cmod .. "/?.so"), q(h.lua), q(script)))
    assert.are.equal(0, status, log)
    assert.are.equal("32\t3\nOrvix init (64x48)\n3\nOrvix quit\n", out)
  end)

  it("cmake --install puts the modules into pkg-config's INSTALL_CMOD, below DESTDIR", function()
    local p = assert(io.popen("pkg-config --variable=INSTALL_CMOD lua5.1"))
    local cmod = p:read("*l")
    p:close()
    assert.is_truthy(cmod and cmod:match("^/"), "INSTALL_CMOD: " .. tostring(cmod))
    local dest = work .. "/dest"
    local status, _, log = run(string.format("DESTDIR=%s cmake --install %s", q(dest), q(h.build)))
    assert.are.equal(0, status, log)
    assert.is_true(exists(dest .. cmod .. "/orvixcore.so"), log)
    assert.is_true(exists(dest .. cmod .. "/vtxpack.so"), log)
    -- Only the two modules: no test module, no benchmark.
    local ls = assert(io.popen("find " .. q(dest) .. " -type f | wc -l"))
    assert.are.equal(2, tonumber(ls:read("*l")))
    ls:close()
  end)

  -- A machine with only the packages the modules need: the compiler, make
  -- and pkg-config on the PATH, and CMake's own search of the system folders
  -- turned off, so that no test, example or benchmark tool is found.
  it("configures and builds the two modules alone without the other parts' tools, naming what it leaves out", function()
    local bin = work .. "/leanbin"
    local tools = { "cc", "c++", "gcc", "g++", "cpp", "as", "ld", "ar", "ranlib", "nm", "objdump", "strip",
      "make", "pkg-config", "sh", "uname" }
    local _, found = run("mkdir -p " .. q(bin) .. " && for t in " .. table.concat(tools, " ")
      .. "; do p=$(command -v $t) && ln -sf \"$p\" " .. q(bin) .. "/$t; done; command -v cmake")
    local cmake = assert(found:match("(/%S+)"), "no cmake")
    local hidden = string.format("PATH=%s %s -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF "
      .. "'-DCMAKE_IGNORE_PATH=/usr/bin;/bin;/usr/sbin;/sbin;/usr/local/bin' -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON",
      q(bin), q(cmake))
    local src, lean = work .. "/src", work .. "/lean"
    local status, out, log = run(string.format("%s -S %s -B %s", hidden, q(src), q(lean)))
    assert.are.equal(0, status, log)
    local left = {}
    for line in out:gmatch("%-%- (Leaving out [^\n]*)") do left[#left + 1] = line end
    assert.are.same({
      "Leaving out the tests: not found: GoogleTest (libgtest-dev), lua5.1, luajit, busted (lua-busted), "
        .. "ImageMagick (imagemagick), sox, fonttosfnt (xfonts-utils), Xvfb (xvfb), xdotool, gdb, valgrind "
        .. "(-DBUILD_TESTING=ON makes this an error)",
      "Leaving out the arcade example's assets: not found: ImageMagick (imagemagick), sox "
        .. "(-DORVIX_EXAMPLES=ON makes this an error)",
      "Leaving out the benchmarks: not found: ImageMagick (imagemagick) (-DORVIX_BENCH=ON makes this an error)",
      "Leaving out the browser build's tests: not found: the tests, the arcade example's assets, "
        .. "Emscripten (emscripten), Node.js (nodejs), Chromium (chromium), "
        .. "puppeteer-core (scripts/install-deps.sh runs npm ci in tests/browser) "
        .. "(-DORVIX_WEB_TESTS=ON makes this an error)",
      "Leaving out the Windows build's tests: not found: the tests, the arcade example's assets, "
        .. "mingw-w64 (mingw-w64), nasm, Wine (wine), unzip (-DORVIX_WINDOWS_TESTS=ON makes this an error)",
    }, left)
    status, _, log = run(string.format("PATH=%s %s --build %s -j2", q(bin), q(cmake), q(lean)))
    assert.are.equal(0, status, log)
    assert.is_true(exists(lean .. "/orvixcore.so"), log)
    assert.is_true(exists(lean .. "/vtxpack.so"), log)
    assert.is_false(exists(lean .. "/tests/unit_tests"))

    -- Asked for, the tests cannot do without their tools: configure stops.
    status, _, log = run(string.format("%s -S %s -B %s -DBUILD_TESTING=ON", hidden, q(src), q(work .. "/lean2")))
    assert.are_not.equal(0, status)
    assert.matches("BUILD_TESTING is ON, but the tests need tools", log, nil, true)
  end)
end)
