-- pixels: 50000 putpix at random positions in random colours, flip.
-- With "floor" as third argument the same loop calls benchkit.nop instead:
-- the same random numbers and the same six arguments, into a C function that
-- does nothing. What is left is the cost of the Lua loop and the calls alone.
local B = require("common")
local core = require("orvixcore")
local frames, warmup = B.args()
local floor = arg[3] == "floor"

core.init(640, 480)
local put = floor and B.kit.nop or core.putpix
local flip = core.flip

local function frame()
  -- The generator is stepped inline, as a tight game loop would write it.
  local seed = B.get_seed()
  for _ = 1, 50000 do
    seed = seed * 16807 % 2147483647
    local v = seed % 307200
    seed = seed * 16807 % 2147483647
    local c = seed % 16777216
    -- putpix truncates: v / 640 is the row, c / 256 % 256 the green byte.
    put(v % 640, v / 640, c % 256, c / 256 % 256, c / 65536, 255)
  end
  B.set_seed(seed)
  flip()
end

B.run("pixels", floor and B.host .. "-floor" or B.host, frames, warmup, frame, B.kit.screen_hash)
core.quit()
