-- measure: the 200 texts of the text workload ("Score: N" in DejaVu Sans 16,
-- with the same random numbers drawn), each only measured with textSize and
-- the sizes added up; no drawing but the clear and the flip.
local B = require("common")
local core = require("orvixcore")
local extra = require("orvixcore.extra")
local frames, warmup = B.args()

core.init(640, 480)
local font = core.loadFont(B.fonts .. "DejaVuSans.ttf", 16)
local fill, textSize, flip, rnd = core.fill, extra.textSize, core.flip, B.rnd
local total = 0

local function frame()
  fill(0, 0, 0, 0, 0, 0, 0, 255)
  for _ = 1, 200 do
    local score = rnd(100000)
    rnd(640); rnd(480); rnd(256); rnd(256); rnd(256)
    local w, h = textSize(font, "Score: " .. score)
    total = total + w + h
  end
  flip()
end

B.run("measure", B.host, frames, warmup, frame, function()
  fill(0, 0, 0, 0, total % 256, math.floor(total / 256) % 256, math.floor(total / 65536) % 256, 255)
  return B.kit.screen_hash()
end)
core.freeFont(font)
core.quit()
