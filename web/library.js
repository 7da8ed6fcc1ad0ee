// The page's side of the browser backend: the canvas, input from the page,
// the clock, waiting, and sound through Web Audio. The C side (web/web.h)
// calls these; the functions that wait give the browser its turn through
// Asyncify, so the game keeps its own main loop.
mergeInto(LibraryManager.library, {
  $ORW__deps: ['$Asyncify'],
  $ORW: {
    canvas: null,
    ctx: null,
    image: null,
    events: [],      // input records waiting for SDL_PumpEvents
    start: 0,
    lastYield: 0,
    frames: 0,       // frames presented
    waitedMs: 0,     // time handed to the browser in pauses, for the benchmark
    stepMs: 0,       // test clock: ticks advance this much per frame, 0 for real time
    stops: [],       // test clock: frames after which the game waits for the page
    listening: false,
    channel: null,   // a message channel: a turn for the browser without timer clamping
    wakers: [],
    audio: null,
    master: null,
    musicGain: null,
    buffers: {},
    volumes: {},     // a sound buffer's volume, 0 to 1, where not full
    nextBuffer: 1,
    channels: [],
    music: null,

    // How long the game may keep the browser busy before a frame or an input
    // poll hands it a turn, in milliseconds.
    maxBusy: 50,

    init: function() {
      if (ORW.listening) return;
      ORW.listening = true;
      ORW.canvas = Module['canvas'];
      ORW.stepMs = Module['orvixStepMs'] || 0;
      ORW.stops = (Module['orvixStops'] || []).slice();
      Module['orvixState'] = ORW;
      ORW.channel = new MessageChannel();
      ORW.channel.port1.onmessage = function() {
        var wake = ORW.wakers.shift();
        if (wake) wake();
      };
      var prevent = {
        'ArrowUp': 1, 'ArrowDown': 1, 'ArrowLeft': 1, 'ArrowRight': 1, 'Space': 1, 'Tab': 1,
        'Backspace': 1, 'PageUp': 1, 'PageDown': 1, 'Home': 1, 'End': 1, 'Quote': 1, 'Slash': 1,
      };
      function key(kind) {
        return function(e) {
          ORW.resumeAudio();
          if (prevent[e.code]) e.preventDefault();
          if (e.repeat) return;
          ORW.events.push([kind, 0, 0, 0, e.code || '', e.key || '']);
        };
      }
      window.addEventListener('keydown', key(1), true);
      window.addEventListener('keyup', key(2), true);
      var c = ORW.canvas;
      // Window pixels under the pointer. A scaled canvas (full screen) keeps
      // its shape inside its box, centred, so the scale is the smaller one.
      function pos(e) {
        var r = c.getBoundingClientRect();
        var scale = Math.min(r.width / c.width, r.height / c.height) || 1;
        var left = r.left + (r.width - c.width * scale) / 2, top = r.top + (r.height - c.height * scale) / 2;
        var x = Math.floor((e.clientX - left) / scale), y = Math.floor((e.clientY - top) / scale);
        return [Math.max(0, Math.min(c.width - 1, x)), Math.max(0, Math.min(c.height - 1, y))];
      }
      // SDL numbers the buttons 1 left, 2 middle, 3 right.
      function button(e) { return e.button === 1 ? 2 : e.button === 2 ? 3 : e.button === 0 ? 1 : e.button + 1; }
      c.addEventListener('mousemove', function(e) {
        var p = pos(e);
        ORW.events.push([3, p[0], p[1], 0]);
      });
      c.addEventListener('mousedown', function(e) {
        ORW.resumeAudio();
        c.focus();
        e.preventDefault();
        var p = pos(e);
        ORW.events.push([4, p[0], p[1], button(e)]);
      });
      window.addEventListener('mouseup', function(e) {
        var p = pos(e);
        ORW.events.push([5, p[0], p[1], button(e)]);
      });
      c.addEventListener('contextmenu', function(e) { e.preventDefault(); });
      // One notch of the wheel: a press and a release of button 4 (up) or 5.
      c.addEventListener('wheel', function(e) {
        e.preventDefault();
        if (!e.deltaY) return;
        var p = pos(e), b = e.deltaY < 0 ? 4 : 5;
        ORW.events.push([4, p[0], p[1], b], [5, p[0], p[1], b]);
      }, {passive: false});
      window.addEventListener('blur', function() { ORW.events.push([6, 0, 0, 0]); });
      window.addEventListener('focus', function() { ORW.events.push([6, 1, 0, 0]); });
    },

    // Gives the browser a turn of at least ms milliseconds, then calls wake.
    pause: function(ms, wake) {
      var from = ORW.lastYield = performance.now();
      var resume = function() {
        ORW.waitedMs += performance.now() - from;
        wake();
      };
      if (ms > 0) {
        setTimeout(resume, ms);
      } else {
        ORW.wakers.push(resume);
        ORW.channel.port2.postMessage(0);
      }
    },

    // Browsers start audio only after the user has pressed something.
    resumeAudio: function() {
      var a = ORW.audio;
      if (!a || a.state === 'running' || ORW.resuming) return;
      ORW.resuming = true;
      a.resume().then(function() {
        ORW.resuming = false;
        if (Module['onAudioStart']) Module['onAudioStart']();
        var m = ORW.music;
        if (m && !m.src && !m.paused) ORW.startMusic(m.offset);
      }, function() { ORW.resuming = false; });
    },

    startMusic: function(offset) {
      var m = ORW.music, a = ORW.audio, buf = ORW.buffers[m.id];
      if (!buf || a.state !== 'running') return;
      var src = a.createBufferSource();
      src.buffer = buf;
      src.connect(ORW.musicGain);
      if (m.loops !== 1) src.loop = true;
      src.start(0, offset % buf.duration);
      if (m.loops > 1) src.stop(a.currentTime + buf.duration * m.loops - offset);
      m.src = src;
      m.startedAt = a.currentTime - offset;
      src.onended = function() {
        if (ORW.music === m && m.src === src) { m.src = null; m.ended = true; }
      };
    },

    stopMusic: function() {
      var m = ORW.music;
      if (m && m.src) { m.src.onended = null; m.src.stop(); m.src = null; }
    },
  },

  orw_js_start_clock__deps: ['$ORW'],
  orw_js_start_clock: function() {
    ORW.init();
    ORW.start = performance.now();
    ORW.lastYield = ORW.start;
  },

  orw_js_ticks__deps: ['$ORW'],
  orw_js_ticks: function() {
    if (ORW.stepMs) return ORW.stepMs * ORW.frames;
    return Math.floor(performance.now() - ORW.start) >>> 0;
  },

  orw_js_sleep__deps: ['$ORW'],
  orw_js_sleep: function(ms) {
    return Asyncify.handleSleep(function(wake) {
      // On the test clock time stands still between frames: no real wait.
      ORW.pause(ORW.stepMs ? 0 : ms, wake);
    });
  },

  orw_js_maybe_yield__deps: ['$ORW'],
  orw_js_maybe_yield: function() {
    return Asyncify.handleSleep(function(wake) {
      if (performance.now() - ORW.lastYield > ORW.maxBusy) ORW.pause(0, wake);
      else wake();
    });
  },

  orw_js_set_mode__deps: ['$ORW'],
  orw_js_set_mode: function(w, h, fullscreen) {
    var c = ORW.canvas;
    c.width = w;
    c.height = h;
    c.classList.toggle('fullscreen', !!fullscreen);
    ORW.ctx = c.getContext('2d', {alpha: false});
    ORW.image = ORW.ctx.createImageData(w, h);
    if (Module['onVideoMode']) Module['onVideoMode'](w, h, !!fullscreen);
  },

  // Shows a frame. On the test clock the game may have to wait here for the
  // page (a test taking a screenshot and pressing keys); otherwise it gives
  // the browser a turn when it has not had one for a while.
  orw_js_present__deps: ['$ORW'],
  orw_js_present: function(ptr, w, h) {
    return Asyncify.handleSleep(function(wake) {
      var img = ORW.image;
      if (img && img.width === w && img.height === h) {
        img.data.set(HEAPU8.subarray(ptr, ptr + w * h * 4));
        ORW.ctx.putImageData(img, 0, 0);
      }
      ORW.frames++;
      if (ORW.stops.length && ORW.frames === ORW.stops[0]) {
        ORW.stops.shift();
        ORW.lastYield = performance.now();
        Module['orvixStopped'](ORW.frames, function() { ORW.pause(0, wake); });
      } else if (performance.now() - ORW.lastYield > ORW.maxBusy) {
        ORW.pause(0, wake);
      } else {
        wake();
      }
    });
  },

  orw_js_show_cursor__deps: ['$ORW'],
  orw_js_show_cursor: function(show) {
    if (ORW.canvas) ORW.canvas.style.cursor = show ? '' : 'none';
  },

  orw_js_set_title: function(title) {
    document.title = UTF8ToString(title);
  },

  orw_js_viewport: function(wptr, hptr) {
    HEAP32[wptr >> 2] = window.innerWidth;
    HEAP32[hptr >> 2] = window.innerHeight;
  },

  orw_js_take_event__deps: ['$ORW'],
  orw_js_take_event: function(fields, code, codecap, key, keycap) {
    var e = ORW.events.shift();
    if (!e) return 0;
    HEAP32[fields >> 2] = e[1];
    HEAP32[(fields >> 2) + 1] = e[2];
    HEAP32[(fields >> 2) + 2] = e[3];
    if (e[0] === 1 || e[0] === 2) {
      stringToUTF8(e[4], code, codecap);
      stringToUTF8(e[5], key, keycap);
    }
    return e[0];
  },

  // Decoding is asynchronous in the browser; the game waits for it here.
  // Colours are taken as the file has them, without colour management.
  orw_js_image_decode__deps: ['$ORW', 'malloc'],
  orw_js_image_decode: function(ptr, size, wptr, hptr) {
    return Asyncify.handleSleep(function(wake) {
      var blob = new Blob([HEAPU8.slice(ptr, ptr + size)]);
      function done(out) { ORW.lastYield = performance.now(); wake(out); }
      createImageBitmap(blob, {premultiplyAlpha: 'none', colorSpaceConversion: 'none'}).then(function(bmp) {
        var w = bmp.width, h = bmp.height;
        var c = document.createElement('canvas');
        c.width = w;
        c.height = h;
        var ctx = c.getContext('2d');
        ctx.drawImage(bmp, 0, 0);
        var px = ctx.getImageData(0, 0, w, h).data;
        var out = _malloc(px.length || 1);
        if (!out) { done(0); return; }
        HEAPU8.set(px, out);
        HEAP32[wptr >> 2] = w;
        HEAP32[hptr >> 2] = h;
        done(out);
      }, function() { done(0); });
    });
  },

  orw_js_audio_open__deps: ['$ORW'],
  orw_js_audio_open: function() {
    var AC = window.AudioContext || window.webkitAudioContext;
    if (!AC) return 0;
    if (!ORW.audio) {
      try { ORW.audio = new AC(); } catch (e) { return 0; }
      ORW.master = ORW.audio.createGain();
      ORW.master.connect(ORW.audio.destination);
      ORW.musicGain = ORW.audio.createGain();
      ORW.musicGain.connect(ORW.master);
      if (ORW.audio.state === 'running' && Module['onAudioStart']) Module['onAudioStart']();
    }
    return 1;
  },

  orw_js_audio_close__deps: ['$ORW'],
  orw_js_audio_close: function() {
    ORW.stopMusic();
    ORW.music = null;
    for (var i = 0; i < ORW.channels.length; i++) {
      var ch = ORW.channels[i];
      if (ch) { ch.src.onended = null; ch.src.stop(); }
    }
    ORW.channels = [];
  },

  // Decoding is asynchronous in the browser; the game waits for it here,
  // as it waits for a file to load natively.
  orw_js_audio_decode__deps: ['$ORW'],
  orw_js_audio_decode: function(ptr, size) {
    return Asyncify.handleSleep(function(wake) {
      var bytes = HEAPU8.slice(ptr, ptr + size);
      var done = false;
      function finish(id) { if (!done) { done = true; ORW.lastYield = performance.now(); wake(id); } }
      try {
        ORW.audio.decodeAudioData(bytes.buffer, function(buf) {
          var id = ORW.nextBuffer++;
          ORW.buffers[id] = buf;
          finish(id);
        }, function() { finish(0); });
      } catch (e) {
        finish(0);
      }
    });
  },

  orw_js_audio_free__deps: ['$ORW'],
  orw_js_audio_free: function(id) {
    for (var i = 0; i < ORW.channels.length; i++) {
      var ch = ORW.channels[i];
      if (ch && ch.id === id) { ch.src.onended = null; ch.src.stop(); ORW.channels[i] = null; }
    }
    if (ORW.music && ORW.music.id === id) { ORW.stopMusic(); ORW.music = null; }
    delete ORW.buffers[id];
    delete ORW.volumes[id];
  },

  orw_js_audio_halt__deps: ['$ORW'],
  orw_js_audio_halt: function(channel) {
    for (var i = 0; i < ORW.channels.length; i++) {
      var ch = ORW.channels[i];
      if (ch && (channel < 0 || channel === i)) { ch.src.onended = null; ch.src.stop(); ORW.channels[i] = null; }
    }
  },

  orw_js_audio_volume__deps: ['$ORW'],
  orw_js_audio_volume: function(id, volume) {
    ORW.volumes[id] = volume / 128;
    for (var i = 0; i < ORW.channels.length; i++) {
      var ch = ORW.channels[i];
      if (ch && ch.id === id) ch.gain.gain.value = volume / 128;
    }
  },

  orw_js_audio_channel_busy__deps: ['$ORW'],
  orw_js_audio_channel_busy: function(channel) { return ORW.channels[channel] ? 1 : 0; },

  orw_js_audio_play__deps: ['$ORW'],
  orw_js_audio_play: function(id, channel, loops) {
    var a = ORW.audio, buf = ORW.buffers[id];
    if (!buf) return 0;
    var old = ORW.channels[channel];
    if (old) { old.src.onended = null; old.src.stop(); ORW.channels[channel] = null; }
    // Before the player has pressed anything the browser keeps audio off;
    // the sound is let go rather than saved up for later.
    if (a.state !== 'running') return 1;
    var src = a.createBufferSource();
    src.buffer = buf;
    // Each voice has a gain of its own: the sound's volume, changed later too.
    var gain = a.createGain();
    gain.gain.value = id in ORW.volumes ? ORW.volumes[id] : 1;
    src.connect(gain);
    gain.connect(ORW.master);
    if (loops !== 0) {
      src.loop = true;
      if (loops > 0) src.stop(a.currentTime + buf.duration * (loops + 1));
    }
    src.start();
    var entry = {src: src, id: id, gain: gain};
    ORW.channels[channel] = entry;
    src.onended = function() { if (ORW.channels[channel] === entry) ORW.channels[channel] = null; };
    if (Module['onSound']) Module['onSound'](id, channel, loops);
    return 1;
  },

  orw_js_music_play__deps: ['$ORW'],
  orw_js_music_play: function(id, loops) {
    ORW.stopMusic();
    ORW.music = {id: id, loops: loops, src: null, startedAt: 0, offset: 0, paused: false, ended: false};
    ORW.startMusic(0);
  },

  orw_js_music_playing__deps: ['$ORW'],
  orw_js_music_playing: function() { return ORW.music && !ORW.music.ended ? 1 : 0; },

  orw_js_music_stop__deps: ['$ORW'],
  orw_js_music_stop: function() {
    ORW.stopMusic();
    ORW.music = null;
  },

  orw_js_music_pause__deps: ['$ORW'],
  orw_js_music_pause: function(paused) {
    var m = ORW.music, a = ORW.audio;
    if (!m || m.ended || m.paused === !!paused) return;
    if (paused) {
      if (m.src) m.offset = a.currentTime - m.startedAt;
      ORW.stopMusic();
      m.paused = true;
    } else {
      m.paused = false;
      ORW.startMusic(m.offset);
    }
  },

  orw_js_music_volume__deps: ['$ORW'],
  orw_js_music_volume: function(volume) {
    if (ORW.musicGain) ORW.musicGain.gain.value = volume / 128;
  },
});
