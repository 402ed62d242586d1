// The HTML report as a person sees it: vexmor writes the sample part's report, headless Chromium
// opens it (driven through its DevTools protocol on a pipe, with nothing but Node itself), and
// the test checks that the 3D view shows the part, that the page logged no error and asked no
// server for anything, and that clicking a listed face turns the view to that face.
//
//   node report_page_test.mjs VEXMOR [CHROMIUM [PAGE]]
//
// With PAGE, the test opens that report (written with --min) instead of the sample part's.
// VEXMOR_REPORT_SCREENSHOTS=DIR keeps the screenshots there (before.png, after.png).
import {spawn, spawnSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {inflateSync} from 'node:zlib';

const [vexmor, chromium = '/usr/bin/chromium', given] = process.argv.slice(2);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vexmor-report-'));
const failures = [];
let passed = 0;

function check(ok, what) {
  if (ok) {
    ++passed;
    console.log('ok      ' + what);
  } else {
    failures.push(what);
    console.log('FAILED  ' + what);
  }
}

// PNG screenshots decoded far enough to read pixels: 8-bit RGB or RGBA, any row filters.
function decodePng(buffer) {
  let at = 8, width = 0, height = 0, channels = 0;
  const data = [];
  while (at < buffer.length) {
    const length = buffer.readUInt32BE(at), type = buffer.toString('latin1', at + 4, at + 8);
    const body = buffer.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || (body[9] !== 2 && body[9] !== 6)) throw new Error('unexpected PNG kind');
      channels = body[9] === 6 ? 4 : 3;
    } else if (type === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data)), stride = width * channels;
  const pixels = Buffer.alloc(height * stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    for (let x = 0; x < stride; ++x) {
      const value = raw[y * (stride + 1) + 1 + x];
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predicted = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      pixels[y * stride + x] = (value + predicted) & 255;
    }
  }
  return {width, height, at: (x, y) => {
    const i = y * stride + x * channels;
    return [pixels[i], pixels[i + 1], pixels[i + 2]];
  }};
}

// The DevTools protocol over --remote-debugging-pipe: JSON messages ending in NUL, ours on the
// browser's descriptor 3, its answers and events on 4.
function connect(browser) {
  const toBrowser = browser.stdio[3], fromBrowser = browser.stdio[4];
  const waiting = new Map(), listeners = [];
  let next = 1, pending = '';
  fromBrowser.on('data', (chunk) => {
    pending += chunk.toString('utf8');
    let end;
    while ((end = pending.indexOf('\0')) >= 0) {
      const message = JSON.parse(pending.slice(0, end));
      pending = pending.slice(end + 1);
      if (message.id && waiting.has(message.id)) {
        const {resolve, reject, method} = waiting.get(message.id);
        waiting.delete(message.id);
        if (message.error) reject(new Error(method + ': ' + message.error.message));
        else resolve(message.result);
      } else if (message.method) {
        for (const listener of listeners) listener(message);
      }
    }
  });
  return {
    send(method, params = {}, sessionId = undefined) {
      const id = next++;
      toBrowser.write(JSON.stringify({id, method, params, sessionId}) + '\0');
      return new Promise((resolve, reject) => waiting.set(id, {resolve, reject, method}));
    },
    on(listener) { listeners.push(listener); },
  };
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function main() {
  const page = given ? path.resolve(given) : path.join(work, 'sample.html');
  if (!given) {
    const written = spawnSync(vexmor, ['report', '-o', page, '--min', '1.5', '-q'], {encoding: 'utf8'});
    check(written.status === 0 && fs.existsSync(page), 'vexmor report writes the sample part\'s page');
    if (written.status !== 0) throw new Error('vexmor report failed: ' + written.stderr);
  }

  const browser = spawn(chromium, [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--remote-debugging-pipe', '--user-data-dir=' + path.join(work, 'profile'),
    '--window-size=1280,900', 'about:blank',
  ], {stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe']});
  const browserExited = new Promise((resolve) => browser.on('exit', resolve));
  browser.on('error', (e) => { throw new Error('cannot start ' + chromium + ' (make deps installs it): ' + e.message); });
  const cdp = connect(browser);
  try {
    const {targetId} = await cdp.send('Target.createTarget', {url: 'about:blank'});
    const {sessionId} = await cdp.send('Target.attachToTarget', {targetId, flatten: true});
    const send = (method, params) => cdp.send(method, params, sessionId);
    const errors = [], requests = [];
    cdp.on((m) => {
      if (m.sessionId !== sessionId) return;
      if (m.method === 'Runtime.exceptionThrown') {
        errors.push('exception: ' + m.params.exceptionDetails.exception?.description);
      } else if (m.method === 'Runtime.consoleAPICalled' && m.params.type === 'error') {
        errors.push('console.error: ' + m.params.args.map((a) => a.value ?? a.description).join(' '));
      } else if (m.method === 'Log.entryAdded' && m.params.entry.level === 'error') {
        errors.push('log: ' + m.params.entry.text);
      } else if (m.method === 'Network.requestWillBeSent') {
        const url = m.params.request.url;
        if (!url.startsWith('file:') && !url.startsWith('data:')) requests.push(url);
      }
    });
    for (const domain of ['Runtime', 'Log', 'Network', 'Page']) await send(domain + '.enable');
    await send('Emulation.setDeviceMetricsOverride',
               {width: 1280, height: 900, deviceScaleFactor: 1, mobile: false});
    const start = Date.now();
    await send('Page.navigate', {url: 'file://' + page});
    const evaluate = async (expression) =>
      (await send('Runtime.evaluate', {expression, returnByValue: true, awaitPromise: true})).result.value;
    let ready = false;
    for (let i = 0; i < 1800 && !ready; ++i) {
      ready = (await evaluate('document.documentElement.dataset.ready')) === 'true';
      if (!ready) await sleep(100);
    }
    check(ready, `the page builds its 3D view (in ${((Date.now() - start) / 1000).toFixed(1)} s)`);

    const viewer = await evaluate(
        '(() => { const r = document.getElementById("view").getBoundingClientRect();' +
        ' return [r.left, r.top, r.width, r.height].map(Math.round); })()');
    const keep = process.env.VEXMOR_REPORT_SCREENSHOTS;
    const screenshot = async (name) => {
      const png = Buffer.from((await send('Page.captureScreenshot', {format: 'png'})).data, 'base64');
      if (keep) fs.writeFileSync(path.join(keep, name + '.png'), png);
      return decodePng(png);
    };
    // Pixels of the view that are not its background, distinct colours, and reddish ones (the
    // faces flagged thinner than 1.5 mm: the rib and the pocket floor).
    const survey = (image, wanted) => {
      let drawn = 0, matching = 0, total = 0;
      const colours = new Set();
      for (let y = viewer[1] + 2; y < viewer[1] + viewer[3] - 2; y += 2) {
        for (let x = viewer[0] + 2; x < viewer[0] + viewer[2] - 2; x += 2) {
          const [r, g, b] = image.at(x, y);
          ++total;
          if (Math.abs(r - 250) + Math.abs(g - 250) + Math.abs(b - 250) > 12) ++drawn;
          if (wanted(r, g, b)) ++matching;
          colours.add((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
        }
      }
      return {drawnShare: drawn / total, colours: colours.size, matching};
    };
    const first = survey(await screenshot('before'), (r, g, b) => r > 90 && r > 3 * g && r > 3 * b);
    check(first.drawnShare > 0.1 && first.colours > 10,
          `the screenshot shows the part (${(100 * first.drawnShare).toFixed(1)} % of the view ` +
          `drawn, ${first.colours} colours)`);
    check(first.matching > 50, `the flagged thin faces show red (${first.matching} pixels)`);

    // Click the first face listed under the thickness, as a person would.
    const button = await evaluate(
        '(() => { const b = document.querySelector("#analysis-thickness ol.faces button");' +
        ' b.scrollIntoView({block: "center"}); const r = b.getBoundingClientRect();' +
        ' return {x: r.left + r.width / 2, y: r.top + r.height / 2, face: b.dataset.face,' +
        ' centre: JSON.parse(b.dataset.centre)}; })()');
    for (const type of ['mousePressed', 'mouseReleased']) {
      await send('Input.dispatchMouseEvent',
                 {type, x: button.x, y: button.y, button: 'left', clickCount: 1});
    }
    await sleep(900);
    const focused = await evaluate('document.documentElement.dataset.focusedFace');
    const target = await evaluate('window.vexmorReport.target()');
    const info = await evaluate('document.getElementById("face-info").textContent');
    const off = Math.hypot(...target.map((t, k) => t - button.centre[k]));
    check(focused === button.face && off < 1e-3 && info.includes('face ' + button.face),
          `clicking listed face ${button.face} turns the view to it (${off.toExponential(1)} off)`);
    await evaluate('window.scrollTo(0, 0)');
    const turned = survey(await screenshot('after'), (r, g, b) => r > 200 && b > 200 && g < 80);
    check(turned.matching > 5, `the turned view marks the face (${turned.matching} pixels)`);

    check(errors.length === 0, 'the page logged no error' + (errors.length ? ': ' + errors.join('; ') : ''));
    check(requests.length === 0, 'the page asked no server for anything' +
          (requests.length ? ': ' + requests.join(', ') : ''));
    await cdp.send('Browser.close').catch(() => {});
  } finally {
    const timer = setTimeout(() => browser.kill('SIGKILL'), 5000);
    await browserExited;
    clearTimeout(timer);
    fs.rmSync(work, {recursive: true, force: true});
  }
}

main().then(() => {
  console.log(`${passed} passed, ${failures.length} failed`);
  process.exit(failures.length === 0 ? 0 : 1);
}, (e) => {
  console.log('FAILED  ' + e.message);
  console.log(`${passed} passed, ${failures.length + 1} failed`);
  process.exit(1);
});
