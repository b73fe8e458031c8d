// The browser build in headless Chromium, driven over the DevTools protocol on
// --remote-debugging-pipe and judged by what the page shows and says.
//
//   node web_page_test.mjs CHROMIUM BUILD_WEB DESKTOP_PPM draws|keys|pointer|missing-picture|no-webgl
//
// The page is served from BUILD_WEB on loopback; DESKTOP_PPM is the desktop
// program's frame of the still sheet (R held) in its 640 x 480 window.

import { spawn } from 'node:child_process';
import { readFileSync, mkdtempSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { inflateSync } from 'node:zlib';

const [chromium, site, desktopPpm, scenario] = process.argv.slice(2);
const touch = scenario === 'pointer';
const barHeight = touch ? 44 : 28;  // the page's bar above the canvas; taller with the touch buttons
const failures = [];
const check = (ok, what) => { if (!ok) failures.push(what); console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`); return ok; };
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// --- The site, with or without its picture ---------------------------------
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
const server = createServer((request, response) => {
  const name = new URL(request.url, 'http://x').pathname.replace(/^\/$/, '/index.html');
  let body = null;
  if (!(scenario === 'missing-picture' && name === '/foulard.bmp') && /^\/[\w.]+$/.test(name)) {
    try { body = readFileSync(join(site, name)); } catch { body = null; }
  }
  response.writeHead(body ? 200 : 404, { 'Content-Type': types[name.slice(name.lastIndexOf('.'))] || 'application/octet-stream' });
  response.end(body || 'not found');
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));

// --- Chromium and the protocol ------------------------------------------------
const profile = mkdtempSync(join(tmpdir(), 'clothsim-chromium-'));
const browser = spawn(chromium, ['--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic',
  `--user-data-dir=${profile}`, '--remote-debugging-pipe', ...(scenario === 'no-webgl' ? ['--disable-webgl'] : []), 'about:blank'], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
let nextId = 1, received = '';
const pending = new Map(), listeners = [];
browser.stdio[4].on('data', (chunk) => {
  received += chunk.toString();
  for (let end; (end = received.indexOf('\0')) >= 0; received = received.slice(end + 1)) {
    const message = JSON.parse(received.slice(0, end));
    if (message.id && pending.has(message.id)) pending.get(message.id)(message), pending.delete(message.id);
    else listeners.forEach((listen) => listen(message));
  }
});
let session;
function send(method, params = {}) {
  const id = nextId++;
  browser.stdio[3].write(JSON.stringify({ id, method, params, sessionId: session }) + '\0');
  return new Promise((resolve, reject) => pending.set(id, (m) => (m.error ? reject(new Error(`${method}: ${m.error.message}`)) : resolve(m.result))));
}
const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
({ sessionId: session } = await send('Target.attachToTarget', { targetId, flatten: true }));

const dialogs = [], console_ = [];
listeners.push((m) => {
  if (m.method === 'Page.javascriptDialogOpening') dialogs.push(m.params.message), send('Page.handleJavaScriptDialog', { accept: true });
  if (m.method === 'Runtime.consoleAPICalled') console_.push(m.params.args.map((a) => a.value).join(' '));
});
await send('Page.enable');
await send('Runtime.enable');
await send('Emulation.setFocusEmulationEnabled', { enabled: true });
if (touch) await send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
await send('Emulation.setDeviceMetricsOverride', { width: 640, height: 480 + barHeight, deviceScaleFactor: 1, mobile: false });
const evaluate = async (expression) => (await send('Runtime.evaluate', { expression, returnByValue: true })).result.value;

// --- Pictures -------------------------------------------------------------------
function decodePng(bytes) {
  const width = bytes.readUInt32BE(16), height = bytes.readUInt32BE(20), channels = { 2: 3, 6: 4 }[bytes[25]];
  const data = [];
  for (let at = 8; at < bytes.length;) {
    const length = bytes.readUInt32BE(at), type = bytes.toString('latin1', at + 4, at + 8);
    if (type === 'IDAT') data.push(bytes.subarray(at + 8, at + 8 + length));
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data)), stride = width * channels, rgb = Buffer.alloc(width * height * 3);
  let previous = Buffer.alloc(stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)], line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? line[x - channels] : 0, b = previous[x], c = x >= channels ? previous[x - channels] : 0;
      const paeth = () => { const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c); return pa <= pb && pa <= pc ? a : pb <= pc ? b : c; };
      line[x] = (line[x] + [0, a, b, (a + b) >> 1, filter === 4 ? paeth() : 0][filter]) & 255;
    }
    for (let x = 0; x < width; ++x) line.copy(rgb, (y * width + x) * 3, x * channels, x * channels + 3);
    previous = line;
  }
  return { width, height, rgb };
}
const shot = async () => decodePng(Buffer.from((await send('Page.captureScreenshot',
  { format: 'png', clip: { x: 0, y: barHeight, width: 640, height: 480, scale: 1 } })).data, 'base64'));
function readPpm(path) {
  const bytes = readFileSync(path), header = bytes.toString('latin1', 0, 20).match(/^P6\s+(\d+)\s+(\d+)\s+255\s/);
  return { width: +header[1], height: +header[2], rgb: bytes.subarray(header[0].length) };
}
const meanDifference = (a, b) => { let sum = 0; for (let k = 0; k < a.rgb.length; ++k) sum += Math.abs(a.rgb[k] - b.rgb[k]); return sum / a.rgb.length; };
const same = (a, b) => a.rgb.equals(b.rgb);
// Distinct colours in the upper third, where the sheet is, as the desktop test counts them.
const colours = (p) => { const seen = new Set(); for (let k = 0; k < p.rgb.length / 3; k += 3) seen.add(p.rgb.readUIntBE(k, 3)); return seen.size; };
// The sphere's highlight: the light's yellow specular over the grey sphere.
const highlight = (p) => { for (let k = 0; k < p.rgb.length; k += 3) if (p.rgb[k] > 220 && p.rgb[k + 1] > 220 && p.rgb[k + 2] < p.rgb[k] - 40) return true; return false; };
async function changes(times = 4) { let last = await shot(); for (let n = 0; n < times; ++n) { await sleep(150); const now = await shot(); if (same(now, last)) return false; last = now; } return true; }
async function stays() { const first = await shot(); await sleep(400); return same(first, await shot()); }

// --- Keys ----------------------------------------------------------------------------
const keyNames = { R: ['KeyR', 'r', 82], W: ['KeyW', 'w', 87], S: ['KeyS', 's', 83], F1: ['F1', 'F1', 112], Escape: ['Escape', 'Escape', 27] };
const key = (type, name) => { const [code, text, vk] = keyNames[name]; return send('Input.dispatchKeyEvent', { type, code, key: text, windowsVirtualKeyCode: vk, nativeVirtualKeyCode: vk }); };
const press = (name) => key('rawKeyDown', name), release = (name) => key('keyUp', name);
async function until(what, seconds) { for (const end = Date.now() + seconds * 1000; Date.now() < end; await sleep(50)) if (await evaluate(what)) return true; return false; }
// F1 is held until its canvas has gone and a new one has the keyboard, as a key let go within one pass is never seen.
async function reopen() {
  await evaluate("document.getElementById('canvas').dataset.old = 1");
  await press('F1');
  const ok = await until("document.activeElement && document.activeElement.id === 'canvas' && !document.activeElement.dataset.old", 10);
  await release('F1');
  const frames = await evaluate('Module.framesPresented');
  return ok && until(`Module.framesPresented > ${frames}`, 5);
}

// --- The scenarios ---------------------------------------------------------------------
const started = Date.now();
await send('Page.navigate', { url: `http://127.0.0.1:${server.address().port}/` });
try {
  const failure = { 'missing-picture': ['Initialization Failed.', 'cannot read Data/foulard.bmp: No such file'],
    'no-webgl': ["Can't Create A GL Rendering Context.", 'cannot create the OpenGL context: this browser offers no WebGL'] }[scenario];
  if (failure) {
    check(await until("document.getElementById('status').textContent.includes('has ended')", 20), 'the page says the program has ended');
    check(dialogs.some((d) => d.includes(failure[0])), `the box's text reached the dialog: ${JSON.stringify(dialogs)}`);
    check(console_.some((line) => line.includes(failure[1])), `the console says why: ${JSON.stringify(console_)}`);
  } else {
    const drew = await until("(window.Module && Module.framesPresented) > 0", 10);
    check(drew, `the page draws within 10 s (first frame after ${Date.now() - started} ms)`);
    if (drew && scenario === 'draws') {
      await press('R');
      await sleep(500);
      // The figures for the record: the frame rate, and the page's own work per frame.
      await send('Performance.enable');
      const busy = async () => (await send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
      const frames = await evaluate('Module.framesPresented'), before = await busy();
      await sleep(2000);
      const shown = (await evaluate('Module.framesPresented')) - frames;
      console.log(`frames per second: ${shown / 2}; main thread busy ${((await busy() - before) * 1000 / shown).toFixed(2)} ms a frame`);
      const browser = await shot(), desktop = readPpm(desktopPpm), difference = meanDifference(browser, desktop);
      // Measured 0.06 between Mesa's llvmpipe and SwiftShader: the same picture but
      // for rounding. A wrong light or a missing texture moves it by 5 or more.
      check(difference < 1, `the still sheet matches the desktop's frame: mean difference ${difference.toFixed(2)} per channel`);
      check(highlight(browser) && highlight(desktop), 'the sphere has its highlight in both');
      check(colours(browser) > 150 && colours(desktop) > 150, `the cloth shows its picture: ${colours(browser)} colours, desktop ${colours(desktop)}`);
    }
    if (drew && scenario === 'keys') {
      await press('R');
      check(await stays(), 'R held: the sheet stays still');
      // Briefly: flying on, the camera soon passes the scene.
      await press('W');
      check(await changes(1), 'W moves the camera');
      await release('W');
      await press('S');
      await sleep(300);
      await release('S');
      const flat = await shot();
      await release('R');
      await sleep(1500);
      const draped = await shot();
      check(await reopen(), 'F1 makes a new canvas with the keyboard');
      const reset = await shot();
      check(meanDifference(reset, flat) < meanDifference(draped, flat) / 2, 'F1 brings the flat sheet back');
      await press('R');
      await press('S');
      check(await reopen() && await changes(), 'S held through F1 keeps moving the camera');
      await release('S');
      check(await stays(), 'R held through F1 keeps the sheet still');
      await press('Escape');
      check(await until("document.getElementById('status').textContent.includes('has ended')", 10), 'Escape ends the program and the page says so');
      await release('Escape');
      check(await stays(), 'after Escape the picture stays as it is');
    }
    if (drew && scenario === 'pointer') {
      const y = barHeight + 240, mouse = (type, x, buttons) => send('Input.dispatchMouseEvent', { type, x, y, button: 'left', buttons, clickCount: 1 });
      const fingers = (type, ...points) => send('Input.dispatchTouchEvent', { type, touchPoints: points.map(([x, dy]) => ({ x, y: y + dy })) });
      await press('R');
      let before = await shot();
      await mouse('mousePressed', 320, 1), await mouse('mouseMoved', 400, 1), await mouse('mouseReleased', 400, 0);
      check(await until(`Module.framesPresented > ${await evaluate('Module.framesPresented') + 2}`, 5) && !same(before, await shot()), 'a mouse drag turns the view');
      check(await stays(), 'and the view stays once the button is up');
      before = await shot();
      await fingers('touchStart', [320, 0]), await fingers('touchMove', [320, 60]), await fingers('touchEnd');
      check(await until(`Module.framesPresented > ${await evaluate('Module.framesPresented') + 2}`, 5) && !same(before, await shot()), 'a finger drag tilts the view');
      before = await shot();
      await fingers('touchStart', [300, 0], [340, 0]), await fingers('touchMove', [200, 0], [440, 0]), await fingers('touchEnd');
      check(await until(`Module.framesPresented > ${await evaluate('Module.framesPresented') + 2}`, 5) && !same(before, await shot()), 'two fingers spread walk on');
      const flat = await shot();
      await release('R');
      await sleep(1500);
      const draped = await shot(), button = await evaluate(
        "(({ x, y, width, height }) => [x + width / 2, y + height / 2])(document.querySelector('[data-key=\"82\"]').getBoundingClientRect())");
      await send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x: button[0], y: button[1] }] });
      await send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
      const frames = await evaluate('Module.framesPresented');
      await until(`Module.framesPresented > ${frames + 1}`, 5);
      const reset = await shot();
      check(meanDifference(reset, flat) < meanDifference(draped, flat) / 2, 'a tap on the R button brings the flat sheet back');
    }
  }
} finally {
  // Closed as a user would, so its helper processes are gone before the profile is.
  const exited = new Promise((resolve) => browser.once('exit', resolve));
  send('Browser.close').catch(() => {});
  if (await Promise.race([exited.then(() => true), sleep(5000)]) !== true) browser.kill('SIGKILL'), await exited;
  server.close();
  rmSync(profile, { recursive: true, force: true, maxRetries: 10 });
}
process.exit(failures.length ? 1 : 0);
