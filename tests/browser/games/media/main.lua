-- Images (PNG of every kind the decoder treats apart, BMP of every kind,
-- TGA, XPM, PCX, JPEG), off-screen surfaces, text in both modes and shapes of every
-- kind on one screen: the browser test compares it with the same script run
-- natively. The images come from the folder in arg[1].
local O = require "orvixcore"
O.init(320, 240)
local dir = arg[1]
local sprite = O.loadImage(dir .. "/sprite.png")
local halves = O.loadImage(dir .. "/halves.bmp")
local flat = O.loadImage(dir .. "/flat.jpg")
-- Drawn at x, y in a corner of the screen: a palette with a transparent
-- entry, grey, 16-bit and interlaced PNGs, a BMP with an alpha mask, and
-- sprite.png cut after its pixels, its last chunk missing (it still loads).
local whole = assert(io.open(dir .. "/sprite.png", "rb")):read("*a")
local cut_path = os.tmpname()
local cut_file = assert(io.open(cut_path, "wb"))
cut_file:write(whole:sub(1, #whole - 12))
cut_file:close()
local corner = {}
for i, name in ipairs { "palette.png", "grey.png", "deep.png", "interlaced.png", "sprite.bmp", cut_path,
                        "grey_trns.png", "deep_trns.png", "padded.bmp", "cmyk.jpg" } do
  local path = name == cut_path and name or dir .. "/" .. name
  -- 32 x 32 pictures in two rows of three, the small ones in a row below
  local x, y = 216 + 34 * ((i - 1) % 3), 2 + 34 * math.floor((i - 1) / 3)
  if i > 6 then x, y = 216 + 18 * (i - 7), 70 end
  corner[i] = { O.loadImage(path), x, y }
end
os.remove(cut_path)
-- Below it, a 16 x 8 picture in each kind of BMP, TGA, XPM and PCX the
-- loaders treat apart, two rows of six.
for i, name in ipairs { "tiny_mono.bmp", "tiny_4bit.bmp", "tiny_rle8.bmp", "tiny_565.bmp", "tiny_555.bmp",
                        "tiny.xpm", "tiny_rle.tga", "tiny_cmap.tga", "tiny_grey.tga", "halves.tga",
                        "tiny.pcx", "tiny24.pcx" } do
  corner[#corner + 1] = { O.loadImage(dir .. "/" .. name), 222 + 16 * ((i - 1) % 6), 100 + 10 * math.floor((i - 1) / 6) }
end
-- More images from the folder, named in arg[2] (a comma-separated list), in
-- rows of three below the others.
local more = 0
for name in (arg[2] or ""):gmatch("[^,]+") do
  corner[#corner + 1] = { O.loadImage(dir .. "/" .. name), 216 + 34 * (more % 3), 120 + 34 * math.floor(more / 3) }
  more = more + 1
end
local font = O.loadFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 15)
local mono = O.loadFont("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", 11)
-- A JPEG with an orientation tag, which loaders must not turn, a faint
-- Windows icon and TGA, an animated GIF whose first frame is smaller than
-- its screen, and an interlaced GIF.
for _, c in ipairs { { "turned.jpg", 60, 54 }, { "faint.ico", 84, 54 }, { "faint.tga", 94, 54 },
                     { "offset.gif", 70, 66 }, { "tiny_interlaced.gif", 78, 66 } } do
  corner[#corner + 1] = { O.loadImage(dir .. "/" .. c[1]), c[2], c[3] }
end
-- Fonts in the other formats FreeType reads: BDF, gzip-compressed PCF,
-- Type 1 and CFF-flavoured OpenType.
local others = {
  { O.loadFont(dir .. "/box.bdf", 0), "ab", 4 },
  { O.loadFont(dir .. "/box.pcf.gz", 0), "ba", 24 },
  { O.loadFont("/usr/share/fonts/X11/Type1/NimbusSans-Regular.pfb", 12), "Type 1", 44 },
  { O.loadFont("/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf", 12), "CFF fig. 42", 90 },
}
local label, lw = O.printFont(font, "Surface text: caf\195\169 \226\153\165", 255, 255, 0, 0, 0, nil, true)
local card = O.makeSurf(100, 60)
O.fill(0, 0, 0, 0, 40, 60, 200, 128, card)
O.draw(50, 30, 25, 0, 255, 255, 255, 200, 2, 1, card)
O.printFont(mono, "on a card", 255, 128, 0, 5, 40, card)
-- A strip of every alpha over stripes of colour: alpha rising, in groups
-- of four clear, opaque and rising pixels, opaque with gaps, and falling.
local ramp = O.makeSurf(256, 4)
for x = 0, 255 do
  local group = ({ 0, 255, x })[math.floor(x / 4) % 3 + 1]
  O.putpix(x, 0, 255 - x, x, x * 7 % 256, x, ramp)
  O.putpix(x, 1, x, 200, 255 - x, group, ramp)
  O.putpix(x, 2, x * 3 % 256, 90, x, x % 5 == 0 and 0 or 255, ramp)
  O.putpix(x, 3, 40, 255 - x, x, 255 - x, ramp)
end
local frames = tonumber(os.getenv("ORVIX_FRAMES")) or 3
for f = 1, frames do
  O.fill(0, 0, 0, 0, 30, 30, 30, 255)
  O.fill(10, 10, 60, 40, 200, 50, 50, 255)
  O.blit(sprite, 20 + f, 20)
  O.blit(halves, 80, 20)
  O.blit(flat, 80, 40)
  for _, c in ipairs(corner) do O.blit(c[1], c[2], c[3]) end
  O.blit(card, 110, 5)
  O.blit(label, 5, 200)
  O.printFont(font, "Orvix " .. f, 180, 220, 255, 220, 70)
  O.draw(5, 70, 150, 120, 0, 255, 0, 255, 0, 0)
  O.draw(5, 120, 150, 70, 255, 0, 255, 160, 0, 1)
  O.draw(160, 80, 220, 130, 255, 200, 0, 120, 1, 2)
  O.draw(160, 80, 220, 130, 255, 255, 255, 255, 1, 0)
  O.draw(260, 150, 30, 0, 0, 200, 255, 200, 2, 0)
  O.draw(260, 150, 20, 0, 0, 200, 255, 150, 2, 1)
  O.draw(260, 150, 10, 0, 200, 0, 255, 255, 2, 2)
  O.drawTri(20, 190, 70, 140, 120, 185, 220, 40, 90, 255, 2)
  O.drawTri(20, 190, 70, 140, 120, 185, 255, 160, 200, 255, 1)
  O.drawTri(130, 190, 160, 150, 200, 190, 255, 255, 255, 255, 0)
  for i = 0, 40 do O.putpix(230 + i, 220, 255, i * 6, 0, 255) end
  for _, t in ipairs(others) do O.printFont(t[1], t[2], 230, 230, 255, t[3], 224) end
  for i = 0, 31 do O.fill(32 + 8 * i, 236, 8, 4, i * 8, 255 - i * 5, i * 37 % 256, 255) end
  O.blit(ramp, 32, 236)
  O.flip()
  O.timer(60)
end
O.quit()
