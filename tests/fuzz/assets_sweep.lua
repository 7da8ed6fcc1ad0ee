-- Loads real asset files, and damaged copies of them, each in a child process
-- with a time limit, through the loader of its kind (images with loadImage,
-- fonts with loadFont and printFont, sounds and music loaded and played for a
-- few frames), and counts per format how many loaded, failed cleanly (the
-- loader's message, status 1), crashed (a signal or a sanitizer report) or
-- hung. Files that crash or hang are copied to OUTDIR for a closer look.
--   assets_sweep.lua LISTFILE VARIANTS SEED OUTDIR
-- LISTFILE names one file per line; files of other formats are skipped.
local H = require "helpers"

local list, variants, seed, outdir = arg[1], tonumber(arg[2] or 3), tonumber(arg[3] or 1), arg[4] or "."
math.randomseed(seed)

local kinds = {
  png = "image", gif = "image", jpg = "image", jpeg = "image", bmp = "image", pcx = "image", xpm = "image",
  tga = "image", tif = "image", tiff = "image", webp = "image", ppm = "image", pgm = "image", pbm = "image",
  pnm = "image", ico = "image", cur = "image", lbm = "image", xcf = "image",
  ttf = "font", otf = "font", pfb = "font", bdf = "font", pcf = "font", otb = "font",
  wav = "sound music", flac = "sound music", ogg = "sound music", oga = "sound music", aif = "sound music",
  aiff = "sound music", voc = "sound", mod = "music", xm = "music", s3m = "music", it = "music", mid = "music",
  mp3 = "music",
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
      run(kind, ext, data, true, path)
      for k = 1, variants do run(kind, ext, damage(data, k), false, path) end
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
