// The browser build as a player meets it: keys and the mouse reach input()
// with SDL 1.2's codes and fields, gamepads arrive as joysticks, saved files
// are kept and can be exported and imported, a fatal failure is shown on the
// page and in the console, a script that needs LuaJIT's FFI says so, and
// sound reaches the browser's audio output.
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const h = require('./harness');
const env = require('./env');

let server, base, browser;

before(async () => {
  ({server, base} = await h.serve({
    input: env.site('input'), fatal: env.site('fatal'), truncated: env.site('truncated'), webp_alpha: env.site('webp_alpha'),
    junk_first: env.site('junk_first'), low_ogg: env.site('low_ogg'), opengl: env.site('opengl'), gl_spin: env.site('gl_spin'),
    sound: env.site('sound'), tracker: env.site('tracker'), saves: env.site('saves'), soundctl: env.site('soundctl'),
  }));
  browser = await h.launch();
});

after(async () => {
  await browser.close();
  server.close();
});

// The lines a game printed with print().
function printed(log) {
  return log.filter((l) => l.type === 'log').map((l) => l.text);
}

test('keys and the mouse reach input() as SDL 1.2 reports them', async () => {
  const {page, console: log} = await h.openGame(browser, `${base}/input`, {
    clock: 16, stops: '5,6,7,8,9,10,11,12,13,14,15,16,17,18,19', env: ['ORVIX_FRAMES=21'],
  });
  const url = page.url();
  // Where the window is on the page, once the game has set its size.
  await h.until(page, () => window.orvix.stopped);
  const box = await page.evaluate(() => {
    const c = document.getElementById('screen');
    const r = c.getBoundingClientRect();
    return {x: r.left, y: r.top, width: c.width, height: c.height, cursor: getComputedStyle(c).cursor};
  });
  // The window has the size init asked for; showCursor(false) hid the pointer.
  assert.deepStrictEqual([box.width, box.height, box.cursor], [320, 240, 'none']);
  // What to do after each stop frame, and the lines the next drain prints:
  // the event, then the state of the up arrow, the A key and the left button.
  const steps = [
    [async () => page.keyboard.down('ArrowUp'),
      ['input 1 273 | up true a false | mouse 0 0 false']],
    [async () => page.keyboard.up('ArrowUp'),
      ['input 2 273 | up false a false | mouse 0 0 false']],
    // A shifted letter is still the lower-case code; the state already shows
    // every event collected, including those still queued.
    [async () => {
      await page.keyboard.down('Shift');
      await page.keyboard.press('KeyA');
      await page.keyboard.up('Shift');
    }, ['input 1 304 | up false a false | mouse 0 0 false', 'input 1 97 | up false a false | mouse 0 0 false',
      'input 2 97 | up false a false | mouse 0 0 false', 'input 2 304 | up false a false | mouse 0 0 false']],
    [async () => {
      await page.mouse.move(box.x + 13, box.y + 18);
      await page.mouse.move(box.x + 10, box.y + 20);
    }, ['input 5 13 18 13 18 | up false a false | mouse 10 20 false',
      'input 5 10 20 -3 2 | up false a false | mouse 10 20 false']],
    [async () => page.mouse.down(),
      ['input 3 10 20 1 | up false a false | mouse 10 20 true']],
    [async () => page.mouse.up(),
      ['input 4 10 20 1 | up false a false | mouse 10 20 false']],
    [async () => {
      await page.mouse.down({button: 'right'});
      await page.mouse.up({button: 'right'});
    }, ['input 3 10 20 3 | up false a false | mouse 10 20 false',
      'input 4 10 20 3 | up false a false | mouse 10 20 false']],
    // One notch of the wheel upward: a press and a release of button 4.
    [async () => page.mouse.wheel({deltaY: -100}),
      ['input 3 10 20 4 | up false a false | mouse 10 20 false',
        'input 4 10 20 4 | up false a false | mouse 10 20 false']],
    // A key held while the page loses the focus is released.
    [async () => page.keyboard.down('ArrowUp'),
      ['input 1 273 | up true a false | mouse 10 20 false']],
    [async () => page.evaluate(() => window.dispatchEvent(new Event('blur'))),
      ['input 2 273 | up false a false | mouse 10 20 false']],
    // The side buttons are X11's 8 (back) and 9 (forward), and do not take
    // the page back or forward.
    [async () => {
      await page.mouse.down({button: 'back'});
      await page.mouse.up({button: 'back'});
      await page.mouse.down({button: 'forward'});
      await page.mouse.up({button: 'forward'});
    }, ['input 3 10 20 8 | up false a false | mouse 10 20 false', 'input 4 10 20 8 | up false a false | mouse 10 20 false',
      'input 3 10 20 9 | up false a false | mouse 10 20 false', 'input 4 10 20 9 | up false a false | mouse 10 20 false']],
    // Sideways on the wheel: 7 to the right.
    [async () => page.mouse.wheel({deltaX: 100}),
      ['input 3 10 20 7 | up false a false | mouse 10 20 false', 'input 4 10 20 7 | up false a false | mouse 10 20 false']],
    // A key SDL 1.2 has no symbol for comes as key 0.
    [async () => page.keyboard.press('AudioVolumeMute'),
      ['input 1 0 | up false a false | mouse 10 20 false', 'input 2 0 | up false a false | mouse 10 20 false']],
    // Caps Lock reports the lock: a press turns it on, the next one off, and
    // the key's releases say nothing.
    [async () => page.keyboard.press('CapsLock'), ['input 1 301 | up false a false | mouse 10 20 false']],
    [async () => page.keyboard.press('CapsLock'), ['input 2 301 | up false a false | mouse 10 20 false']],
  ];
  const expected = [];
  for (const [act, lines] of steps) {
    await h.until(page, () => window.orvix.stopped);
    const before = await page.evaluate(() => window.Module.orvixState.events.length);
    await act();
    await h.until(page, (n) => window.Module.orvixState.events.length > n, before, 5000).catch(() => { throw new Error(`no input reached the page after step ${expected.length}`); });
    await page.evaluate(() => window.orvix.stopped.resume());
    expected.push(...lines);
  }
  await h.until(page, () => window.orvix.exitStatus !== null);
  const got = printed(log).filter((l) => l.startsWith('input'));
  assert.deepStrictEqual(got, expected);
  assert.strictEqual(page.url(), url);
  await page.close();
});

// A pad in the standard layout reads as an XInput pad does natively (see
// tests/web/platform_test.cpp for the arithmetic): numbered axes, buttons and
// hat, axis positions as SDL's corrected values over 32767.
test('a gamepad shown by its first press becomes joystick 0 and reports as natively', async () => {
  const {page, console: log} = await h.openGame(browser, `${base}/input`, {
    clock: 16, stops: '5,6,7,8,9', env: ['ORVIX_FRAMES=12'],
  }, (p) => h.simulatePad(p));
  const steps = [
    // The press that shows the pad is its first event.
    [{buttons: {0: true}}, ['Detected 1 gamepads', 'input 8 0 0']],
    [{axes: {0: 1, 1: -0.5}}, ['input 6 0 0 1', 'input 6 0 1 -0.50001525925474']],
    // The left trigger half way: axis 2, which rests at -32768.
    [{buttons: {6: 0.5}}, ['input 6 0 2 0.0078737754448073']],
    // The d-pad up and right together: hat 0, one event per direction.
    [{buttons: {12: true, 15: true}}, ['input 7 0 0 false true false false', 'input 7 0 0 true true false false']],
    // A released, the guide button (SDL's 8) pressed.
    [{buttons: {0: false, 16: true}}, ['input 9 0 0', 'input 8 0 8']],
  ];
  const expected = [];
  for (const [change, lines] of steps) {
    await h.until(page, () => window.orvix.stopped);
    await h.setPad(page, change);
    await page.evaluate(() => window.orvix.stopped.resume());
    expected.push(...lines);
  }
  await h.until(page, () => window.orvix.exitStatus !== null);
  const got = printed(log).filter((l) => l.startsWith('input') || l.startsWith('Detected')).map((l) => l.split(' | ')[0]);
  assert.deepStrictEqual(got, expected);
  await page.close();
});

test('a gamepad the browser already shows when the game starts is counted by init', async () => {
  const {page, console: log} = await h.openGame(browser, `${base}/input`, {env: ['ORVIX_FRAMES=5']},
    (p) => h.simulatePad(p, true));
  await h.until(page, () => window.orvix.exitStatus !== null);
  // At rest it says nothing more.
  assert.deepStrictEqual(printed(log), ['Orvix init (320x240)', 'Detected 1 gamepads', 'Orvix quit']);
  await page.close();
});

test('a file written under saveDir survives a reload; setTitle names the page; typed text arrives', async () => {
  const dir = '/home/web_user/.local/share/orvix-test/';
  const countLine = () => window.orvix.lines.find((l) => l.startsWith('count '));
  let {page} = await h.openGame(browser, `${base}/saves`);
  assert.strictEqual(await h.until(page, countLine), `count 1 in ${dir}`);
  assert.strictEqual(await page.title(), 'Saves caf\u00e9');
  // The closed file has been written out to the browser's storage.
  await h.until(page, () => window.Module.orvixSaves.writes >= 1);
  assert.strictEqual(await page.evaluate(() => window.Module.orvixSaves.error), null);
  // Shift+H, the key that types é on a French layout, then Shift+1.
  await page.keyboard.down('Shift');
  await page.keyboard.press('KeyH');
  await page.keyboard.up('Shift');
  await page.evaluate(() => {
    for (const type of ['keydown', 'keyup']) window.dispatchEvent(new KeyboardEvent(type, {code: 'Digit2', key: '\u00e9'}));
  });
  await page.keyboard.down('Shift');
  await page.keyboard.press('Digit1');
  await page.keyboard.up('Shift');
  await h.until(page, () => window.orvix.exitStatus !== null);
  assert.ok(await page.evaluate(() => window.orvix.lines.includes('typed H\u00e9!')),
    JSON.stringify(await page.evaluate(() => window.orvix.lines)));
  // The page again, as a player reloading it: the game finds its file.
  await page.reload();
  assert.strictEqual(await h.until(page, countLine), `count 2 in ${dir}`);
  await h.until(page, () => window.Module.orvixSaves.writes >= 1);
  await page.close();
  // A page of its own, after the first one is gone, finds it too.
  ({page} = await h.openGame(browser, `${base}/saves`));
  assert.strictEqual(await h.until(page, countLine), `count 3 in ${dir}`);
  // Reading the kept files back is no change to write out.
  await h.until(page, () => window.Module.orvixSaves.writes >= 1);
  assert.strictEqual(await page.evaluate(() => window.Module.orvixSaves.writes), 1);
  assert.deepStrictEqual(await page.evaluate(() => window.orvix.lines.filter((l) => /syncfs/.test(l))), []);
  await page.close();
});

// Files that are no export of saved games: refused with a message, nothing
// written, the game not started again.
const NOT_SAVES = [
  {name: 'text.json', text: 'count 5'},
  {name: 'other.json', text: JSON.stringify({format: 'other', version: 1, folders: [], files: {}})},
  {name: 'up.json', text: JSON.stringify({format: 'orvix-saves', version: 1, folders: [],
    files: {'../escaped.txt': 'NQ=='}})},
  {name: 'rooted.json', text: JSON.stringify({format: 'orvix-saves', version: 1, folders: ['/tmp/x'], files: {}})},
  {name: 'later.json', text: JSON.stringify({format: 'orvix-saves', version: 2, folders: [], files: {}})},
];

test('saved files outlast the browser, and go to another browser through an exported file', async () => {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'orvix-saves-'));
  const profile = path.join(work, 'profile');
  const downloads = path.join(work, 'downloads');
  fs.mkdirSync(profile);
  const countLine = () => window.orvix.lines.find((l) => l.startsWith('count '));
  const run = async (b, expected) => {
    const {page} = await h.openGame(b, `${base}/saves`, {env: ['ORVIX_FRAMES=1']});
    assert.strictEqual(await h.until(page, countLine), `count ${expected} in /home/web_user/.local/share/orvix-test/`);
    await h.until(page, () => window.orvix.exitStatus !== null && window.Module.orvixSaves.writes >= 1);
    assert.strictEqual(await page.evaluate(() => window.Module.orvixSaves.error), null);
    return page;
  };
  let first = await h.launch(profile);
  let second = null;
  try {
    await (await run(first, 1)).close();
    await first.close();
    // The same profile in a new browser: the file was on disk.
    first = await h.launch(profile);
    const page = await run(first, 2);
    // Exported: a file of the page's download, with the folder's files.
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
    await page.click('#export');
    const exported = path.join(downloads, 'saves-saves.json');
    await (async () => {
      for (let i = 0; i < 500 && !fs.existsSync(exported); i++) await new Promise((r) => setTimeout(r, 20));
    })();
    const data = JSON.parse(fs.readFileSync(exported, 'utf8'));
    assert.deepStrictEqual(data, {format: 'orvix-saves', version: 1, folders: [],
      files: {'orvix-test/count.txt': Buffer.from('2').toString('base64')}});

    // Another browser, nothing saved: the refused files change nothing ...
    second = await h.launch();
    const other = await run(second, 1);
    for (const bad of NOT_SAVES) {
      fs.writeFileSync(path.join(work, bad.name), bad.text);
      const [chooser] = await Promise.all([other.waitForFileChooser(), other.click('#import')]);
      await chooser.accept([path.join(work, bad.name)]);
      assert.strictEqual(await h.until(other, (n) => {
        const s = document.getElementById('status').textContent;
        return s.startsWith(n) && s;
      }, bad.name), `${bad.name}: not a file of saved games.`);
    }
    assert.strictEqual(await other.evaluate(() => window.Module.orvixSaves.exportFiles()),
      JSON.stringify({format: 'orvix-saves', version: 1, folders: [],
        files: {'orvix-test/count.txt': Buffer.from('1').toString('base64')}}));
    // ... the exported one is written over the saves and the game starts
    // again with it.
    const [chooser] = await Promise.all([other.waitForFileChooser(), other.click('#import')]);
    await Promise.all([other.waitForNavigation(), chooser.accept([exported])]);
    assert.strictEqual(await h.until(other, countLine), 'count 3 in /home/web_user/.local/share/orvix-test/');
    await other.close();
  } finally {
    await first.close();
    if (second) await second.close();
    fs.rmSync(work, {recursive: true, force: true});
  }
});

// A failure that ends the game: its message, shown on the page and in the
// console, and the status 1.
const FATAL = [
  {site: 'fatal', lines: ['Orvix init (200x100)', "Couldn't load image missing/picture.png. Exiting."]},
  {site: 'truncated', lines: ['Orvix init (200x100)',
    `Couldn't load image ${path.join(env.build, 'web/truncated.png')}. Exiting.`]},
  {site: 'webp_alpha', lines: ['Orvix init (200x100)',
    `Couldn't load image ${path.join(env.build, 'assets/faint.webp')}. Exiting.`]},
  {site: 'junk_first', lines: ['Orvix init (200x100)',
    `Couldn't load music ${path.join(env.build, 'web/junk_first.wav')}. Exiting.`]},
  {site: 'low_ogg', lines: ['Orvix init (200x100)',
    `Couldn't load sound ${path.join(env.build, 'assets/low.ogg')}. Exiting.`]},
  {site: 'opengl', lines: ['Orvix init (64x48), OpenGL mode',
    "Couldn't set 64x48 video mode: OpenGL is not available in the browser build"]},
];

for (const c of FATAL) {
  test(`a fatal failure is shown on the page and in the console (${c.site})`, async () => {
    const {page, console: log} = await h.openGame(browser, `${base}/${c.site}`);
    await h.until(page, () => window.orvix.exitStatus !== null);
    assert.strictEqual(await page.evaluate(() => window.orvix.exitStatus), 1);
    const message = c.lines[c.lines.length - 1];
    assert.strictEqual(await page.$eval('#fatal', (e) => getComputedStyle(e).display), 'block');
    assert.strictEqual(await page.$eval('#fatal', (e) => e.textContent), message);
    assert.ok(log.some((l) => l.type === 'error' && l.text === message), JSON.stringify(log));
    assert.deepStrictEqual(printed(log), c.lines);
    await page.close();
  });
}

test('a script that needs LuaJIT\'s FFI gets a clear message', async () => {
  const {page} = await h.openGame(browser, `${base}/gl_spin`);
  await h.until(page, () => window.orvix.exitStatus !== null);
  assert.strictEqual(await page.evaluate(() => window.orvix.exitStatus), 1);
  const text = await page.$eval('#fatal', (e) => e.textContent);
  assert.match(text, /^lua: .*this game needs LuaJIT's FFI \(require "ffi"\), which the browser build does not have/);
  await page.close();
});

// Music streamed (Ogg Vorbis) and mixed as it plays (tracker music).
for (const site of ['sound', 'tracker']) test(`music and sounds reach the browser's audio output (${site})`, async () => {
  const {page, console: log} = await h.openGame(browser, `${base}/${site}`, {env: ['ORVIX_FRAMES=600']});
  const started = Date.now();
  while (!printed(log).includes('playing')) {
    assert.ok(Date.now() - started < 60000, 'the game never started playing');
    await new Promise((r) => setTimeout(r, 20));
  }
  // Eight channels, all taken by the endless sound (the beep found none
  // free); the music playing after a pause and a resume.
  const state = await page.evaluate(() => {
    const s = window.Module.orvixState;
    const busy = s.channels.filter(Boolean);
    return {busy: busy.length, sounds: new Set(busy.map((c) => c.id)).size,
      music: !!(s.music && s.music.playing && !s.music.paused), clockStarts: s.clockStarts};
  });
  // The clock started once, with the video, not again with the audio.
  assert.deepStrictEqual(state, {busy: 8, sounds: 1, music: true, clockStarts: 1});
  // Listen to everything the game sends to the speakers, and to the music
  // alone (at half volume).
  const peaks = await page.evaluate(async () => {
    const s = window.Module.orvixState;
    const listen = (node) => {
      const analyser = s.audio.createAnalyser();
      node.connect(analyser);
      return {analyser, buf: new Float32Array(analyser.fftSize), best: 0};
    };
    const all = listen(s.master), music = listen(s.musicGain);
    for (let i = 0; i < 100 && (all.best < 0.05 || music.best < 0.03); i++) {
      await new Promise((r) => setTimeout(r, 50));
      for (const l of [all, music]) {
        l.analyser.getFloatTimeDomainData(l.buf);
        for (const v of l.buf) l.best = Math.max(l.best, Math.abs(v));
      }
    }
    return {all: all.best, music: music.best};
  });
  assert.ok(peaks.all >= 0.05 && peaks.music >= 0.03, `peak levels ${JSON.stringify(peaks)}`);
  // The mixer's volume rules: -1 reads, 500 is held to 128, 64.9 sets 64.
  assert.ok(printed(log).includes('volume\t128\t128\t128\t64'), JSON.stringify(printed(log)));
  await page.close();
});

test('sounds played before audio may start hold their channels, and play once it starts', async () => {
  // As for a player: no sound until a click or a key.
  const {page, console: log} = await h.openGame(browser, `${base}/sound`, {env: ['ORVIX_FRAMES=600']},
    h.requireGesture);
  await h.until(page, () => window.orvix.lines.includes('playing'));
  const held = () => page.evaluate(() => {
    const s = window.Module.orvixState;
    const busy = s.channels.filter(Boolean);
    return {audio: s.audio.state, busy: busy.length, playing: busy.filter((c) => c.src).length, music: s.music.playing};
  });
  // The eight endless sounds hold every channel (the beep found none),
  // silently; the music waits.
  assert.deepStrictEqual(await held(), {audio: 'suspended', busy: 8, playing: 0, music: false});
  await page.click('#screen');
  await h.until(page, () => window.Module.orvixState.audio.state === 'running');
  assert.deepStrictEqual(await held(), {audio: 'running', busy: 8, playing: 8, music: true});
  assert.ok(!printed(log).some((l) => /Couldn't/.test(l)), JSON.stringify(printed(log)));
  await page.close();
});

test('the extra module\'s sound control reaches the browser\'s audio', async () => {
  const {page, console: log} = await h.openGame(browser, `${base}/soundctl`, {clock: 16, stops: '2,4,6', env: ['ORVIX_FRAMES=8']});
  const audio = () => page.evaluate(() => {
    const s = window.Module.orvixState;
    const busy = s.channels.filter(Boolean);
    return {gains: busy.map((c) => c.gain.gain.value), music: !!s.music, paused: !!(s.music && s.music.paused)};
  });
  await h.until(page, () => window.orvix.stopped && window.orvix.stopped.frame === 2);
  // The two voices of the sound at volume 32, the other at full volume.
  assert.deepStrictEqual(await audio(), {gains: [0.25, 0.25, 1], music: true, paused: false});
  await page.evaluate(() => window.orvix.stopped.resume());
  await h.until(page, () => window.orvix.stopped && window.orvix.stopped.frame === 4);
  assert.deepStrictEqual(await audio(), {gains: [], music: true, paused: true});
  await page.evaluate(() => window.orvix.stopped.resume());
  await h.until(page, () => window.orvix.stopped && window.orvix.stopped.frame === 6);
  assert.deepStrictEqual(await audio(), {gains: [], music: false, paused: false});
  await page.evaluate(() => window.orvix.stopped.resume());
  await h.until(page, () => window.orvix.exitStatus !== null);
  assert.deepStrictEqual(printed(log).filter((l) => /^(before|playing|paused|stopped)/.test(l)),
    ['before\tfalse\tfalse', 'playing\ttrue\tfalse', 'paused\ttrue\ttrue', 'stopped\tfalse\tfalse']);
  await page.close();
});

test('the frame timer paces the loop and the page stays responsive', async () => {
  // timer(60): 16 ms slots. After start-up the timer runs unpaced until its
  // schedule has caught up with the clock (a few frames, more on a loaded
  // machine), so the rate is taken well after that: 120 frames from frame
  // 150 on cannot take less than 120 slots.
  const {page} = await h.openGame(browser, `${base}/input`, {env: ['ORVIX_FRAMES=400']});
  const frames = () => page.evaluate(() => (window.Module.orvixState ? window.Module.orvixState.frames : 0));
  let slowest = 0, from = null, to = null;
  while (to === null) {
    const t = Date.now();
    const n = await frames();  // answered between frames, while the game waits
    slowest = Math.max(slowest, Date.now() - t);
    if (from === null && n >= 150) from = {n, t};
    if (from !== null && n >= from.n + 120) to = {n, t};
    await new Promise((r) => setTimeout(r, 20));
  }
  const rate = (to.n - from.n) * 1000 / (to.t - from.t);
  assert.ok(rate <= 62.5 * 1.05, `${rate.toFixed(1)} frames a second`);
  assert.ok(slowest < 1000, `the page took ${slowest} ms to answer`);
  await page.close();
});

test('the arcade\'s site is at most 2 MB gzipped, without the files left out', () => {
  const packed = fs.readFileSync(path.join(env.site('arcade'), 'files.txt'), 'utf8').split('\n')
    .map((l) => l.split('\t')[0]).filter(Boolean);
  // --exclude '*.sh' --exclude stamp: by pattern and by name, the rest kept.
  assert.deepStrictEqual(packed.filter((f) => /\.sh$|\/stamp$/.test(f)), []);
  assert.ok(packed.some((f) => f.endsWith('/arcade.lua')) && packed.some((f) => f.endsWith('/music.ogg')),
    packed.join(' '));
  const total = h.siteBytes(env.site('arcade'));
  console.log(`# arcade site: ${(total / 1048576).toFixed(2)} MB gzipped`);
  assert.ok(total <= 2 * 1048576, `${total} bytes`);
});
