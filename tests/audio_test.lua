-- Sound and music, checked by listening: every scenario runs in a child
-- process whose mixer output SDL's disk driver writes to a file of its own
-- (signed 16-bit stereo at 44.1 kHz, one 4096-frame buffer every
-- SDL_DISKAUDIODELAY ms), and the tests measure that file with orvixtest's
-- pcm_* functions: where the sound is, how loud, at what pitch.
local H = require "helpers"
local T = require "orvixtest"

local BUF = 4096      -- frames per mixer buffer
local BEEP = 4410     -- beep.wav and quiet.wav: 0.1 s
local TUNE = 88200    -- tune.wav and other.wav: 2 s
local LONG = 132300   -- long.wav: 3 s
local THRESHOLD = 32  -- a frame louder than this is sound, not silence
local GAP = 100       -- quiet runs shorter than this are zero crossings

-- Defined in every child, before the scenario. The output file is the clock:
-- at(name, n, fn) lets the mixer write n more frames, then holds it between two
-- buffers while fn runs, so that all of fn's calls take effect together at one
-- buffer boundary, which is reported to the parent as the mark `name`.
local PRELUDE = [[
T = require 'orvixtest'
RAW = os.getenv('SDL_DISKAUDIOFILE')
A = ASSETS
function n(...) return select('#', ...) end
local function mark(name, frames, ok)
  io.stderr:write(string.format('mark %s %d %s\n', name, frames, tostring(ok)))
end
function advance(frames)
  local f, ok = T.pcm_wait(RAW, T.pcm_frames(RAW) + frames)
  if not ok then mark('advance', f, ok) end
end
function at(name, frames, fn)
  local f, ok = T.pcm_hold(RAW, T.pcm_frames(RAW) + frames)
  mark(name, f, ok)
  fn()
  if ok then T.unlock_audio() end
end
]]

local function child_code(code)
  local assets = string.format("%q", H.assets)
  return (PRELUDE:gsub("ASSETS", function() return assets end)) .. code
end

local raw_files = {}
after_each(function()
  for _, f in ipairs(raw_files) do os.remove(f) end
  raw_files = {}
end)

-- Runs a scenario with audio written to a fresh file. Returns a table with
-- status, out, err, raw (the file) and marks (name -> frame).
local function listen(code, env)
  local raw = H.tmpname(".raw")
  raw_files[#raw_files + 1] = raw
  local e = {
    SDL_VIDEODRIVER = "dummy",
    SDL_AUDIODRIVER = "disk",
    SDL_DISKAUDIOFILE = raw,
    SDL_DISKAUDIODELAY = "10",
  }
  for k, v in pairs(env or {}) do e[k] = v end
  local status, out, err = H.run_child(child_code(code), { env = e })
  local r = { status = status, out = out, err = err, raw = raw, marks = {} }
  for name, frames, ok in err:gmatch("mark (%S+) (%d+) (%a+)\n") do
    assert(ok == "true", "the mixer stopped writing before mark " .. name .. "\n" .. err)
    r.marks[name] = tonumber(frames)
  end
  return r
end

local function stretches(r, from, to)
  local s, cut = T.pcm_stretches(r.raw, THRESHOLD, GAP, from, to)
  assert.is_false(cut)
  return s
end

local function len(s) return s[2] - s[1] end

-- A call held at mark m is heard from the buffer at m, or the one after it
-- when the mixer was caught writing; a tone from sox may begin on a zero.
local function assert_starts_at(frame, m, what)
  assert(frame >= m and frame <= m + BUF + 1,
    string.format("%s: expected to start at %d (or one buffer later), starts at %d", what, m, frame))
end

local function assert_near(expected, actual, tolerance, what)
  assert(math.abs(actual - expected) <= tolerance,
    string.format("%s: expected %s (within %s), got %s", what, expected, tolerance, actual))
end

local function peak(r, from, to) return (T.pcm_peak(r.raw, from, to)) end
local function freq(r, from, to) return T.pcm_freq(r.raw, from, to) end

local INIT = "Orvix init (64x48)\n"
local QUIT = "Orvix quit\n"

describe("the mixer", function()
  it("mixes at 44.1 kHz in 16-bit stereo, one 4096-frame buffer at a time", function()
    local r = listen([[
      O.init(64, 48)
      local b = O.loadSound(A .. "/beep.wav")
      at("play", 4 * 4096, function() O.playSound(b, 0) end)
      advance(20000)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. QUIT, r.out)
    local s = stretches(r)
    assert.are.equal(1, #s)
    assert_near(1000, freq(r, s[1][1], s[1][2]), 1, "pitch of beep.wav")
    assert_near(BEEP, len(s[1]), 2, "length of beep.wav")
    -- Sounds start on a buffer boundary, and whole buffers are written.
    assert(s[1][1] % BUF <= 1, "starts inside a buffer: " .. s[1][1])
    assert.are.equal(0, T.pcm_frames(r.raw) % BUF)
  end)

  it("returns one handle from each load, one number from musicVolume and nothing else", function()
    local r = listen([[
      O.init(64, 48)
      local function pack(...) return { n = select('#', ...), ... } end
      local s = pack(O.loadSound(A .. "/beep.wav"))
      local m = pack(O.loadMusic(A .. "/tune.ogg"))
      print(s.n, type(s[1]), m.n, type(m[1]))
      print(n(O.playSound(s[1], 0)), n(O.playMusic(m[1], 0)), n(O.pauseMusic()), n(O.pauseMusic()),
            n(O.musicVolume(-1)), n(O.freeSound(s[1])), n(O.freeMusic(m[1])))
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. "1\tuserdata\t1\tuserdata\n0\t0\t0\t0\t1\t0\t0\n" .. QUIT, r.out)
  end)
end)

describe("playSound", function()
  it("plays loops + 1 times, with the loop count truncated toward zero", function()
    local r = listen([[
      O.init(64, 48)
      local b = O.loadSound(A .. "/beep.wav")
      at("zero", 4096, function() O.playSound(b, 0) end)
      at("absent", 20000, function() O.playSound(b) end)
      at("two", 20000, function() O.playSound(b, 2) end)
      at("one_point_seven", 20000, function() O.playSound(b, 1.7) end)
      at("minus_point_nine", 20000, function() O.playSound(b, -0.9) end)
      at("string_two", 20000, function() O.playSound(b, "2") end)
      advance(20000)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. QUIT, r.out)
    local expected = {
      { "zero", 1 }, { "absent", 1 }, { "two", 3 }, { "one_point_seven", 2 },
      { "minus_point_nine", 1 }, { "string_two", 3 },
    }
    local s = stretches(r)
    assert.are.equal(#expected, #s)
    for i, e in ipairs(expected) do
      assert_starts_at(s[i][1], r.marks[e[1]], e[1])
      assert_near(e[2] * BEEP, len(s[i]), 2, "loops " .. e[1])
    end
  end)

  it("repeats without end with loops -1", function()
    local r = listen([[
      O.init(64, 48)
      local b = O.loadSound(A .. "/beep.wav")
      at("play", 4096, function() O.playSound(b, -1) end)
      advance(3 * 44100)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    local s = stretches(r)
    assert.are.equal(1, #s)
    assert_starts_at(s[1][1], r.marks.play, "play")
    -- Still sounding when quit closed the mixer, 30 repetitions later.
    assert.are.equal(T.pcm_frames(r.raw), s[1][2])
    assert(len(s[1]) >= 30 * BEEP, "too short: " .. len(s[1]))
  end)

  it("plays the same sound twice at once: the two add up", function()
    local r = listen([[
      O.init(64, 48)
      local q = O.loadSound(A .. "/quiet.wav")
      at("both", 4096, function() O.playSound(q, 0); O.playSound(q, 0) end)
      at("one", 20000, function() O.playSound(q, 0) end)
      advance(20000)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    local s = stretches(r)
    assert.are.equal(2, #s)
    assert_starts_at(s[1][1], r.marks.both, "both")
    assert_near(BEEP, len(s[1]), 2, "two at once last as long as one")
    local single = peak(r, s[2][1], s[2][2])
    assert(single > 1000, "quiet.wav is not heard: " .. single)
    assert_near(2 * single, peak(r, s[1][1], s[1][2]), 4, "peak of two at once")
  end)

  it("drops a ninth sound while eight play, and says nothing", function()
    local r = listen([[
      O.init(64, 48)
      local q = O.loadSound(A .. "/quiet.wav")
      local l = O.loadSound(A .. "/long.wav")
      at("nine", 4096, function()
        for i = 1, 8 do O.playSound(q, 0) end
        O.playSound(l, 0)
      end)
      at("one", 20000, function() O.playSound(q, 0) end)
      at("long", 20000, function() O.playSound(l, 0) end)
      advance(3 * 44100 + 8192)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. QUIT, r.out)
    local s = stretches(r)
    assert.are.equal(3, #s)
    -- The eight sound together and the long ninth is not heard at all...
    assert_starts_at(s[1][1], r.marks.nine, "nine")
    assert_near(BEEP, len(s[1]), 2, "eight at once")
    local single = peak(r, s[2][1], s[2][2])
    assert_near(8 * single, peak(r, s[1][1], s[1][2]), 16, "peak of eight at once")
    -- ...although it plays once a channel is free.
    assert_starts_at(s[3][1], r.marks.long, "long")
    assert_near(LONG, len(s[3]), 3, "long.wav")
  end)

  it("stops a sound that is freed while it plays", function()
    local r = listen([[
      O.init(64, 48)
      local l = O.loadSound(A .. "/long.wav")
      at("play", 4096, function() O.playSound(l, 0); O.playSound(l, 0) end)
      at("free", 22050, function() O.freeSound(l) end)
      -- Well past where the sound would have ended.
      advance(3 * 44100)
      at("again", 0, function() O.playSound(l, 0) end)
      advance(20000)
      O.quit()
      print("done")
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. QUIT .. "done\n", r.out)
    local s = stretches(r)
    assert.are.equal(1, #s)
    assert_starts_at(s[1][1], r.marks.play, "play")
    assert_starts_at(s[1][2], r.marks.free, "end of both channels at the free")
    assert(T.pcm_frames(r.raw) >= r.marks.play + LONG + BUF, "the file ends too early")
  end)
end)

describe("music", function()
  it("plays once with loops 0 and 1, three times with 2, without end with -1", function()
    local r = listen([[
      O.init(64, 48)
      local m = O.loadMusic(A .. "/tune.wav")
      at("zero", 4096, function() O.playMusic(m, 0) end)
      at("one", 88200 + 8192, function() O.playMusic(m, 1) end)
      at("two", 88200 + 8192, function() O.playMusic(m, 2) end)
      at("endless", 3 * 88200 + 8192, function() O.playMusic(m, -1) end)
      advance(4 * 88200)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. QUIT, r.out)
    local s = stretches(r)
    assert.are.equal(4, #s)
    local names = { "zero", "one", "two", "endless" }
    for i, name in ipairs(names) do assert_starts_at(s[i][1], r.marks[name], name) end
    assert_near(TUNE, len(s[1]), 2, "loops 0")
    assert_near(TUNE, len(s[2]), 2, "loops 1")
    assert_near(3 * TUNE, len(s[3]), 2, "loops 2")
    assert.are.equal(T.pcm_frames(r.raw), s[4][2])
    assert(len(s[4]) >= 4 * TUNE, "loops -1 too short: " .. len(s[4]))
    assert_near(660, freq(r, s[1][1], s[1][2]), 1, "pitch of tune.wav")
  end)

  it("pauses on the first pauseMusic and resumes where it stopped on the second", function()
    local r = listen([[
      O.init(64, 48)
      local m = O.loadMusic(A .. "/tune.wav")
      at("play", 4096, function() O.playMusic(m, 0) end)
      at("pause", 30000, function() O.pauseMusic() end)
      at("resume", 30000, function() O.pauseMusic() end)
      advance(88200 + 8192)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. QUIT, r.out)
    local s = stretches(r)
    assert.are.equal(2, #s)
    assert_starts_at(s[1][1], r.marks.play, "play")
    assert_starts_at(s[1][2], r.marks.pause, "pause")
    assert_starts_at(s[2][1], r.marks.resume, "resume")
    -- Neither restarted nor skipped ahead: the two parts make the track once.
    assert_near(TUNE, len(s[1]) + len(s[2]), 3, "both parts")
    assert_near(660, freq(r, s[2][1], s[2][2]), 1, "pitch after resuming")
  end)

  it("ignores pauseMusic with no music, and plays a new track even while paused", function()
    local r = listen([[
      O.init(64, 48)
      local m = O.loadMusic(A .. "/tune.wav")
      local o = O.loadMusic(A .. "/other.wav")
      at("idle", 4096, function() O.pauseMusic() end)
      at("play", 8192, function() O.playMusic(m, 0) end)
      at("pause", 20000, function() O.pauseMusic() end)
      at("other", 20000, function() O.playMusic(o, -1) end)
      advance(30000)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. QUIT, r.out)
    local s = stretches(r)
    assert.are.equal(2, #s)
    assert_starts_at(s[1][1], r.marks.play, "play")
    assert_starts_at(s[1][2], r.marks.pause, "pause")
    assert_starts_at(s[2][1], r.marks.other, "other")
    assert.are.equal(T.pcm_frames(r.raw), s[2][2])
    assert_near(220, freq(r, s[2][1] + BUF, s[2][2]), 1, "pitch of other.wav")
  end)

  it("replaces the track that plays, and starts each track from its beginning", function()
    local r = listen([[
      O.init(64, 48)
      local tune = O.loadMusic(A .. "/tune.wav")
      local other = O.loadMusic(A .. "/other.wav")
      local ogg = O.loadMusic(A .. "/tune.ogg")
      at("tune", 4096, function() O.playMusic(tune, -1) end)
      at("other", 24576, function() O.playMusic(other, -1) end)
      at("ogg", 24576, function() O.playMusic(ogg, -1) end)
      at("again", 24576, function() O.playMusic(tune, 0) end)
      at("restart", 24576, function() O.playMusic(tune, 0) end)
      advance(88200 + 8192)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. QUIT, r.out)
    local m = r.marks
    local regions = {
      { "tune", "other", 660 }, { "other", "ogg", 220 }, { "ogg", "again", 440 }, { "again", "restart", 660 },
    }
    for _, g in ipairs(regions) do
      -- One buffer for the change to arrive and one for the decoder to settle.
      local from, to = m[g[1]] + 2 * BUF, m[g[2]]
      assert_near(g[3], freq(r, from, to), 1, "pitch after playMusic of " .. g[1])
      -- One track at a time: the old one does not go on underneath.
      local p = peak(r, from, to)
      assert(p > 15000 and p < 17000, g[1] .. " peak " .. p)
    end
    -- Playing the same track again starts it over: it ends a whole track
    -- after the second call.
    local s = stretches(r)
    assert.are.equal(1, #s)
    assert_starts_at(s[1][2] - TUNE, m.restart, "restart")
  end)

  it("reads and sets the volume with musicVolume, as heard", function()
    local r = listen([[
      O.init(64, 48)
      local m = O.loadMusic(A .. "/tune.wav")
      local function say(...) print(n(...), ...) end
      at("full", 4096, function() O.playMusic(m, -1) end)
      at("half", 24576, function() say(O.musicVolume(-1)); say(O.musicVolume(64.9)) end)
      at("silent", 24576, function() say(O.musicVolume(-1)); say(O.musicVolume()) end)
      at("loud", 24576, function() say(O.musicVolume(500)) end)
      at("string", 24576, function() say(O.musicVolume(-1)); say(O.musicVolume("32")) end)
      at("last", 24576, function() say(O.musicVolume(-1)) end)
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. "1\t128\n1\t128\n1\t64\n1\t64\n1\t0\n1\t128\n1\t128\n1\t32\n" .. QUIT, r.out)
    local m = r.marks
    local function region(a, b) return peak(r, m[a] + BUF, m[b]) end
    local full = region("full", "half")
    assert_near(16384, full, 16, "full volume")
    assert_near(math.floor(full * 64 / 128), region("half", "silent"), 1, "volume 64")
    assert.are.equal(0, region("silent", "loud"))
    assert.are.equal(full, region("loud", "string"))
    assert_near(math.floor(full * 32 / 128), region("string", "last"), 1, "volume 32")
  end)
end)

describe("with audio off", function()
  it("prints the mixer line and nothing more, returns no values, and the game goes on", function()
    local r = listen([[
      O.init(64, 48)
      local s = O.loadSound(A .. "/missing.wav")
      local m = O.loadMusic(A .. "/missing.ogg")
      print(s == nil, m == nil, T.globals().sound_on)
      print(n(O.loadSound(A .. "/beep.wav")), n(O.loadMusic(A .. "/tune.ogg")), n(O.playSound(s, 0)),
            n(O.playMusic(m, 0)), n(O.pauseMusic()), n(O.musicVolume(64)), n(O.freeSound(s)),
            n(O.freeMusic(m)), n(O.playSound(io.stdout, 0)), n(O.freeSound({})), n(O.freeMusic(42)))
      O.fill(0, 0, 0, 0, 10, 20, 30, 255)
      O.flip()
      print("still running")
      O.quit()
    ]], { SDL_AUDIODRIVER = "nosuchdriver" })
    assert.are.equal(0, r.status)
    local mixer = r.out:sub(#INIT + 1):match("^Couldn't initialize SDL_mixer: [^\n]+\n")
    assert.is_truthy(mixer, r.out)
    assert.are.equal(INIT .. mixer .. "true\ttrue\t0\n" .. "0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\n"
      .. "still running\n" .. QUIT, r.out)
  end)
end)

describe("a load that fails", function()
  local A = H.assets
  local cases = {
    { "missing sound", 'O.loadSound(A .. "/missing.wav")', "sound " .. A .. "/missing.wav" },
    { "missing music", 'O.loadMusic(A .. "/missing.ogg")', "music " .. A .. "/missing.ogg" },
    { "sound that is no sound", 'O.loadSound(A .. "/not_an_image.png")', "sound " .. A .. "/not_an_image.png" },
    { "music that is no music", 'O.loadMusic(A .. "/sprite.png")', "music " .. A .. "/sprite.png" },
    { "sound from a folder", "O.loadSound(A)", "sound " .. A },
    { "music from a folder", "O.loadMusic(A)", "music " .. A },
    { "sound without a path", "O.loadSound()", "sound (null)" },
    { "sound from a table", "O.loadSound({})", "sound (null)" },
    { "music from a boolean", "O.loadMusic(true)", "music (null)" },
    { "music from nil", "O.loadMusic(nil)", "music (null)" },
    { "sound from a number", "O.loadSound(42)", "sound 42" },
    { "music from a number", "O.loadMusic(4.5)", "music 4.5" },
  }
  for _, c in ipairs(cases) do
    it("ends the process: " .. c[1], function()
      local r = listen("O.init(64, 48)\n" .. c[2] .. "\nprint('not reached')\n")
      assert.are.equal(1, r.status)
      assert.are.equal(INIT .. "Couldn't load " .. c[3] .. ". Exiting.\n", r.out)
    end)
  end

  it("ends the process while sound and music play", function()
    local r = listen([[
      O.init(64, 48)
      local b = O.loadSound(A .. "/beep.wav")
      local m = O.loadMusic(A .. "/tune.ogg")
      at("play", 4096, function() O.playSound(b, -1); O.playMusic(m, -1) end)
      advance(8192)
      O.loadSound(A .. "/missing.wav")
      print("not reached")
    ]])
    assert.are.equal(1, r.status)
    assert.are.equal(INIT .. "Couldn't load sound " .. H.assets .. "/missing.wav. Exiting.\n", r.out)
  end)
end)

-- VOC files, built here: the 26-byte header, blocks (a type, a 24-bit length,
-- the body) and the terminator. A tone of f Hz for n samples at rate, as
-- unsigned 8-bit or signed 16-bit mono samples.
local function voc(...)
  return "Creative Voice File\26" .. H.le(26, 2) .. H.le(0x010a, 2) .. H.le(0x1129, 2) .. table.concat { ... } .. "\0"
end
local function voc_block(type, body) return string.char(type) .. H.le(#body, 3) .. body end
local function tone(f, n, rate, bits)
  local t = {}
  for i = 0, n - 1 do
    local v = math.floor(0.5 + 100 * math.sin(2 * math.pi * f * i / rate))
    t[#t + 1] = bits == 16 and H.le((v * 256) % 65536, 2) or string.char(128 + v)
  end
  return table.concat(t)
end
-- type 1: 8-bit data at the rate 1,000,000 / (256 - code); type 9: any rate,
-- bits and channels; type 8: the rate code and stereo flag of the type 1
-- block after it; type 3: silence; type 2: more samples
local function voc_data1(code, samples) return voc_block(1, string.char(code, 0) .. samples) end
local function voc_data9(rate, bits, channels, samples)
  return voc_block(9, H.le(rate, 4) .. string.char(bits, channels) .. H.le(bits == 16 and 4 or 0, 2) .. H.le(0, 4) .. samples)
end
local function voc_extended(code, stereo) return voc_block(8, H.le(code, 2) .. "\0" .. string.char(stereo)) end
local function voc_silence(samples, code) return voc_block(3, H.le(samples, 2) .. string.char(code)) end

describe("a damaged or unusual file", function()
  local A = H.assets
  local ENV = { SDL_VIDEODRIVER = "dummy", SDL_AUDIODRIVER = "disk", SDL_DISKAUDIOFILE = "/dev/null" }
  local wav, aiff, flac = H.read_file(A .. "/beep.wav"), H.read_file(A .. "/beep.aiff"), H.read_file(A .. "/beep.flac")
  local ogg, ms, ima = H.read_file(A .. "/beep.ogg"), H.read_file(A .. "/beep_ms.wav"), H.read_file(A .. "/beep_ima.wav")
  -- The Vorbis identification header is the first page's one packet: its
  -- channel count at byte 11 and its rate at 12; the page's checksum is made
  -- anew, or libogg would skip the page.
  local function vorbis(data, channels, rate)
    local id = 27 + data:byte(27)
    if channels then data = H.splice(data, id + 11, string.char(channels)) end
    if rate then data = H.splice(data, id + 12, H.le(rate, 4)) end
    return H.ogg_fix_page(data, 0)
  end
  -- A second stream chained after the first (sox gives each file its own
  -- serial number).
  local chained = H.read_file(A .. "/tune.ogg") .. H.read_file(A .. "/low.ogg")
  -- FLAC's STREAMINFO is the first metadata block: its rate is the 20 bits
  -- from byte 18 of the file.
  local function flac_rate(rate)
    return H.splice(flac, 18, string.char(math.floor(rate / 4096), math.floor(rate / 16) % 256,
      (rate % 16) * 16 + flac:byte(21) % 16))
  end
  -- ADPCM: the block size at byte 32.
  local code = 75  -- a VOC rate code: 1,000,000 / 181 Hz

  -- beep.wav is RIFF, size, WAVE, then its 16-byte format chunk: channels at
  -- byte 22, rate at 24; then the data chunk.
  local junk_first = "RIFF" .. H.le(#wav + 8, 4) .. "WAVE" .. "junk" .. H.le(4, 4) .. "abcd" .. wav:sub(13)
  -- An AIFF's rate is an 80-bit float 8 bytes into its COMM chunk's data: 1 Hz.
  local comm = aiff:find("COMM", 1, true) - 1
  local aiff_1hz = H.splice(aiff, comm + 16, "\63\255\128\0\0\0\0\0\0\0")
  -- The FLAC stream without its first frame, so that it starts at sample 4096:
  -- skip the metadata blocks (last-block flag, 24-bit length) to the first
  -- frame, then find the header of frame number 1 (its fifth byte).
  local first = 4
  repeat
    local b1, b2, b3, b4 = flac:byte(first + 1, first + 4)
    first = first + 4 + b2 * 65536 + b3 * 256 + b4
  until b1 >= 128
  local second = first + 2
  repeat
    second = flac:find("\255\248", second + 2, true) - 1
  until flac:byte(second + 5) == 1
  local cases = {
    -- the mixer's music reader frees its format chunk twice
    { "music", "whose first chunk is not its format", ".wav", junk_first },
    -- the music reader looks for the data chunk past the end of the file for ever
    { "music", "without its data chunk", ".wav", wav:sub(1, 36) },
    -- SDL 1.2's converter never stops adding steps, or writes past its table
    { "sound", "at 0 Hz", ".wav", H.splice(wav, 24, H.le(0, 4)) },
    { "music", "at 0 Hz", ".wav", H.splice(wav, 24, H.le(0, 4)) },
    { "sound", "at 1 Hz", ".wav", H.splice(wav, 24, H.le(1, 4)) },
    { "music", "at 1 Hz", ".wav", H.splice(wav, 24, H.le(1, 4)) },
    { "sound", "with 0 channels", ".wav", H.splice(wav, 22, H.le(0, 2)) },
    { "music", "in AIFF at 1 Hz", ".aiff", aiff_1hz },
    -- the mixer's FLAC reader writes through a buffer it has not allocated yet
    { "sound", "in FLAC not starting at sample 0", ".flac", flac:sub(1, first) .. flac:sub(second + 1) },
    -- it would play the rest of its buffer, which nothing wrote
    { "sound", "in FLAC cut in half", ".flac", flac:sub(1, math.floor(#flac / 2)) },
    -- Ogg Vorbis: the rate and channels reach SDL's converter, for sounds
    -- and for music, whether found by the extension or by the contents
    { "sound", "in Ogg Vorbis at 50 Hz, as sox writes it", ".ogg", H.read_file(A .. "/low.ogg") },
    { "music", "in Ogg Vorbis at 50 Hz, as sox writes it", ".ogg", H.read_file(A .. "/low.ogg") },
    { "sound", "in Ogg Vorbis at 1 Hz", ".ogg", vorbis(ogg, nil, 1) },
    { "music", "in Ogg Vorbis at 2 Hz", ".ogg", vorbis(ogg, nil, 2) },
    { "sound", "in Ogg Vorbis at 2^31 Hz", ".ogg", vorbis(ogg, nil, 2 ^ 31) },
    { "music", "in Ogg Vorbis at 2^31 Hz, found by its contents", ".snd", vorbis(ogg, nil, 2 ^ 31) },
    { "sound", "in Ogg Vorbis with 9 channels, as sox writes it", ".ogg", H.read_file(A .. "/nine.ogg") },
    { "music", "in Ogg Vorbis with 9 channels, as sox writes it", ".ogg", H.read_file(A .. "/nine.ogg") },
    { "music", "in Ogg Vorbis whose second chained stream is at 50 Hz", ".ogg", chained },
    -- FLAC music: STREAMINFO's rate reaches SDL's converter
    { "music", "in FLAC at 0 Hz", ".flac", flac_rate(0) },
    { "music", "in FLAC at 1 Hz, found by its contents", ".snd", flac_rate(1) },
    -- VOC: the rate and channels of a type 9 block reach SDL's converter
    { "sound", "in VOC with 0 channels", ".voc", voc(voc_data9(22050, 8, 0, tone(1000, 2000, 22050))) },
    { "sound", "in VOC at 1 Hz", ".voc", voc(voc_data9(1, 8, 1, tone(0, 200, 1))) },
    { "sound", "in VOC at 2 Hz", ".voc", voc(voc_data9(2, 16, 1, tone(0, 200, 2, 16))) },
    { "sound", "in VOC at 2^31 Hz", ".voc", voc(voc_data9(2 ^ 31, 8, 1, tone(1000, 2000, 22050))) },
    -- the VOC reader divides by the channel count of a mono extended block, 0
    { "sound", "in VOC with a mono extended block", ".voc",
      voc(voc_extended(65536 - 22050, 0), voc_data1(0, tone(1000, 2000, 22050))) },
    -- and by 256 - 256 for silence after a rate of 256 Hz
    { "sound", "in VOC with silence after a rate of 256 Hz", ".voc",
      voc(voc_data9(256, 8, 1, tone(0, 100, 256)), voc_silence(100, code)) },
    -- a length of 4 GiB, nearly all of it memory nothing wrote
    { "sound", "in VOC with a data block shorter than its header", ".voc",
      voc("\9" .. H.le(5, 3) .. H.le(44100, 4) .. "\16\2" .. ("\0"):rep(6) .. tone(1000, 2000, 44100, 16)) },
    -- the rest of the buffer unwritten
    { "sound", "in VOC cut inside its data", ".voc", voc(voc_data1(code, tone(1000, 2000, 5525))):sub(1, 1000) },
    -- a block read into a buffer sized without it
    { "sound", "in VOC with samples after its terminator", ".voc",
      voc(voc_data1(code, tone(1000, 2000, 5525))) .. voc_block(2, tone(1000, 2000, 5525)) },
    -- ADPCM: classic SDL divides by the block size
    { "sound", "in MS ADPCM with a block size of 0", ".wav", H.splice(ms, 32, H.le(0, 2)) },
    { "sound", "in IMA ADPCM with a block size of 0", ".wav", H.splice(ima, 32, H.le(0, 2)) },
  }
  for _, c in ipairs(cases) do
    it("ends the process with the message: " .. c[1] .. " " .. c[2], function()
      local load = c[1] == "sound" and "loadSound" or "loadMusic"
      -- played, since music is decoded and converted only then
      local play = c[1] == "sound" and "playSound" or "playMusic"
      local status, out, _, path = H.child_with_file(c[4], c[3], "O.init(64, 48)\nO." .. play .. "(O." .. load
        .. "(FILE), 0)\nfor i = 1, 10 do O.timer(60) end\nprint('loaded')\n", ENV)
      assert.are.equal(1, status)
      assert.are.equal(INIT .. "Couldn't load " .. c[1] .. " " .. path .. ". Exiting.\n", out)
    end)
  end

  it("leaves valid FLAC and AIFF sounds and AIFF music alone", function()
    local r = listen([[
      O.init(64, 48)
      local f, a = O.loadSound(A .. "/beep.flac"), O.loadSound(A .. "/beep.aiff")
      at("play", 4096, function() O.playSound(f, 0) end)
      advance(3 * 4096)
      at("again", 4096, function() O.playSound(a, 0) end)
      advance(3 * 4096)
      print(type(f), type(a), type(O.loadMusic(A .. "/beep.aiff")))
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. "userdata\tuserdata\tuserdata\n" .. QUIT, r.out)
    -- each is heard whole, as the 0.1 s, 1 kHz beep
    for _, m in ipairs { r.marks.play, r.marks.again } do
      local s = stretches(r, m, m + 3 * 4096)
      assert.are.equal(1, #s)
      assert_near(BEEP, len(s[1]), 64, "length")
      assert_near(1000, freq(r, s[1][1], s[1][2]), 5, "pitch")
    end
  end)
end)

describe("sound formats", function()
  -- Each file holds 0.1 s of a 1 kHz tone (two halves around 0.05 s of
  -- silence for the VOC with silence and continuation blocks).
  it("plays ADPCM WAV, Ogg Vorbis and VOC sounds and Ogg Vorbis and FLAC music as sox or the format writes them", function()
    -- Classic SDL converts only rates a power of two away from the mixer's
    -- (within 1%): rate code 75 is 1,000,000 / 181 = 5,525 Hz, an eighth.
    local half = tone(1000, 276, 5525)
    local stereo = tone(1000, 2205, 22050):gsub(".", "%0%0")
    local vocs = {
      voc(voc_data1(75, tone(1000, 552, 5525))),
      voc(voc_data9(22050, 16, 1, tone(1000, 2205, 22050, 16))),
      voc(voc_extended(65536 - 5805, 1), voc_data1(0, stereo)),  -- 256,000,000 / 5805 / 2 Hz
      voc(voc_data1(75, half), voc_silence(276, 75), voc_block(2, half)),
    }
    local paths = {}
    for i, v in ipairs(vocs) do
      paths[i] = H.tmpname(".voc")
      H.write_file(paths[i], v)
    end
    local r = listen(([[
      O.init(64, 48)
      local sounds = {}
      for _, name in ipairs { "beep_ms.wav", "beep_ima.wav", "beep.ogg" } do sounds[#sounds + 1] = O.loadSound(A .. "/" .. name) end
      for _, path in ipairs { %q, %q, %q, %q } do sounds[#sounds + 1] = O.loadSound(path) end
      local music = { O.loadMusic(A .. "/beep.ogg"), O.loadMusic(A .. "/beep.flac") }
      for i, s in ipairs(sounds) do at("sound" .. i, 4096, function() O.playSound(s, 0) end) advance(3 * 4096) end
      for i, m in ipairs(music) do at("music" .. i, 4096, function() O.playMusic(m, 0) end) advance(3 * 4096) end
      O.quit()
    ]]):format(paths[1], paths[2], paths[3], paths[4]))
    for _, p in ipairs(paths) do os.remove(p) end
    assert.are.equal(0, r.status, r.out .. r.err)
    assert.are.equal(INIT .. QUIT, r.out)
    local names = { "sound1", "sound2", "sound3", "sound4", "sound5", "sound6", "sound7", "music1", "music2" }
    for i, m in ipairs(names) do
      local s = stretches(r, r.marks[m], r.marks[m] + 3 * 4096)
      local parts = i == 7 and 2 or 1  -- tone, silence, tone
      assert.are.equal(parts, #s, m)
      if parts == 2 then assert_near(BEEP / 2, s[2][1] - s[1][2], 64, m .. " silence") end
      for _, part in ipairs(s) do
        assert_near(BEEP / parts, len(part), 64, m .. " length")
        -- away from the ends, where ADPCM's error shifts the zero crossings
        assert_near(1000, freq(r, part[1] + 500, part[2] - 500), 5, m .. " pitch")
      end
    end
  end)
end)

describe("handles", function()
  it("ignore nil, strays and handles of another kind, and the real ones keep working", function()
    local r = listen([[
      O.init(64, 48)
      local s = O.loadSound(A .. "/beep.wav")
      local m = O.loadMusic(A .. "/tune.wav")
      local surf = O.makeSurf(8, 6)
      local font = O.loadFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 12)
      local strays = { surf, font, 42, 0, "text", {}, io.stdout, print, true }
      at("strays", 4096, function()
        for _, v in ipairs(strays) do
          O.playSound(v, 0); O.playMusic(v, 0); O.freeSound(v); O.freeMusic(v)
        end
        O.playSound(); O.playMusic(); O.freeSound(); O.freeMusic()
        O.playSound(nil, 0); O.playMusic(nil, 0); O.freeSound(nil); O.freeMusic(nil)
        O.playSound(m, 0); O.freeSound(m); O.playMusic(s, 0); O.freeMusic(s)
      end)
      at("sound", 20000, function() O.playSound(s, 0) end)
      at("music", 20000, function() O.playMusic(m, -1) end)
      print(T.surface(surf).w, T.surface(surf).h)
      -- Double frees, had any call above freed these.
      O.freeSurf(surf)
      O.freeFont(font)
      at("free", 20000, function() O.freeMusic(m) end)
      at("after", 8192, function()
        O.freeMusic(m); O.freeSound(s); O.freeSound(s); O.playSound(s, 0); O.playMusic(m, 0)
      end)
      advance(20000)
      O.quit()
      print("done")
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. "8\t6\n" .. QUIT .. "done\n", r.out)
    local s = stretches(r)
    assert.are.equal(2, #s)
    assert_starts_at(s[1][1], r.marks.sound, "sound")
    assert_near(BEEP, len(s[1]), 2, "beep.wav")
    assert_starts_at(s[2][1], r.marks.music, "music")
    assert_starts_at(s[2][2], r.marks.free, "music freed while it plays")
    assert_near(660, freq(r, s[2][1], s[2][2]), 1, "pitch of tune.wav")
  end)

  it("can be freed after quit, once", function()
    local r = listen([[
      O.init(64, 48)
      local s = O.loadSound(A .. "/beep.wav")
      local w = O.loadMusic(A .. "/tune.wav")
      local g = O.loadMusic(A .. "/tune.ogg")
      at("play", 4096, function() O.playSound(s, -1); O.playMusic(g, -1) end)
      advance(8192)
      O.quit()
      print(n(O.loadSound(A .. "/missing.wav")), n(O.loadMusic(A .. "/missing.ogg")), n(O.playSound(s, 0)),
            n(O.playMusic(w, 0)), n(O.pauseMusic()), n(O.musicVolume(-1)))
      print(n(O.freeSound(s)), n(O.freeMusic(w)), n(O.freeMusic(g)))
      O.freeSound(s); O.freeMusic(w); O.freeMusic(g)
      print("done")
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal(INIT .. QUIT .. "0\t0\t0\t0\t0\t0\n0\t0\t0\ndone\n", r.out)
    -- Quit silenced both while they played.
    local s = stretches(r)
    assert.are.equal(1, #s)
    assert.are.equal(T.pcm_frames(r.raw), s[1][2])
  end)

  it("are not made before the display starts: every call returns no values", function()
    local r = listen([[
      print(n(O.loadSound(A .. "/missing.wav")), n(O.loadMusic(A .. "/missing.ogg")), n(O.playSound(nil, 0)),
            n(O.playMusic()), n(O.pauseMusic()), n(O.musicVolume(64)), n(O.freeSound()), n(O.freeMusic()))
      O.init(64, 48)
      print(O.musicVolume(-1))
      O.quit()
    ]])
    assert.are.equal(0, r.status)
    assert.are.equal("0\t0\t0\t0\t0\t0\t0\t0\n" .. INIT .. "128\n" .. QUIT, r.out)
  end)
end)

describe("orvixcore.extra sound control", function()
  local PRE = "X = require 'orvixcore.extra'\n"

  it("soundVolume scales one sound as musicVolume scales music, and stopSounds silences every channel", function()
    local r = listen(PRE .. [[
      O.init(64, 48)
      local q = O.loadSound(A .. "/quiet.wav")
      local b = O.loadSound(A .. "/beep.wav")
      at("full", 4096, function() O.playSound(q, 0) end)
      at("quarter", 20000, function() X.soundVolume(q, 32); O.playSound(q, 0) end)
      at("over", 20000, function() X.soundVolume(q, 1000); O.playSound(q, 0) end)
      at("negative", 20000, function() X.soundVolume(q, -5); O.playSound(q, 0) end)
      at("stop", 20000, function() O.playSound(b, -1); O.playSound(q, -1) end)
      at("stopped", 20000, function() X.stopSounds() end)
      advance(20000)
      print(T.playing(), n(X.soundVolume(q, 3)), n(X.stopSounds()))
      X.soundVolume(b, 64)
      O.freeSound(b)
      X.soundVolume(b, 64)
      X.soundVolume(nil, 64)
      O.quit()
    ]])
    assert.are.equal(0, r.status, r.err)
    assert.are.equal(INIT .. "0\t0\t0\n" .. QUIT, r.out)
    local s = stretches(r)
    assert.are.equal(5, #s)
    local full = peak(r, s[1][1], s[1][2])
    assert_near(full / 4, peak(r, s[2][1], s[2][2]), 4, "volume 32")
    assert_near(full, peak(r, s[3][1], s[3][2]), 4, "volume above 128 counts as 128")
    assert_near(full, peak(r, s[4][1], s[4][2]), 4, "a negative volume changes nothing")
    assert_starts_at(s[5][1], r.marks.stop, "stop")
    assert_starts_at(s[5][2], r.marks.stopped, "stopSounds")
  end)

  it("stopMusic ends the track; musicPlaying tells playing and paused apart", function()
    local r = listen(PRE .. [[
      O.init(64, 48)
      local m = O.loadMusic(A .. "/tune.wav")
      print(X.musicPlaying())
      at("play", 4096, function() O.playMusic(m, -1); print(X.musicPlaying()) end)
      at("pause", 20000, function() O.pauseMusic(); print(X.musicPlaying()) end)
      at("resume", 20000, function() O.pauseMusic(); print(X.musicPlaying()) end)
      at("stop", 20000, function() print(n(X.stopMusic())); print(X.musicPlaying()) end)
      advance(20000)
      O.pauseMusic()
      print(X.musicPlaying())
      X.stopMusic()
      O.freeMusic(m)
      O.quit()
      print(X.musicPlaying())
    ]])
    assert.are.equal(0, r.status, r.err)
    assert.are.equal(INIT .. "false\tfalse\ntrue\tfalse\ntrue\ttrue\ntrue\tfalse\n0\nfalse\tfalse\nfalse\tfalse\n"
      .. QUIT .. "false\tfalse\n", r.out)
    local s = stretches(r)
    assert.are.equal(2, #s)
    assert_starts_at(s[1][2], r.marks.pause, "pause")
    assert_starts_at(s[2][1], r.marks.resume, "resume")
    assert_starts_at(s[2][2], r.marks.stop, "stopMusic")
  end)

  it("does nothing without an audio device, and musicPlaying says nothing plays", function()
    local r = listen(PRE .. [[
      O.init(64, 48)
      print(n(X.stopSounds()), n(X.stopMusic()), n(X.soundVolume(nil, 3)), X.musicPlaying())
      O.quit()
    ]], { SDL_AUDIODRIVER = "none_such_driver" })
    assert.are.equal(0, r.status, r.err)
    assert.matches("\n0\t0\t0\tfalse\tfalse\n" .. QUIT .. "$", r.out)
  end)
end)
