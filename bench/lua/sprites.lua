-- sprites: clear with one fill, 2000 blits of a 32 x 32 sprite with per-pixel
-- alpha at random positions (partly off the screen), flip.
local B = require("common")
local core = require("orvixcore")
local frames, warmup = B.args()

core.init(640, 480)
local sprite = core.loadImage(B.assets .. "/sprite.png")
local fill, blit, flip, rnd = core.fill, core.blit, core.flip, B.rnd

local function frame()
  fill(0, 0, 0, 0, 0, 0, 0, 255)
  for _ = 1, 2000 do
    local x = rnd(640 + 32) - 32
    local y = rnd(480 + 32) - 32
    blit(sprite, x, y)
  end
  flip()
end

B.run("sprites", B.host, frames, warmup, frame, B.kit.screen_hash)
core.freeSurf(sprite)
core.quit()
