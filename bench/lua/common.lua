-- Shared pieces of the Lua benchmark scripts: the random sequence, the frame
-- loop with its clock and the result line. bench/c/bench.h does the same for
-- the C programs; the two must stay in step.
local kit = require("benchkit")

local M = {kit = kit}

M.host = jit and "luajit" or "lua5.1"

-- Command line of every script: FRAMES [WARMUP] [more...].
function M.args()
  local frames = math.max(1, math.floor(tonumber(arg[1]) or 10))
  local warmup = math.max(0, math.floor(tonumber(arg[2]) or 0))
  return frames, warmup
end

-- Park and Miller's minimal standard generator. Every product stays below
-- 2^53, so the doubles hold it exactly and the sequence is the C one.
local seed = 12345
function M.rnd(n)
  seed = seed * 16807 % 2147483647
  return seed % n
end

-- The generator state, for loops that step it inline.
function M.get_seed() return seed end
function M.set_seed(s) seed = s end

M.assets = os.getenv("BENCH_ASSETS") or "."
M.fonts = "/usr/share/fonts/truetype/dejavu/"

-- Runs warmup + frames calls of frame(), timing each of the last frames, and
-- prints the result line that bench/run.sh reads. hash() is called once
-- after the last frame.
function M.run(workload, host, frames, warmup, frame, hash)
  local now = kit.now
  for _ = 1, warmup do frame() end
  local times, sum = {}, 0
  for i = 1, frames do
    local t0 = now()
    frame()
    local t = now() - t0
    times[i] = t
    sum = sum + t
  end
  table.sort(times)
  local median
  if frames % 2 == 1 then
    median = times[(frames + 1) / 2]
  else
    median = (times[frames / 2] + times[frames / 2 + 1]) / 2
  end
  print(string.format("result workload=%s host=%s frames=%d median_ms=%.4f mean_ms=%.4f hash=%s",
    workload, host, frames, median * 1e3, sum / frames * 1e3, hash()))
end

return M
