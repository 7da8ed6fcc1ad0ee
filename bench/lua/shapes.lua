-- shapes: clear, 500 filled circles and 500 anti-aliased lines in random
-- places and translucent random colours, flip.
local B = require("common")
local core = require("orvixcore")
local frames, warmup = B.args()

core.init(640, 480)
local fill, draw, flip, rnd = core.fill, core.draw, core.flip, B.rnd

local function frame()
  fill(0, 0, 0, 0, 0, 0, 0, 255)
  for _ = 1, 500 do
    local x, y, rad = rnd(640), rnd(480), rnd(40) + 1
    local r, g, b = rnd(256), rnd(256), rnd(256)
    local a = 128 + rnd(128)
    draw(x, y, rad, 0, r, g, b, a, 2, 2)
  end
  for _ = 1, 500 do
    local x1, y1 = rnd(680) - 20, rnd(520) - 20
    local x2, y2 = rnd(680) - 20, rnd(520) - 20
    local r, g, b = rnd(256), rnd(256), rnd(256)
    local a = 128 + rnd(128)
    draw(x1, y1, x2, y2, r, g, b, a, 0, 1)
  end
  flip()
end

B.run("shapes", B.host, frames, warmup, frame, B.kit.screen_hash)
core.quit()
