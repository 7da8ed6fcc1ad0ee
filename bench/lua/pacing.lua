-- pacing: a light frame (clear, flip) paced by timer(60). Measures the calls
-- per second achieved over DURATION seconds, after SETTLE seconds in which
-- the schedule catches up with the time SDL has been running, and the CPU
-- time the process used meanwhile (all threads).
-- Command line: DURATION [SETTLE] (seconds).
local kit = require("benchkit")
local core = require("orvixcore")
local host = jit and "luajit" or "lua5.1"
local duration = tonumber(arg[1]) or 5
local settle = tonumber(arg[2]) or 0.5

core.init(640, 480)
local fill, flip, timer, now = core.fill, core.flip, core.timer, kit.now
local function frame()
  fill(0, 0, 0, 0, 0, 0, 0, 255)
  flip()
  timer(60)
end

local start = now()
while now() - start < settle do frame() end

local t0, c0 = now(), kit.cpu()
local t1, calls = t0, 0
while t1 - t0 < duration do
  frame()
  calls = calls + 1
  t1 = now()
end
local cpu = kit.cpu() - c0
print(string.format(
  "result workload=pacing host=%s calls=%d seconds=%.4f rate=%.4f target_rate=%.4f cpu_pct=%.3f",
  host, calls, t1 - t0, calls / (t1 - t0), 1000 / math.floor(1000 / 60), 100 * cpu / (t1 - t0)))
core.quit()
