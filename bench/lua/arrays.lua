-- arrays: makeArray of a table of 100000 numbers, once per frame.
local B = require("common")
local vtxpack = require("vtxpack")
local frames, warmup = B.args()

local values, rnd = {}, B.rnd
for k = 1, 100000 do values[k] = rnd(1000000) / 1000 end

local makeArray, last = vtxpack.makeArray, nil
local function frame() last = makeArray(values) end

B.run("arrays", B.host, frames, warmup, frame, function() return B.kit.block_hash(last) end)
