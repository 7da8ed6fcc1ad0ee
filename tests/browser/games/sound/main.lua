-- Plays music and a sound from the folder given as argument, and reports
-- the mixer's answers.
local O = require "orvixcore"
O.init(160, 120)
local tune = O.loadMusic(arg[1] .. "/tune.ogg")
local beep = O.loadSound(arg[1] .. "/beep.wav")
print("volume", O.musicVolume(-1), O.musicVolume(500), O.musicVolume(64.9), O.musicVolume(-1))
O.playMusic(tune, -1)
O.playSound(beep, 2)
O.pauseMusic()
O.pauseMusic()
local frames = tonumber(os.getenv("ORVIX_FRAMES")) or 120
for _ = 1, frames do
  O.flip()
  O.timer(60)
end
O.freeSound(beep)
O.freeMusic(tune)
O.quit()
