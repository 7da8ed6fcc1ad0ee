// The page's side of the browser backend: the canvas, input from the page,
// the clock, waiting, and sound through Web Audio. The C side (web/web.h)
// calls these; the functions that wait give the browser its turn through
// Asyncify, so the game keeps its own main loop.
mergeInto(LibraryManager.library, {
  $ORW__deps: ['$Asyncify'],
  $ORW: {
    canvas: null,
    ctx: null,
    view: null,      // the frame's pixels in the runtime's memory, as an ImageData
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
    buffers: {},     // id -> AudioBuffer: sounds, and music decoded whole
    volumes: {},     // a sound buffer's volume, 0 to 1, where not full
    streams: {},     // id -> {el, url, node}: music a media element streams
    trackers: {},    // id -> {module, node, buf}: tracker music libmikmod mixes as it plays
    nextBuffer: 1,
    channels: [],    // per channel: {id, loops, src, from, until} (src null while audio is off)
    music: null,
    padsSeen: false, // a gamepad has been shown: from then on they are read
    padSlots: [],    // the browser's indices of the pads shown, in SDL's numbering
    padList: [],     // navigator.getGamepads() as last read

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
      // X11's numbers, as SDL reports them: 1 left, 2 middle, 3 right, 8
      // back, 9 forward (4 to 7 are the wheels).
      function button(e) { return [1, 2, 3, 8, 9][e.button] || e.button + 5; }
      // The back and forward buttons would take the page away from the game.
      function keepPage(e) { if (e.button === 3 || e.button === 4) e.preventDefault(); }
      window.addEventListener('auxclick', keepPage, true);
      c.addEventListener('mousemove', function(e) {
        var p = pos(e);
        ORW.events.push([3, p[0], p[1], 0]);
      });
      c.addEventListener('mousedown', function(e) {
        ORW.resumeAudio();
        c.focus();
        e.preventDefault();  // no text selection, no navigation
        var p = pos(e);
        ORW.events.push([4, p[0], p[1], button(e)]);
      });
      window.addEventListener('mouseup', function(e) {
        keepPage(e);
        var p = pos(e);
        ORW.events.push([5, p[0], p[1], button(e)]);
      });
      c.addEventListener('contextmenu', function(e) { e.preventDefault(); });
      // One notch of the wheel: a press and a release of button 4 (up) or 5
      // (down); sideways 6 (left) or 7 (right).
      c.addEventListener('wheel', function(e) {
        e.preventDefault();
        var p = pos(e);
        if (e.deltaY) {
          var b = e.deltaY < 0 ? 4 : 5;
          ORW.events.push([4, p[0], p[1], b], [5, p[0], p[1], b]);
        }
        if (e.deltaX) {
          var s = e.deltaX < 0 ? 6 : 7;
          ORW.events.push([4, p[0], p[1], s], [5, p[0], p[1], s]);
        }
      }, {passive: false});
      // The browser shows a gamepad once a button on it is pressed; until one
      // is, no time is spent reading them.
      window.addEventListener('gamepadconnected', function() { ORW.padsSeen = true; });
      if (navigator.getGamepads && Array.prototype.some.call(navigator.getGamepads(), Boolean)) ORW.padsSeen = true;
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

    // Browsers start audio only after the user has pressed something. What
    // was meant to be playing by then starts: the sounds still holding their
    // channels, from where they would be, and the music.
    resumeAudio: function() {
      var a = ORW.audio;
      if (!a || a.state === 'running' || ORW.resuming) return;
      ORW.resuming = true;
      a.resume().then(function() {
        ORW.resuming = false;
        if (Module['onAudioStart']) Module['onAudioStart']();
        var now = performance.now();
        for (var i = 0; i < ORW.channels.length; i++) {
          var ch = ORW.channels[i];
          if (ch && !ch.src && now < ch.until) ORW.startSound(ch, i, (now - ch.from) / 1000);
        }
        var m = ORW.music;
        if (m && !m.playing && !m.paused && !m.ended) ORW.startMusic(m.offset);
      }, function() { ORW.resuming = false; });
    },

    // Plays a channel's sound from `offset` seconds in, until its end.
    startSound: function(entry, channel, offset) {
      var a = ORW.audio, buf = ORW.buffers[entry.id];
      var src = a.createBufferSource();
      src.buffer = buf;
      // Each voice has a gain of its own: the sound's volume, changed later too.
      var gain = entry.gain = a.createGain();
      gain.gain.value = entry.id in ORW.volumes ? ORW.volumes[entry.id] : 1;
      src.connect(gain);
      gain.connect(ORW.master);
      src.loop = entry.loops !== 0;
      src.start(0, offset % buf.duration);
      if (entry.until !== Infinity) src.stop(a.currentTime + (entry.until - entry.from) / 1000 - offset);
      entry.src = src;
      src.onended = function() { if (ORW.channels[channel] === entry) ORW.channels[channel] = null; };
    },

    startMusic: function(offset) {
      var m = ORW.music, a = ORW.audio;
      if (a.state !== 'running') return;
      var tracker = ORW.trackers[m.id];
      if (tracker) {
        if (!m.begun) _orw_tracker_start(tracker.module);
        m.begun = true;
        var node = tracker.node = a.createScriptProcessor(4096, 0, 2);
        node.onaudioprocess = function(e) {
          var out = e.outputBuffer, n = out.length, left = out.getChannelData(0), right = out.getChannelData(1);
          if (!_orw_tracker_render(tracker.buf, n)) {
            // The end: again as often as the game asked, or silence.
            if (m.loops === -1 || m.left > 1) {
              if (m.left > 1) m.left--;
              _orw_tracker_start(tracker.module);
              _orw_tracker_render(tracker.buf, n);
            } else {
              m.playing = false;
              m.ended = true;
              node.onaudioprocess = null;
              node.disconnect();
            }
          }
          var p = tracker.buf >> 1;
          for (var i = 0; i < n; i++) {
            left[i] = HEAP16[p + 2 * i] / 32768;
            right[i] = HEAP16[p + 2 * i + 1] / 32768;
          }
        };
        node.connect(ORW.musicGain);
        m.playing = true;
        return;
      }
      var stream = ORW.streams[m.id];
      if (stream) {
        var el = stream.el;
        el.loop = m.loops === -1;
        el.currentTime = offset;
        el.onended = function() {
          if (ORW.music !== m) return;
          if (m.left > 1) {
            m.left--;
            el.currentTime = 0;
            el.play().catch(function() {});
          } else {
            m.playing = false;
            m.ended = true;
          }
        };
        m.playing = true;
        el.play().catch(function() {});
        return;
      }
      var buf = ORW.buffers[m.id];
      if (!buf) return;
      var src = a.createBufferSource();
      src.buffer = buf;
      src.connect(ORW.musicGain);
      if (m.loops !== 1) src.loop = true;
      src.start(0, offset % buf.duration);
      if (m.loops > 1) src.stop(a.currentTime + buf.duration * m.loops - offset);
      m.src = src;
      m.playing = true;
      m.startedAt = a.currentTime - offset;
      src.onended = function() {
        if (ORW.music === m && m.src === src) { m.src = null; m.playing = false; m.ended = true; }
      };
    },

    // Where the music is, in seconds, and stops it there.
    stopMusic: function() {
      var m = ORW.music;
      if (!m || !m.playing) return;
      var stream = ORW.streams[m.id], tracker = ORW.trackers[m.id];
      if (tracker) {
        // libmikmod keeps its place.
        tracker.node.onaudioprocess = null;
        tracker.node.disconnect();
      } else if (stream) {
        m.offset = stream.el.currentTime;
        stream.el.onended = null;
        stream.el.pause();
      } else if (m.src) {
        m.offset = ORW.audio.currentTime - m.startedAt;
        m.src.onended = null;
        m.src.stop();
        m.src = null;
      }
      m.playing = false;
    },

    stopChannel: function(i) {
      var ch = ORW.channels[i];
      if (ch && ch.src) { ch.src.onended = null; ch.src.stop(); }
      ORW.channels[i] = null;
    },

    // A new buffer's id.
    addBuffer: function(buf) {
      var id = ORW.nextBuffer++;
      ORW.buffers[id] = buf;
      return id;
    },
  },

  orw_js_start_clock__deps: ['$ORW'],
  orw_js_start_clock: function() {
    ORW.clockStarts = (ORW.clockStarts || 0) + 1;
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
    ORW.view = null;
    if (Module['onVideoMode']) Module['onVideoMode'](w, h, !!fullscreen);
  },

  // Shows a frame. On the test clock the game may have to wait here for the
  // page (a test taking a screenshot and pressing keys); otherwise it gives
  // the browser a turn when it has not had one for a while.
  orw_js_present__deps: ['$ORW'],
  orw_js_present: function(ptr, w, h) {
    return Asyncify.handleSleep(function(wake) {
      // The frame goes to the canvas straight from the runtime's memory (the
      // view is made again when that memory has grown).
      var view = ORW.view;
      if (!view || view.buffer !== HEAPU8.buffer || view.ptr !== ptr || view.img.width !== w || view.img.height !== h) {
        view = ORW.view = {buffer: HEAPU8.buffer, ptr: ptr,
          img: new ImageData(new Uint8ClampedArray(HEAPU8.buffer, ptr, w * h * 4), w, h)};
      }
      if (ORW.canvas.width === w && ORW.canvas.height === h) ORW.ctx.putImageData(view.img, 0, 0);
      ORW.frames++;
      if (ORW.stops.length && ORW.frames === ORW.stops[0]) {
        ORW.stops.shift();
        var stopped = ORW.lastYield = performance.now();
        // The page's time at a stop is its own, not the game's.
        Module['orvixStopped'](ORW.frames, function() {
          ORW.waitedMs += performance.now() - stopped;
          ORW.pause(0, wake);
        });
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

  orw_js_pad_count__deps: ['$ORW'],
  orw_js_pad_count: function() {
    if (!ORW.padsSeen) return 0;
    var list = ORW.padList = navigator.getGamepads();
    for (var i = 0; i < list.length; i++) {
      var p = list[i];
      if (p && p.connected && ORW.padSlots.indexOf(p.index) < 0) ORW.padSlots.push(p.index);
    }
    return ORW.padSlots.length;
  },

  orw_js_pad__deps: ['$ORW'],
  orw_js_pad: function(index, out) {
    var p = ORW.padList[ORW.padSlots[index]];
    if (!p || !p.connected) return 0;
    var f = out >> 3, axes = p.axes, buttons = p.buttons, i, b;
    HEAPF64[f] = p.mapping === 'standard' ? 1 : 0;
    HEAPF64[f + 1] = axes.length;
    HEAPF64[f + 2] = buttons.length;
    for (i = 0; i < 8; i++) HEAPF64[f + 3 + i] = i < axes.length ? axes[i] : 0;
    for (i = 0; i < 32; i++) {
      b = buttons[i];
      HEAPF64[f + 11 + i] = b && b.pressed ? 1 : 0;
      HEAPF64[f + 43 + i] = b ? b.value : 0;
    }
    return 1;
  },

  orw_js_audio_open__deps: ['$ORW'],
  orw_js_audio_open: function() {
    if (!ORW.audio) {
      // The page's context, often opened already while the runtime loaded.
      try { ORW.audio = Module['orvixAudio'](); } catch (e) { return 0; }
      if (!ORW.audio) return 0;
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
    for (var i = 0; i < ORW.channels.length; i++) ORW.stopChannel(i);
  },

  // Samples the mixer's own readers give, as interleaved 8-bit unsigned or
  // signed, or 16-bit little- or big-endian: a buffer at once, no waiting.
  // Web Audio takes rates from 3000 Hz: a slower sound repeats each frame.
  orw_js_audio_pcm__deps: ['$ORW'],
  orw_js_audio_pcm: function(ptr, frames, channels, rate, format) {
    var repeat = Math.ceil(3000 / rate) || 1;
    var length = Math.max(1, frames * repeat);
    var buf;
    try { buf = ORW.audio.createBuffer(channels, length, rate * repeat); } catch (e) { return 0; }
    var size = format >= 2 ? 2 : 1, step = channels * size;
    // Little-endian 16-bit samples at an even address read as they are.
    var s16 = format === 2 && !(ptr & 1) ? HEAP16.subarray(ptr >> 1, (ptr >> 1) + frames * channels) : null;
    for (var c = 0; c < channels; c++) {
      var out = buf.getChannelData(c), i, v;
      if (s16 && repeat === 1) {
        for (i = 0; i < frames; i++) out[i] = s16[i * channels + c] / 32768;
        continue;
      }
      for (i = 0; i < frames; i++) {
        var p = ptr + i * step + c * size;
        if (format === 0) v = (HEAPU8[p] - 128) / 128;
        else if (format === 1) v = HEAP8[p] / 128;
        else if (format === 2) v = ((HEAPU8[p + 1] << 24 >> 16) | HEAPU8[p]) / 32768;
        else v = ((HEAPU8[p] << 24 >> 16) | HEAPU8[p + 1]) / 32768;
        for (var k = 0; k < repeat; k++) out[i * repeat + k] = v;
      }
    }
    return ORW.addBuffer(buf);
  },

  // Compressed sounds (Ogg Vorbis, FLAC) are decoded by the browser, which
  // is asynchronous; the game waits for it here, as it waits for a file to
  // load natively.
  orw_js_audio_decode__deps: ['$ORW'],
  orw_js_audio_decode: function(ptr, size) {
    return Asyncify.handleSleep(function(wake) {
      var bytes = HEAPU8.slice(ptr, ptr + size);
      var done = false;
      function finish(id) { if (!done) { done = true; ORW.lastYield = performance.now(); wake(id); } }
      try {
        ORW.audio.decodeAudioData(bytes.buffer, function(buf) { finish(ORW.addBuffer(buf)); },
          function() { finish(0); });
      } catch (e) {
        finish(0);
      }
    });
  },

  // Compressed music is streamed by a media element as it plays, through the
  // music's volume: nothing to wait for, and no whole track in memory.
  orw_js_music_stream__deps: ['$ORW'],
  orw_js_music_stream: function(ptr, size, mime) {
    var type = UTF8ToString(mime);
    var el = new Audio();
    if (!el.canPlayType(type)) return 0;
    var url = URL.createObjectURL(new Blob([HEAPU8.slice(ptr, ptr + size)], {type: type}));
    el.preload = 'auto';
    el.src = url;
    var node = ORW.audio.createMediaElementSource(el);
    node.connect(ORW.musicGain);
    var id = ORW.nextBuffer++;
    ORW.streams[id] = {el: el, url: url, node: node};
    return id;
  },

  orw_js_music_tracker__deps: ['$ORW', 'malloc'],
  orw_js_music_tracker: function(module) {
    var buf = _malloc(4096 * 4);
    if (!buf) return 0;
    var id = ORW.nextBuffer++;
    ORW.trackers[id] = {module: module, node: null, buf: buf};
    return id;
  },

  orw_js_audio_rate__deps: ['$ORW'],
  orw_js_audio_rate: function() { return ORW.audio.sampleRate; },

  orw_js_audio_free__deps: ['$ORW', 'free'],
  orw_js_audio_free: function(id) {
    for (var i = 0; i < ORW.channels.length; i++) {
      if (ORW.channels[i] && ORW.channels[i].id === id) ORW.stopChannel(i);
    }
    if (ORW.music && ORW.music.id === id) { ORW.stopMusic(); ORW.music = null; }
    var stream = ORW.streams[id];
    if (stream) {
      stream.el.removeAttribute('src');
      stream.el.load();
      stream.node.disconnect();
      URL.revokeObjectURL(stream.url);
      delete ORW.streams[id];
    }
    if (ORW.trackers[id]) {
      _free(ORW.trackers[id].buf);
      delete ORW.trackers[id];
    }
    delete ORW.buffers[id];
    delete ORW.volumes[id];
  },

  orw_js_audio_halt__deps: ['$ORW'],
  orw_js_audio_halt: function(channel) {
    for (var i = 0; i < ORW.channels.length; i++) {
      if (channel < 0 || channel === i) ORW.stopChannel(i);
    }
  },

  orw_js_audio_volume__deps: ['$ORW'],
  orw_js_audio_volume: function(id, volume) {
    ORW.volumes[id] = volume / 128;
    for (var i = 0; i < ORW.channels.length; i++) {
      var ch = ORW.channels[i];
      if (ch && ch.id === id && ch.gain) ch.gain.gain.value = volume / 128;
    }
  },

  // A channel is busy while its sound plays, or would play: before audio
  // starts, a sound holds its channel for as long as it lasts.
  orw_js_audio_channel_busy__deps: ['$ORW'],
  orw_js_audio_channel_busy: function(channel) {
    var ch = ORW.channels[channel];
    if (ch && !ch.src && performance.now() >= ch.until) ch = ORW.channels[channel] = null;
    return ch ? 1 : 0;
  },

  orw_js_audio_play__deps: ['$ORW'],
  orw_js_audio_play: function(id, channel, loops) {
    var buf = ORW.buffers[id];
    if (!buf) return 0;
    ORW.stopChannel(channel);
    var now = performance.now();
    var entry = {id: id, loops: loops, src: null, from: now,
      until: loops < 0 ? Infinity : now + buf.duration * 1000 * (loops + 1)};
    ORW.channels[channel] = entry;
    if (ORW.audio.state === 'running') ORW.startSound(entry, channel, 0);
    if (Module['onSound']) Module['onSound'](id, channel, loops);
    return 1;
  },

  orw_js_music_play__deps: ['$ORW'],
  orw_js_music_play: function(id, loops) {
    ORW.stopMusic();
    ORW.music = {id: id, loops: loops, left: loops, src: null, startedAt: 0, offset: 0, playing: false,
      paused: false, ended: false, begun: false};
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
    var m = ORW.music;
    if (!m || m.ended || m.paused === !!paused) return;
    if (paused) {
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
