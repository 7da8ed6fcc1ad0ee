// The browser build as a player meets it: keys and the mouse reach input()
// with SDL 1.2's codes and fields, a fatal failure is shown on the page and
// in the console, a script that needs LuaJIT's FFI says so, and sound
// reaches the browser's audio output.
'use strict';
const {test, before, after} = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const h = require('./harness');
const env = require('./env');

let server, base, browser;

before(async () => {
  ({server, base} = await h.serve({
    input: env.site('input'), fatal: env.site('fatal'), truncated: env.site('truncated'), junk_first: env.site('junk_first'), low_ogg: env.site('low_ogg'), opengl: env.site('opengl'), gl_spin: env.site('gl_spin'), sound: env.site('sound'),
    saves: env.site('saves'), soundctl: env.site('soundctl'),
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
    clock: 16, stops: '5,6,7,8,9,10,11,12,13,14', env: ['ORVIX_FRAMES=16'],
  });
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

// A failure that ends the game: its message, shown on the page and in the
// console, and the status 1.
const FATAL = [
  {site: 'fatal', lines: ['Orvix init (200x100)', "Couldn't load image missing/picture.png. Exiting."]},
  {site: 'truncated', lines: ['Orvix init (200x100)',
    `Couldn't load image ${path.join(env.build, 'web/truncated.png')}. Exiting.`]},
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

test('music and sounds reach the browser\'s audio output', async () => {
  const {page, console: log} = await h.openGame(browser, `${base}/sound`, {env: ['ORVIX_FRAMES=600']});
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
      music: !!(s.music && s.music.src && !s.music.paused)};
  });
  assert.deepStrictEqual(state, {busy: 8, sounds: 1, music: true});
  // Listen to everything the game sends to the speakers.
  const peak = await page.evaluate(async () => {
    const s = window.Module.orvixState;
    const analyser = s.audio.createAnalyser();
    s.master.connect(analyser);
    const buf = new Float32Array(analyser.fftSize);
    let best = 0;
    for (let i = 0; i < 100 && best < 0.05; i++) {
      await new Promise((r) => setTimeout(r, 50));
      analyser.getFloatTimeDomainData(buf);
      for (const v of buf) best = Math.max(best, Math.abs(v));
    }
    return best;
  });
  assert.ok(peak >= 0.05, `peak level ${peak}`);
  // The mixer's volume rules: -1 reads, 500 is held to 128, 64.9 sets 64.
  assert.ok(printed(log).includes('volume\t128\t128\t128\t64'), JSON.stringify(printed(log)));
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

test('the arcade\'s site is at most 2 MB gzipped', () => {
  const dir = env.site('arcade');
  let total = 0;
  for (const f of fs.readdirSync(dir)) {
    if (f === 'files.txt') continue;  // a list for the builder, not served
    total += zlib.gzipSync(fs.readFileSync(path.join(dir, f)), {level: 9}).length;
  }
  console.log(`# arcade site: ${(total / 1048576).toFixed(2)} MB gzipped`);
  assert.ok(total <= 2 * 1048576, `${total} bytes`);
});
