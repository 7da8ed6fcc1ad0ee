// The examples in the browser against the native build: both play from the
// same seed on a clock that advances 16 ms per frame, the same keys are
// pressed after the same frames (natively by the fixedclock shim, in the
// browser through the DevTools protocol), and the frames are compared pixel
// by pixel: every pixel of every frame must be the native one.
'use strict';
const {test} = require('node:test');
const assert = require('node:assert');
const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const h = require('./harness');
const env = require('./env');

// DOM key codes and the SDL key codes the native run presses for them.
const SDL_KEYS = {ArrowLeft: 276, ArrowRight: 275, ArrowUp: 273, ArrowDown: 274, Space: 32, KeyX: 120,
  KeyP: 112, Minus: 45, Enter: 13};

// GIFs of every kind, a dark CMYK JPEG and a lossy WebP.
const MEDIA_EXTRA = 'sprite.gif,colours.gif,interlaced.gif,offset.gif,frames.gif,cmyk_dark.jpg,lossy.webp';

const GAMES = [
  {
    // Images, surfaces, text and shapes of every kind, still.
    name: 'media',
    cwd: 'tests/browser/games/media',
    script: 'main.lua',
    // The extra images as build_sites.sh gives them.
    args: [path.join(env.build, 'assets'), MEDIA_EXTRA],
    seed: 1,
    stops: {1: [], 3: []},
  },
  {
    // orvixcore.extra's drawing: parts of a sheet, fades, turned, zoomed and
    // mirrored copies, clip rectangles.
    name: 'sprites',
    cwd: 'tests/browser/games/sprites',
    script: 'main.lua',
    args: [path.join(env.build, 'assets')],
    seed: 1,
    stops: {1: [], 3: []},
  },
  {
    name: 'arcade',
    script: 'examples/arcade/arcade.lua',
    args: [path.join(env.build, 'examples/arcade')],
    seed: 7,
    // Frame: keys pressed (+) or released (-) after it.
    stops: {20: [], 45: ['+ArrowLeft', '+Space'], 90: ['-Space', '+ArrowUp'], 140: ['-ArrowLeft', '-ArrowUp'],
      141: ['+KeyP', '+Minus'], 142: ['-KeyP', '-Minus'], 200: ['+ArrowRight', '+Space'], 260: []},
  },
  {
    // From the title into the level: run right over the first coins, jump
    // the first pit, stop on the far side.
    name: 'caverun',
    script: 'examples/caverun/caverun.lua',
    args: [path.join(env.build, 'examples/caverun')],
    seed: 1,
    stops: {5: ['+Enter'], 6: ['-Enter', '+ArrowRight'], 40: [], 75: ['+ArrowUp'], 80: ['-ArrowUp'],
      100: [], 140: ['-ArrowRight'], 150: []},
    // Natively its save folder goes to a folder of the run's own.
    env: {XDG_DATA_HOME: path.join(os.tmpdir(), 'orvix-fidelity-caverun-data')},
  },
  {
    name: 'roguelike',
    script: 'examples/roguelike.lua',
    args: [],
    seed: 3,
    stops: {5: ['+ArrowRight'], 6: ['-ArrowRight'], 10: ['+ArrowDown'], 11: ['-ArrowDown'], 15: ['+KeyX'],
      40: ['-KeyX'], 41: ['+KeyX'], 42: ['-KeyX'], 70: []},
  },
];

function readPPM(file) {
  const data = fs.readFileSync(file);
  const m = /^P6\s+(\d+)\s+(\d+)\s+255\s/.exec(data.toString('latin1', 0, 32));
  assert.ok(m, `not a PPM: ${file}`);
  return {w: Number(m[1]), h: Number(m[2]), rgb: data.subarray(m[0].length)};
}

// The pixels whose colour differs, their number and the first few.
function differences(native, web) {
  assert.strictEqual(web.w, native.w);
  assert.strictEqual(web.h, native.h);
  let count = 0;
  const first = [];
  for (let i = 0; i < native.w * native.h; i++) {
    const a = 3 * i, b = 4 * i;
    if (native.rgb[a] !== web.rgba[b] || native.rgb[a + 1] !== web.rgba[b + 1] ||
        native.rgb[a + 2] !== web.rgba[b + 2]) {
      if (count++ < 4) {
        first.push(`(${i % native.w},${Math.floor(i / native.w)}) ${[...native.rgb.subarray(a, a + 3)]} ` +
          `against ${[...web.rgba.subarray(b, b + 3)]}`);
      }
    }
  }
  return {count, first};
}

function runNative(game, frames, shots) {
  const keys = [];
  for (const [frame, actions] of Object.entries(game.stops)) {
    for (const a of actions) keys.push(`${frame}:${a[0]}${SDL_KEYS[a.slice(1)]}`);
  }
  // The native reference is the system's classic SDL 1.2.15, whatever
  // library path the test itself was given.
  const nativeEnv = Object.assign({}, process.env);
  delete nativeEnv.LD_LIBRARY_PATH;
  const r = childProcess.spawnSync('lua5.1', [game.script, ...game.args], {
    cwd: path.join(env.source, game.cwd || ''),
    encoding: 'utf8',
    timeout: 120000,
    env: Object.assign(nativeEnv, {
      LD_PRELOAD: path.join(env.build, 'tests/libfixedclock.so'),
      LUA_CPATH: `${env.build}/?.so;;`,
      SDL_VIDEODRIVER: 'dummy', SDL_AUDIODRIVER: 'disk', SDL_DISKAUDIOFILE: '/dev/null',
      ORVIX_SEED: String(game.seed), ORVIX_FRAMES: String(frames),
      ORVIX_STOPS: Object.keys(game.stops).join(','), ORVIX_KEYS: keys.join(','), ORVIX_SHOTS: shots,
    }, game.env || {}),
  });
  assert.strictEqual(r.status, 0, `native run failed: ${r.stdout}${r.stderr}`);
  return r.stdout;
}

for (const game of GAMES) {
  test(`${game.name} looks the same in the browser as natively`, async () => {
    const frames = Math.max(...Object.keys(game.stops).map(Number));
    const shots = fs.mkdtempSync(path.join(os.tmpdir(), `orvix-fidelity-${game.name}-`));
    const nativeOut = runNative(game, frames, shots);

    const site = env.site(game.name);
    const {server, base} = await h.serve({site});
    const browser = await h.launch();
    const report = [];
    try {
      const {page, console: log} = await h.openGame(browser, `${base}/site`, {
        clock: 16, stops: Object.keys(game.stops).join(','),
        env: [`ORVIX_SEED=${game.seed}`, `ORVIX_FRAMES=${frames}`],
      });
      for (const [frame, actions] of Object.entries(game.stops)) {
        const stopped = await h.until(page, () => window.orvix.stopped && window.orvix.stopped.frame);
        assert.strictEqual(stopped, Number(frame));
        const web = await h.canvasPixels(page);
        const native = readPPM(path.join(shots, `frame-${frame}.ppm`));
        const d = differences(native, web);
        report.push(`frame ${frame}: ${d.count} pixels differ`);
        if (d.count > 0) {
          fs.writeFileSync(path.join(shots, `web-${frame}.rgba`), web.rgba);
          assert.fail(`frame ${frame}: ${d.count} pixels are not the native ones, as ${d.first.join(', ')} ` +
            `(files in ${shots})`);
        }
        for (const a of actions) {
          if (a[0] === '+') await page.keyboard.down(a.slice(1));
          else await page.keyboard.up(a.slice(1));
        }
        // The presses have reached the page's input queue before the game goes on.
        await h.until(page, (n) => window.Module.orvixState.events.length >= n, actions.length);
        await page.evaluate(() => window.orvix.stopped.resume());
      }
      await h.until(page, () => window.orvix.exitStatus !== null);
      assert.strictEqual(await page.evaluate(() => window.orvix.exitStatus), 0);
      const webOut = log.filter((l) => l.type === 'log').map((l) => l.text + '\n').join('');
      assert.strictEqual(webOut, nativeOut);
    } finally {
      console.log(`# ${game.name} fidelity: ${report.join(', ')}`);
      await browser.close();
      server.close();
    }
    fs.rmSync(shots, {recursive: true, force: true});
    if (game.env && game.env.XDG_DATA_HOME) fs.rmSync(game.env.XDG_DATA_HOME, {recursive: true, force: true});
  });
}
