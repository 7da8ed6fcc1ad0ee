-- The frame timer against SDL's real clock: its results, and that pacing
-- really sleeps. The arithmetic's edge cases are covered by the unit tests.
local H = require "helpers"
local O = require "orvixcore"
local T = require "orvixtest"

-- Runs n calls of timer(target); returns the results and the wall time taken.
local function calls(n, target)
  local results = {}
  local t0 = T.monotonic_ms()
  for i = 1, n do results[i] = H.pack(O.timer(target)) end
  return results, T.monotonic_ms() - t0
end

-- Start-up runs unpaced until the schedule has overtaken the clock: calls
-- until one of them sleeps.
local function catch_up(target)
  for _ = 1, 1000 do
    local t0 = T.monotonic_ms()
    O.timer(target)
    if T.monotonic_ms() - t0 > 5 then return end
  end
  error("timer(" .. target .. ") never slept")
end

describe("timer", function()
  -- Before a start function SDL's clock has not started: these run first.
  describe("before init", function()
    it("never sleeps and reports tick 0", function()
      local results, wall = calls(50, 10) -- paced, 100 ms steps, would take 5 s
      assert.is_true(wall < 1000, "took " .. wall .. " ms")
      for _, r in ipairs(results) do
        assert.are.same({ n = 3, 0, 0, 0 }, r)
      end
    end)
  end)

  describe("after init", function()
    setup(function()
      O.init(64, 48)
    end)

    teardown(function()
      O.quit()
    end)

    it("returns dt, fps and the tick count as three numbers", function()
      local before = T.ticks()
      local r = H.pack(O.timer())
      local after = T.ticks()
      assert.are.equal(3, r.n)
      for i = 1, 3 do assert.are.equal("number", type(r[i])) end
      assert.is_true(r[3] >= before and r[3] <= after)
      -- The calls before init stood at tick 0, so dt is the time since SDL started.
      assert.is_true(math.abs(r[1] * 1000 - r[3]) < 0.01, r[1] .. " vs " .. r[3])
      assert.are.equal(r[2], math.floor(r[2]))
    end)

    it("paces the loop to 20 ms steps with a target of 50", function()
      catch_up(50)
      local results, wall = calls(20, 50)
      -- 20 calls cover 19 or 20 steps of 20 ms; a call that the machine wakes
      -- late is followed by quicker ones that make the time up, so only the
      -- start can lose a little.
      assert.is_true(wall >= 300, "20 paced calls took only " .. wall .. " ms")
      assert.is_true(wall < 20 * 20 + 1000, "20 paced calls took " .. wall .. " ms")
      local first, last = results[1][3], results[20][3]
      assert.is_true(last - first >= 300, "ticks " .. first .. " to " .. last)
      local steps = {}
      for i = 2, 20 do
        local step = results[i][3] - results[i - 1][3]
        assert.is_true(step >= 0)
        -- dt is the same interval, in single-precision seconds
        assert.is_true(math.abs(results[i][1] * 1000 - step) < 0.001)
        steps[#steps + 1] = step
      end
      -- A call woken late is followed by quick ones: only most steps are 20 ms.
      table.sort(steps)
      assert.is_true(steps[10] >= 19 and steps[10] <= 21, "median step " .. steps[10] .. " ms")
    end)

    it("does not sleep without a target, for bad targets, or above 1000", function()
      calls(3, 0)
      for _, target in ipairs({ 0, -5, 0.9, 0 / 0, -1 / 0, 1 / 0, 1e300, 5000, "x" }) do
        local results, wall = calls(30, target)
        -- 30 calls paced even at 100 per second would take 300 ms
        assert.is_true(wall < 250, tostring(target) .. " took " .. wall .. " ms")
        assert.are.equal(3, results[30].n)
      end
      local r = H.pack(O.timer(nil))
      assert.are.equal(3, r.n)
    end)
  end)

  describe("after quit", function()
    it("keeps counting and pacing on SDL's clock", function()
      local status, out = H.run_child([[
        local T = require "orvixtest"
        O.init(64, 48)
        O.quit()
        local slept
        for _ = 1, 1000 do
          local t0 = T.monotonic_ms()
          O.timer(50)
          slept = T.monotonic_ms() - t0 > 5
          if slept then break end
        end
        local t0 = T.monotonic_ms()
        for _ = 1, 19 do O.timer(50) end
        local _, _, ticks = O.timer(50)
        print(slept, T.monotonic_ms() - t0 >= 300, ticks > 0)
      ]], { env = { SDL_VIDEODRIVER = "dummy", SDL_AUDIODRIVER = "disk", SDL_DISKAUDIOFILE = "/dev/null" } })
      assert.are.equal(0, status)
      assert.are.equal("Orvix init (64x48)\nOrvix quit\ntrue\ttrue\ttrue\n", out)
    end)
  end)
end)
