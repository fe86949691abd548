// The page in headless Chromium: typing converts, every direction agrees with
// the native program, the decision view marks changed words, a document
// comes back entry for entry as `vexo file` writes it, a broken one gives the
// program's message, and the page works with the network off once loaded.
// Also measures converting 1 MB in the page against the native program.
//
//   node browser_test.cjs SITE_DIR VEXO WORK_DIR [SCREENSHOT.png]
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const [site, vexoProgram, work, screenshot] = process.argv.slice(2);
const fixtures = path.join(__dirname, '..', 'fixtures');

const native = (args, input) =>
  execFileSync(vexoProgram, args, { input, encoding: 'utf8' }).replace(/\n$/, '');

// A plain static server; closed before the offline part.
function serve(root) {
  const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
    '.wasm': 'application/wasm' };
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname).replace(/\/$/, '/index.html');
    const file = path.join(root, path.normalize(name));
    if (!file.startsWith(root) || !fs.existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

async function setText(page, text) {
  await page.$eval('#input', (input) => { input.value = ''; });
  await page.type('#input', text);
}

async function outputBecomes(page, expected) {
  try {
    await page.waitForFunction((want) => document.getElementById('output').value === want,
                               { timeout: 5000 }, expected);
  } catch {
    assert.equal(await page.$eval('#output', (o) => o.value), expected);
  }
}

async function waitForFile(directory, name) {
  const file = path.join(directory, name);
  for (let i = 0; i < 100 && !fs.existsSync(file); ++i) await new Promise((r) => setTimeout(r, 100));
  return fs.readFileSync(file);
}

async function main() {
  const server = await serve(path.resolve(site));
  const url = `http://127.0.0.1:${server.address().port}/`;
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu'],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1100, height: 900 });
    page.on('pageerror', (error) => console.error('page error:', error.message));
    page.on('console', (message) => {
      if (message.type() === 'error') console.error('page console:', message.text());
    });
    await page.goto(url);
    await page.waitForSelector('body[data-ready]');

    // Typing, in every direction, as the program converts.
    const old = "O'zbekiston shahar, Microsoft shell check: ma'no va g'oya";
    await setText(page, old);
    await outputBecomes(page, native([], old));
    const fresh = 'Özbekiston şahar maʼno ğoya çoy';
    await setText(page, fresh);
    await page.click('input[value=old]');
    await outputBecomes(page, native(['old'], fresh));
    await page.click('#ascii');
    await outputBecomes(page, native(['old', '--ascii'], fresh));
    await page.click('input[value=cyr]');
    await outputBecomes(page, native(['cyr'], fresh));
    console.log('ok: typing in three directions');

    // The decision view: changed words marked, each word's decision as `explain` gives it.
    await page.click('input[value=new]');
    await page.click('#show-decisions');
    const paragraph = "Bugun O'zbekiston bo'ylab shahar va qishloqlarda yangi alifboga o'tish " +
      "boshlandi. Microsoft va Google dasturlari, shell buyruqlari o'zgarmaydi; ma'no saqlanadi.";
    await page.$eval('#input', (input, text) => {
      input.value = text;
      input.dispatchEvent(new Event('input'));
    }, paragraph);
    await outputBecomes(page, native([], paragraph));
    const rows = await page.$$eval('#decision-table tbody tr', (trs) =>
      trs.map((tr) => [...tr.cells].map((c) => c.textContent).concat(tr.className)));
    const explained = native(['explain', paragraph]).split('\n\n')[0].split('\n')
      .map((line) => line.trim().split(/\s+/));
    assert.equal(rows.length, explained.length);
    rows.forEach(([word, converted, , score, cls], i) => {
      assert.equal(word, explained[i][0]);
      assert.ok(Math.abs(Number(score) - Number(explained[i][1])) < 0.006, word);
      assert.equal(cls === 'changed', word !== converted, word);
    });
    const marks = await page.$$eval('#marked mark', (m) => m.map((e) => e.textContent));
    assert.deepEqual(marks, rows.filter((r) => r[4] === 'changed').map((r) => r[1]));
    assert.equal(await page.$eval('#marked', (p) => p.textContent), native([], paragraph));
    if (screenshot) await page.screenshot({ path: screenshot, fullPage: true });
    console.log(`ok: decision view (${rows.length} words, ${marks.length} changed)`);

    // Files: the download holds what `vexo file` writes (entry by entry: the
    // two builds may compress with different libraries); a broken file gives
    // its message.
    const downloads = fs.mkdtempSync(path.join(work, 'downloads-'));
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    const document = path.join(fixtures, 'lo', 'letter.docx');
    const expected = path.join(work, 'letter.yangi.docx');
    const line = native(['file', document, '-o', expected]);
    await (await page.$('#files')).uploadFile(document);
    await page.waitForSelector('#file-results li');
    const item = await page.$eval('#file-results li', (li) => li.textContent);
    const link = await page.$('#file-results li a');
    assert.equal(item, `letter.docx → letter.yangi.docx (${line.match(/\((\d+) ta/)[1]} ta özgariş)`);
    await link.click();
    await waitForFile(downloads, 'letter.yangi.docx');
    execFileSync('python3', [path.join(__dirname, '..', '..', 'tools', 'same_package.py'),
      path.join(downloads, 'letter.yangi.docx'), expected], { stdio: 'inherit' });
    let message = '';
    try {
      execFileSync(vexoProgram, ['file', path.join(fixtures, 'broken.docx'), '-o',
                                 path.join(work, 'broken.out.docx')], { stdio: 'pipe' });
    } catch (failure) {
      message = failure.stderr.toString().trim().replace(/^.*?broken\.docx: /, '');
    }
    assert.ok(message, 'vexo file accepted the broken document');
    await (await page.$('#files')).uploadFile(path.join(fixtures, 'broken.docx'));
    await page.waitForSelector('#file-results li.error');
    assert.equal(await page.$eval('#file-results li.error', (li) => li.textContent),
                 `broken.docx: ${native([], message)}`);
    console.log('ok: document converted as vexo file converts it, broken document reported');

    // Speed: 1 MB in the page against the native program on the same text.
    const megabyte = (paragraph + '\n').repeat(Math.ceil((1 << 20) / Buffer.byteLength(paragraph + '\n')));
    const pageMs = await page.evaluate((text) => {
      const times = [];
      for (let i = 0; i < 5; ++i) {
        const start = performance.now();
        window.vexo.convert(text, true);
        times.push(performance.now() - start);
      }
      return Math.min(...times);
    }, megabyte);
    const textFile = path.join(work, 'megabyte.txt');
    fs.writeFileSync(textFile, megabyte);
    const nativeTimes = [];
    for (let i = 0; i < 5; ++i) {
      const start = process.hrtime.bigint();
      execFileSync(vexoProgram, [], { input: megabyte, maxBuffer: 1 << 26 });
      nativeTimes.push(Number(process.hrtime.bigint() - start) / 1e6);
    }
    const nativeMs = Math.min(...nativeTimes);
    console.log(`speed: 1 MB in the page ${pageMs.toFixed(0)} ms, native ${nativeMs.toFixed(0)} ms ` +
                `(process included), ratio ${(pageMs / nativeMs).toFixed(2)}`);

    // Offline: the service worker serves everything once the server is gone.
    await page.evaluate(() => navigator.serviceWorker.ready);
    await page.reload();
    await page.waitForSelector('body[data-ready]');
    assert.ok(await page.evaluate(() => Boolean(navigator.serviceWorker.controller)));
    await new Promise((resolve) => server.close(resolve));
    server.closeAllConnections?.();
    await page.setOfflineMode(true);
    await page.reload();
    await page.waitForSelector('body[data-ready]', { timeout: 10000 });
    await setText(page, old);
    await outputBecomes(page, native([], old));
    console.log('ok: works offline');
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((failure) => {
  console.error(failure);
  process.exit(1);
});
