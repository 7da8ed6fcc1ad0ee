-- rotozoom: clear, then 20 copies of a 64 x 64 sprite with per-pixel alpha,
-- each turned and zoomed with rotozoom (smoothed) at its own angle and zoom,
-- blitted and freed, flip.
local B = require("common")
local core = require("orvixcore")
local extra = require("orvixcore.extra")
local frames, warmup = B.args()

core.init(640, 480)
local sprite = core.loadImage(B.assets .. "/ship.png")
local fill, blit, freeSurf, flip, rotozoom = core.fill, core.blit, core.freeSurf, core.flip, extra.rotozoom
local frame_no = 0

local function frame()
  fill(0, 0, 0, 0, 0, 0, 0, 255)
  for i = 0, 19 do
    local turned = rotozoom(sprite, (frame_no * 7 + i * 31) % 360, 0.5 + (frame_no + i) % 16 / 10, true)
    blit(turned, i % 5 * 128, (i - i % 5) / 5 * 120)
    freeSurf(turned)
  end
  frame_no = frame_no + 1
  flip()
end

B.run("rotozoom", B.host, frames, warmup, frame, B.kit.screen_hash)
core.freeSurf(sprite)
core.quit()
