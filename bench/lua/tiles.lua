-- tiles: clear, then a tile map of 2000 16 x 16 tiles (a 40 x 30 screen and a
-- second layer of 800 over its top) copied from one 128 x 128 sheet with
-- blitPart, flip. The map is drawn from the random sequence once, at the start.
local B = require("common")
local core = require("orvixcore")
local extra = require("orvixcore.extra")
local frames, warmup = B.args()

core.init(640, 480)
local sheet = core.loadImage(B.assets .. "/tiles.png")
local sxs, sys = {}, {}
for t = 0, 63 do
  sxs[t] = t % 8 * 16
  sys[t] = (t - t % 8) / 8 * 16
end
local map, xs, ys = {}, {}, {}
for i = 1, 2000 do
  map[i] = B.rnd(64)
  xs[i] = (i - 1) % 40 * 16
  ys[i] = math.floor((i - 1) / 40) % 30 * 16
end
local fill, blitPart, flip = core.fill, extra.blitPart, core.flip

local function frame()
  fill(0, 0, 0, 0, 0, 0, 0, 255)
  for i = 1, 2000 do
    local t = map[i]
    blitPart(sheet, sxs[t], sys[t], 16, 16, xs[i], ys[i])
  end
  flip()
end

B.run("tiles", B.host, frames, warmup, frame, B.kit.screen_hash)
core.freeSurf(sheet)
core.quit()
