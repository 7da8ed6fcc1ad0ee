-- text: clear, 200 printFont of "Score: N" in DejaVu Sans 16, flip.
local B = require("common")
local core = require("orvixcore")
local frames, warmup = B.args()

core.init(640, 480)
local font = core.loadFont(B.fonts .. "DejaVuSans.ttf", 16)
local fill, printFont, flip, rnd = core.fill, core.printFont, core.flip, B.rnd

local function frame()
  fill(0, 0, 0, 0, 0, 0, 0, 255)
  for _ = 1, 200 do
    local score = rnd(100000)
    local x = rnd(640) - 40
    local y = rnd(480) - 10
    local r, g, b = rnd(256), rnd(256), rnd(256)
    printFont(font, "Score: " .. score, r, g, b, x, y)
  end
  flip()
end

B.run("text", B.host, frames, warmup, frame, B.kit.screen_hash)
core.freeFont(font)
core.quit()
