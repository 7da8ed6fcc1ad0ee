-- orvixcore.extra's drawing on one screen: sprite-sheet parts (clipped at
-- every edge), faded blits, turned, zoomed and mirrored copies (nearest and
-- smooth), a clip rectangle, pixels read back, a PNG saved and loaded again,
-- and the measures of texts and keys printed: the browser test compares the
-- frames and the lines with the same script run natively. The images come
-- from the folder in arg[1].
local O = require "orvixcore"
local X = require "orvixcore.extra"
O.init(320, 240)
local dir = arg[1]
local sprite = O.loadImage(dir .. "/sprite.png")
local halves = O.loadImage(dir .. "/halves.bmp")
-- A sheet of four 16 x 16 frames with a gradient, so that each frame differs.
local sheet = O.makeSurf(64, 16)
for x = 0, 63 do
  O.fill(x, 0, 1, 16, x * 4, 255 - x * 4, (x * 37) % 256, 128 + x * 2, sheet)
end
O.draw(8, 8, 5, 0, 255, 255, 255, 255, 2, 2, sheet)
O.draw(40, 8, 5, 0, 0, 0, 0, 255, 2, 1, sheet)
local font = O.loadFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 13)

-- The copies, made once.
local copies = {}
for i, c in ipairs { { 0, 1 }, { 30, 1 }, { 45, 1, true }, { 90, 1 }, { 135.5, 0.75, true }, { -60, 1.5 },
                     { 200, 1, true }, { 0, 1.6, true }, { 0, 0.6 }, { 17, -1 } } do
  copies[i] = { X.rotozoom(sprite, c[1], c[2], c[3]) }
end
local flips = { X.mirror(sprite, true, false), X.mirror(halves, false, true), X.mirror(sheet, true, true) }

print("size", X.size())
print("surfSize", X.surfSize(sheet))
for i, c in ipairs(copies) do io.write(i, ":", c[2], "x", c[3], " ") end
print()
print("getPixel", X.getPixel(sheet, 3, 3))
print("getPixel", X.getPixel(copies[3][1], 20, 20))
print("getPixel", X.getPixel(flips[1], 0, 16))
for _, t in ipairs { "Hello", "caf\195\169 \226\153\165", "", 12.5 } do print("textSize", X.textSize(font, t)) end
print("fontMetrics", X.fontMetrics(font))
for _, k in ipairs { 8, 13, 27, 32, 97, 256, 273, 282, 304, 313, 37, 999 } do io.write(X.keyName(k), "|") end
print()

local frames = tonumber(os.getenv("ORVIX_FRAMES")) or 3
for f = 1, frames do
  O.fill(0, 0, 0, 0, 20, 24, 40, 255)
  O.fill(0, 0, 80, 60, 200, 180, 60, 255)
  -- sheet parts: inside, past the sheet's edges, past the screen's edges
  for i = 0, 3 do X.blitPart(sheet, i * 16, 0, 16, 16, 4 + i * 18, 4) end
  X.blitPart(sheet, -6, -4, 20, 20, 4, 24)
  X.blitPart(sheet, 54, 8, 20, 20, 30, 24)
  X.blitPart(sheet, 16 * (f % 4), 0, 16, 16, -7, 200)
  X.blitPart(sheet, 0, 0, 64, 16, 290, 230)
  -- fades over the bright corner and the dark ground
  for i, a in ipairs { 1, 64, 128, 200, 254 } do X.blitAlpha(sprite, 60 + 14 * i, 30, a) end
  -- the turned and zoomed copies in a row of the screen
  local x = 2
  for _, c in ipairs(copies) do
    O.blit(c[1], x, 64)
    x = x + c[2] - 8
  end
  for i, m in ipairs(flips) do O.blit(m, 200 + 40 * (i - 1), 4) end
  -- a clip rectangle on the window for a fill, a blit, shapes and text
  X.setClip(nil, 100, 140, 90, 40)
  O.fill(0, 0, 0, 0, 60, 0, 90, 255)
  O.blit(halves, 90 + f, 150)
  O.draw(90, 130, 200, 190, 0, 255, 128, 200, 0, 1)
  O.draw(145, 160, 30, 0, 255, 64, 0, 160, 2, 2)
  X.setClip()
  -- on a surface too
  local layer = O.makeSurf(40, 30)
  O.fill(0, 0, 0, 0, 0, 0, 0, 0, layer)
  X.setClip(layer, 5, 5, 20, 15)
  O.fill(0, 0, 0, 0, 255, 255, 255, 255, layer)
  X.blitAlpha(sprite, 0, 0, 180, layer)
  O.blit(layer, 220, 150)
  O.freeSurf(layer)
  O.printFont(font, "frame " .. f .. "  ticks " .. tostring(X.ticks()), 255, 255, 255, 4, 222)
  O.flip()
  O.timer(60)
end

-- A screenshot, saved and loaded again.
local shot = os.tmpname() .. ".png"
print("saveImage", X.saveImage(nil, shot))
local back, w, h = O.loadImage(shot)
os.remove(shot)
print("shot", w, h, X.getPixel(back, 5, 5))
print("shot", X.getPixel(back, 100, 70))
O.freeSurf(back)
O.quit()
