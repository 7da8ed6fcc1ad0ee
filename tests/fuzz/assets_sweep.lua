-- Loads real asset files, and damaged copies of them, each in a child process
-- with a time limit, through the loader of its kind (images with loadImage,
-- fonts with loadFont and printFont, sounds and music loaded and played for a
-- few frames), and counts per format how many loaded, failed cleanly (the
-- loader's message, status 1), crashed (a signal or a sanitizer report) or
-- hung. Files that crash or hang are copied to OUTDIR for a closer look.
--   assets_sweep.lua LISTFILE VARIANTS SEED OUTDIR [KINDS]
-- LISTFILE names one file per line; files of other formats are skipped.
-- KINDS (default "image font sound music") limits the run to those loaders.
-- Sound files get VARIANTS more damaged copies, each with one header field
-- (rate, channels, sample size, block size, lengths...) set to an extreme.
local H = require "helpers"

local list, variants, seed, outdir = arg[1], tonumber(arg[2] or 3), tonumber(arg[3] or 1), arg[4] or "."
local wanted = {}
for kind in (arg[5] or "image font sound music"):gmatch("%a+") do wanted[kind] = true end
math.randomseed(seed)

local kinds = {
  png = "image", gif = "image", jpg = "image", jpeg = "image", bmp = "image", pcx = "image", xpm = "image",
  tga = "image", tif = "image", tiff = "image", webp = "image", ppm = "image", pgm = "image", pbm = "image",
  pnm = "image", ico = "image", cur = "image", lbm = "image", xcf = "image",
  ttf = "font", otf = "font", pfb = "font", bdf = "font", pcf = "font", otb = "font",
  wav = "sound music", flac = "sound music", ogg = "sound music", oga = "sound music", aif = "sound music",
  aiff = "sound music", aifc = "sound music", voc = "sound", mod = "music", xm = "music", s3m = "music",
  it = "music", mid = "music", mp3 = "music",
}
local calls = {
  image = "O.loadImage(FILE)",
  font = "O.printFont(O.loadFont(FILE, 16), 'Hello, world!', 255, 255, 255, 0, 0)",
  sound = "O.playSound(O.loadSound(FILE), 0) for i = 1, 10 do O.timer(60) end",
  music = "O.playMusic(O.loadMusic(FILE), 0) for i = 1, 10 do O.timer(60) end",
}
local ENV = { SDL_VIDEODRIVER = "dummy", SDL_AUDIODRIVER = "disk", SDL_DISKAUDIOFILE = "/dev/null",
  SDL_DISKAUDIODELAY = "0" }

-- A damaged copy: cut at a random point, or 1 to 8 random bytes overwritten.
local function damage(data, k)
  if k % 2 == 1 then return data:sub(1, math.random(0, #data - 1)) end
  for _ = 1, math.random(1, 8) do
    local at = math.random(0, #data - 1)
    data = H.splice(data, at, string.char(math.random(0, 255)))
  end
  return data
end

-- The header fields of a sound file, as { 0-based offset, bytes, big-endian,
-- Ogg page to checksum again }; FLAC's 20-bit rate as the offset "rate".
local function u16(d, at, big) local a, b = d:byte(at + 1, at + 2) return big and a * 256 + b or b * 256 + a end
local function sound_fields(ext, d)
  local f = {}
  local function add(at, n, big, page) if at and at + n <= #d then f[#f + 1] = { at, n, big, page } end end
  if ext == "wav" then
    local fmt = d:find("fmt ", 13, true)
    if fmt then
      local b = fmt + 7  -- the chunk's body, 0-based
      for _, x in ipairs { { 2, 2 }, { 4, 4 }, { 8, 4 }, { 12, 2 }, { 14, 2 }, { 18, 2 }, { 20, 2 } } do add(b + x[1], x[2]) end
      add(fmt + 3, 4)  -- the chunk's length
    end
    local data = d:find("data", 13, true)
    if data then add(data + 3, 4) end
  elseif ext == "ogg" or ext == "oga" then
    local page = 0
    while page do
      local segs = d:byte(page + 27)
      if not segs then break end
      local id = page + 27 + segs
      if d:sub(id + 2, id + 7) == "vorbis" and d:byte(id + 1) == 1 then
        add(id + 11, 1, false, page); add(id + 12, 4, false, page)
      end
      add(page + 6, 8, false, page)  -- the granule position
      page = d:find("OggS", page + 2, true)
      page = page and page - 1
    end
  elseif ext == "flac" and d:sub(1, 4) == "fLaC" then
    add(8, 2, true); add(10, 2, true); add(12, 3, true); add(15, 3, true); add(22, 4, true)
    f[#f + 1] = { "rate" }
  elseif ext == "voc" and #d >= 26 then
    local b = u16(d, 20)
    add(b, 1); add(b + 1, 3); add(b + 4, 4); add(b + 4, 1); add(b + 5, 1); add(b + 8, 1); add(b + 9, 1)
  elseif ext == "aif" or ext == "aiff" or ext == "aifc" then
    local comm = d:find("COMM", 13, true)
    if comm then
      local b = comm + 7
      add(b, 2, true); add(b + 2, 4, true); add(b + 6, 2, true); add(b + 8, 2, true); add(b + 10, 4, true)
    end
  end
  return f
end
local EXTREMES = { 0, 1, 2, 8, 9, 255, 256, 999, 65535, 384001, 2 ^ 31, 2 ^ 32 - 1 }
local function extreme(ext, data)
  local fields = sound_fields(ext, data)
  if #fields == 0 then return nil end
  local field, v = fields[math.random(#fields)], EXTREMES[math.random(#EXTREMES)]
  if field[1] == "rate" then
    v = v % 2 ^ 20
    return H.splice(data, 18, string.char(math.floor(v / 4096), math.floor(v / 16) % 256, (v % 16) * 16 + data:byte(21) % 16))
  end
  local at, n, big, page = field[1], field[2], field[3], field[4]
  v = v % 2 ^ (8 * math.min(n, 4))
  local bytes = big and H.be(v, n) or H.le(v, n)
  data = H.splice(data, at, bytes)
  return page and H.ogg_fix_page(data, page) or data
end

local results, order, saved = {}, {}, 0
local function run(kind, ext, data, original, source)
  local status, out, err, path = H.child_with_file(data, "." .. ext,
    "O.init(64, 64, false, false)\n" .. calls[kind] .. "\nprint('done')\n", ENV)
  local key = ext .. " " .. kind
  if not results[key] then
    results[key] = { { 0, 0, 0, 0 }, { 0, 0, 0, 0 } }
    order[#order + 1] = key
  end
  local clean = "Orvix init (64x64)\nCouldn't load " .. kind .. " " .. path .. ". Exiting.\n"
  local outcome
  if status == 0 and out:match("done\n$") then
    outcome = 1
  elseif status == 1 and out == clean and not err:match("Sanitizer") then
    outcome = 2
  elseif status == 137 then
    outcome = 4
  else
    outcome = 3
  end
  local row = results[key][original and 1 or 2]
  row[outcome] = row[outcome] + 1
  if outcome >= 3 then
    saved = saved + 1
    local copy = ("%s/%s_%d.%s"):format(outdir, outcome == 3 and "crash" or "hang", saved, ext)
    H.write_file(copy, data)
    print(("%s: %s from %s (status %s)"):format(outcome == 3 and "crash" or "hang", copy, source, tostring(status)))
  end
end

for path in io.lines(list) do
  local ext = (path:match("%.(%w+)$") or ""):lower()
  local data = kinds[ext] and H.read_file(path)
  if data and #data > 0 then
    for kind in kinds[ext]:gmatch("%a+") do
      if wanted[kind] then
        run(kind, ext, data, true, path)
        for k = 1, variants do run(kind, ext, damage(data, k), false, path) end
        for _ = 1, (kind == "sound" or kind == "music") and variants or 0 do
          local copy = extreme(ext, data)
          if copy then run(kind, ext, copy, false, path) end
        end
      end
    end
  end
end

table.sort(order)
print(("\n%-12s %-28s %-28s"):format("format", "files: loaded/failed/crash/hang", "damaged: loaded/failed/crash/hang"))
local total = { 0, 0 }
for _, key in ipairs(order) do
  local r = results[key]
  print(("%-12s %-28s %-28s"):format(key, table.concat(r[1], "/"), table.concat(r[2], "/")))
  total[1] = total[1] + r[1][3] + r[1][4]
  total[2] = total[2] + r[2][3] + r[2][4]
end
print(("crashed or hung: %d of the files, %d of the damaged copies"):format(total[1], total[2]))
os.exit(total[1] + total[2] == 0 and 0 or 1)
