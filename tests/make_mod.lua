-- Writes a small four-channel ProTracker module, tracker music for the
-- audio tests: lua5.1 make_mod.lua OUT.mod. One looped square-wave sample,
-- one pattern of four notes on the first channel, played once.
local out = assert(io.open(arg[1], "wb"))
local function be16(v) return string.char(math.floor(v / 256) % 256, v % 256) end
local function pad(s, n) return s .. string.rep("\0", n - #s) end
local parts = { pad("orvix test tune", 20) }
-- Sample 1: one cycle of a square wave, 32 bytes, looped.
parts[#parts + 1] = pad("square", 22) .. be16(16) .. string.char(0, 48) .. be16(0) .. be16(16)
for _ = 2, 31 do parts[#parts + 1] = pad("", 22) .. be16(0) .. string.char(0, 0) .. be16(0) .. be16(1) end
-- One pattern played once.
parts[#parts + 1] = string.char(1, 127) .. string.rep("\0", 128) .. "M.K."
-- Notes on channel 1 every 4 rows: periods of C-2, E-2, G-2, C-3.
local periods = { 428, 339, 285, 214 }
for row = 0, 63 do
  for ch = 0, 3 do
    if ch == 0 and row % 4 == 0 then
      local p = periods[row / 4 % 4 + 1]
      -- sample 1 (high nibble 0, low nibble in the third byte), period, no effect
      parts[#parts + 1] = string.char(math.floor(p / 256), p % 256, 0x10, 0)
    else
      parts[#parts + 1] = "\0\0\0\0"
    end
  end
end
local wave = {}
for i = 1, 32 do wave[i] = string.char(i <= 16 and 96 or 160) end
parts[#parts + 1] = table.concat(wave)
out:write(table.concat(parts))
out:close()
