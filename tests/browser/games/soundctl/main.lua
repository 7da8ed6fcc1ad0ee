-- orvixcore.extra's sound control in the page: a sound's volume, stopping
-- every sound, whether music plays, stopping the music. Each step comes at a
-- frame of its own, where the page test looks at the browser's audio state.
local O = require "orvixcore"
local X = require "orvixcore.extra"
O.init(160, 120)
local tune = O.loadMusic(arg[1] .. "/tune.ogg")
local long = O.loadSound(arg[1] .. "/long.wav")
local beep = O.loadSound(arg[1] .. "/beep.wav")
print("before", X.musicPlaying())
O.playMusic(tune, -1)
O.playSound(long, -1)
O.playSound(long, -1)
O.playSound(beep, -1)
X.soundVolume(long, 32)
print("playing", X.musicPlaying())
for frame = 1, tonumber(os.getenv("ORVIX_FRAMES")) or 8 do
  if frame == 3 then
    X.stopSounds()
    O.pauseMusic()
    print("paused", X.musicPlaying())
  elseif frame == 5 then
    X.stopMusic()
    print("stopped", X.musicPlaying())
  end
  O.flip()
  O.timer(60)
end
O.freeSound(long)
O.freeSound(beep)
O.freeMusic(tune)
O.quit()
