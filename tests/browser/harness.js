// Shared pieces of the browser tests and the browser benchmark: a static
// file server on 127.0.0.1, Debian's Chromium started headless through
// puppeteer-core, and a game page opened with its query parameters.
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');
const zlib = require('zlib');

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png',
};

// Serves the folders of `roots` (name -> folder) as /name/...; resolves to
// the server and its base URL.
function serve(roots) {
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://127.0.0.1');
    const parts = decodeURIComponent(url.pathname).split('/').filter(Boolean);
    const root = roots[parts.shift()];
    const file = root && path.join(root, ...parts);
    if (!file || !file.startsWith(root) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404);
      res.end('not found');
      return;
    }
    // Validators as a plain static server sends them: a browser that has the
    // file asks again and gets 304 while it is unchanged.
    const st = fs.statSync(file);
    const etag = `"${st.size.toString(16)}-${Math.floor(st.mtimeMs).toString(16)}"`;
    const headers = {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream', 'ETag': etag,
      'Last-Modified': st.mtime.toUTCString(), 'Cache-Control': 'no-cache'};
    if (req.headers['if-none-match'] === etag) {
      res.writeHead(304, headers);
      res.end();
      return;
    }
    res.writeHead(200, headers);
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve({server, base: `http://127.0.0.1:${server.address().port}`}));
  });
}

// Headless Chromium with nothing fetched from outside and sound allowed
// without a click: with a fresh profile, removed when it closes, or with
// the given profile directory, which stays.
async function launch(kept = null) {
  const profile = kept || fs.mkdtempSync(path.join(os.tmpdir(), 'orvix-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
      '--disable-backgrounding-occluded-windows', '--autoplay-policy=no-user-gesture-required'],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    if (!kept) fs.rmSync(profile, {recursive: true, force: true});
  };
  return browser;
}

// Opens a game page and collects what it prints. params: query parameters
// (env may be an array of NAME=VALUE); before(page), if given, runs before
// the page loads (evaluateOnNewDocument and the like).
async function openGame(browser, url, params = {}, before = null) {
  const page = await browser.newPage();
  await page.setViewport({width: 900, height: 700});
  const console = [];
  page.on('console', (m) => console.push({type: m.type(), text: m.text()}));
  page.on('pageerror', (e) => console.push({type: 'pageerror', text: String(e)}));
  if (before) await before(page);
  const q = new URLSearchParams();
  for (const [k, v] of Object.entries(params)) {
    for (const item of [].concat(v)) q.append(k, String(item));
  }
  await page.goto(`${url}/index.html?${q}`);
  return {page, console};
}

// Waits until fn() (run in the page) is truthy; returns its value.
async function until(page, fn, arg, timeout = 60000) {
  const handle = await page.waitForFunction(fn, {timeout, polling: 20}, arg);
  return handle.jsonValue();
}

// The canvas's pixels as RGBA bytes with width and height.
async function canvasPixels(page) {
  const data = await page.evaluate(() => {
    const c = document.getElementById('screen');
    const img = c.getContext('2d').getImageData(0, 0, c.width, c.height);
    const chunks = [];
    for (let i = 0; i < img.data.length; i += 65536) {
      chunks.push(btoa(String.fromCharCode.apply(null, img.data.subarray(i, i + 65536))));
    }
    return {w: c.width, h: c.height, chunks};
  });
  const bytes = Buffer.concat(data.chunks.map((c) => Buffer.from(c, 'base64')));
  return {w: data.w, h: data.h, rgba: bytes};
}

// A gamepad in the browser's standard layout, simulated in the page before
// it loads: navigator.getGamepads() lists it once it is shown, which happens,
// as with a real pad, at the first button pressed on it (with a
// gamepadconnected event). setPad(page, {buttons: {0: true, 6: 0.5},
// axes: {0: 1}}) changes it: buttons pressed (true/false) or pulled (0 to 1),
// axes from -1 to 1. simulatePad(page, true): a pad already shown when the
// page loads (pressed on an earlier visit).
async function simulatePad(page, shownAtLoad = false) {
  await page.evaluateOnNewDocument((shownAtLoad) => {
    const pad = {id: 'Simulated pad (STANDARD GAMEPAD)', index: 0, connected: true, mapping: 'standard',
      timestamp: 0, axes: [0, 0, 0, 0],
      buttons: Array.from({length: 17}, () => ({pressed: false, touched: false, value: 0}))};
    let shown = shownAtLoad;
    // Like the browser, a copy taken when asked for.
    const snapshot = () => Object.assign({}, pad, {axes: pad.axes.slice(),
      buttons: pad.buttons.map((b) => Object.assign({}, b))});
    Object.defineProperty(Navigator.prototype, 'getGamepads', {configurable: true,
      value: () => [shown ? snapshot() : null, null, null, null]});
    window.__orvixPad = (change) => {
      for (const [i, v] of Object.entries(change.buttons || {})) {
        const value = v === true ? 1 : v === false ? 0 : v;
        pad.buttons[i] = {pressed: value > 0.1, touched: value > 0, value};
      }
      for (const [i, v] of Object.entries(change.axes || {})) pad.axes[i] = v;
      pad.timestamp = performance.now();
      if (!shown && pad.buttons.some((b) => b.pressed)) {
        shown = true;
        window.dispatchEvent(new Event('gamepadconnected'));
      }
    };
  }, shownAtLoad);
}

function setPad(page, change) {
  return page.evaluate((c) => window.__orvixPad(c), change);
}

// Sound as a browser allows it to a page nobody has clicked yet, in a page
// about to load: audio starts suspended and resumes only after a click or a
// key (a browser under automation, as the tests run it, allows sound at once).
async function requireGesture(page) {
  await page.evaluateOnNewDocument(() => {
    const Real = window.AudioContext;
    window.AudioContext = class extends Real {
      constructor(...args) {
        super(...args);
        this.suspend();
      }
      resume() {
        return navigator.userActivation.hasBeenActive ? super.resume() : Promise.reject(new Error('no gesture yet'));
      }
    };
  });
}

// What a site weighs when served gzipped: every file but files.txt (a list
// for the builder, not served), each compressed at gzip's best level.
function siteBytes(dir) {
  let total = 0;
  for (const f of fs.readdirSync(dir)) {
    if (f === 'files.txt') continue;
    total += zlib.gzipSync(fs.readFileSync(path.join(dir, f)), {level: 9}).length;
  }
  return total;
}

module.exports = {serve, launch, openGame, until, canvasPixels, siteBytes, simulatePad, setPad, requireGesture};
