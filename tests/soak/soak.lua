-- Loads and frees images, fonts, sounds, music and text surfaces every frame
-- and reports how the resident memory of the process moves.
--
--   soak.lua FRAMES [MAX_GROWTH_KIB]
--
-- The resident size is read after a warm-up of a tenth of the frames (allocators
-- and caches settle by then) and again at the end. With MAX_GROWTH_KIB the run
-- fails when the growth exceeds it.
local O = require "orvixcore"

local frames = tonumber(arg[1]) or 10000
local limit = tonumber(arg[2])
local assets = os.getenv("ORVIX_ASSETS") or "build/assets"
local font_path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

local function rss_kib()
  local f = assert(io.open("/proc/self/statm"))
  local _, resident = f:read("*n", "*n")
  f:close()
  return resident * 4 -- pages of 4 KiB
end

O.init(320, 240)
local warm = math.max(1, math.floor(frames / 10))
local base
for frame = 1, frames do
  O.fill(0, 0, 0, 0, 0, 0, 0, 255)
  local img = O.loadImage(assets .. "/sprite.png")
  local surf = O.makeSurf(64, 32)
  local font = O.loadFont(font_path, 12 + frame % 8)
  local text = O.printFont(font, "Frame " .. frame, 255, 255, 255, 0, 0, nil, true)
  O.printFont(font, "drawn", 255, 0, 0, 10, 10)
  local snd = O.loadSound(assets .. "/blip.wav")
  local mus = O.loadMusic(assets .. "/tune.ogg")
  O.blit(img, frame % 300, 20, surf)
  O.blit(surf, 10, 10)
  O.blit(text, 0, 200)
  if snd then O.playSound(snd, 0) end
  if mus then O.playMusic(mus, 0) end
  O.freeSurf(img)
  O.freeSurf(surf)
  O.freeSurf(text)
  O.freeFont(font)
  if snd then O.freeSound(snd) end
  if mus then O.freeMusic(mus) end
  O.flip()
  collectgarbage("step")
  if frame == warm then base = rss_kib() end
end
collectgarbage()
local final = rss_kib()
O.quit()
local growth = final - base
print(string.format("soak: %d frames, resident %d KiB after %d frames, %d KiB at the end, growth %d KiB",
  frames, base, warm, final, growth))
if limit and growth > limit then
  print(string.format("soak: growth %d KiB exceeds %d KiB", growth, limit))
  os.exit(1)
end
