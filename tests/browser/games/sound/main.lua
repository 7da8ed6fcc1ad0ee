-- Plays music and sounds from the folder given as argument, and reports the
-- mixer's answers.
local O = require "orvixcore"
O.init(160, 120)
-- The music: tune.ogg, or the file named after the folder.
local tune = O.loadMusic(arg[2] or arg[1] .. "/tune.ogg")
local beep = O.loadSound(arg[1] .. "/beep.wav")
local long = O.loadSound(arg[1] .. "/long.wav")
-- FLAC, which the browser decodes; AIFF and VOC, which the mixer's own
-- readers decode.
local flac = O.loadSound(arg[1] .. "/beep.flac")
local aiff = O.loadSound(arg[1] .. "/beep.aiff")
local voc = O.loadSound(arg[1] .. "/beep.voc")
print("volume", O.musicVolume(-1), O.musicVolume(500), O.musicVolume(64.9), O.musicVolume(-1))
O.playMusic(tune, -1)
-- Paused and resumed: the music plays on.
O.pauseMusic()
O.pauseMusic()
-- Nine endless plays for the eight channels: the ninth, and the beep after
-- it, find no free channel.
for _ = 1, 9 do O.playSound(long, -1) end
O.playSound(beep, 2)
print("playing")
local frames = tonumber(os.getenv("ORVIX_FRAMES")) or 120
for _ = 1, frames do
  O.flip()
  O.timer(60)
end
O.freeSound(long)
O.freeSound(beep)
O.freeSound(flac)
O.freeSound(aiff)
O.freeSound(voc)
O.freeMusic(tune)
O.quit()
