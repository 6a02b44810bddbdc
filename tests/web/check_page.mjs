// The web page end to end in Debian's chromium, headless: started with a
// click, its pictures against the Linux capture of the same frames, its
// sound against a straight decode, the controls at a 2x zoom, Space, and
// not one error on the console.
//
// Usage: node check_page.mjs <url> <out folder> <frames> <keys> <pcm seconds> <run seconds>
// Writes page-NNNN.rgba (the canvas at each frame, lockstep), pcm.raw (what
// Web Audio was handed), result.json (figures and verdicts) into out.
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [url, out, frameList, keys, pcmSeconds, runSeconds] = process.argv.slice(2);
const frames = frameList.split(',').map(Number);
const failures = [];
const result = {};
const fail = (text) => { failures.push(text); console.log('FAIL: ' + text); };
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required',
         '--disable-background-timer-throttling', '--disable-renderer-backgrounding'],
});

async function open(query, width, height) {
  const page = await browser.newPage();
  await page.setViewport({ width, height, deviceScaleFactor: 1 });
  page.on('console', (message) => {
    if (message.type() === 'error') fail('console error: ' + message.text());
    else if (message.type() === 'log') console.log('  page: ' + message.text());
  });
  page.on('pageerror', (error) => fail('page error: ' + error.message));
  page.on('requestfailed', (request) => fail('request failed: ' + request.url()));
  await page.goto(url + '?' + query);
  await page.waitForFunction('window.pageTest && (pageTest.ready || pageTest.errors.length)', { timeout: 60000 });
  const title = await page.title();
  if (title !== 'Vellumbra') fail('title is "' + title + '"');
  return page;
}

async function waitFor(page, expression, seconds, what) {
  try {
    await page.waitForFunction(expression, { timeout: seconds * 1000, polling: 50 });
    return true;
  } catch {
    fail(what);
    return false;
  }
}

// The canvas's box on the page, for clicks at canvas pixels.
async function canvasBox(page) {
  return page.evaluate(() => {
    const box = document.getElementById('disk').getBoundingClientRect();
    return { x: box.left, y: box.top, width: box.width, height: box.height };
  });
}

try {
  // 1. Lockstep: each frame with its own sound, as capture renders it.
  {
    const last = Math.max(...frames);
    const page = await open('test&lockstep=25&frames=' + frames.join(',') + '&keys=' + encodeURIComponent(keys), 640, 400);
    await page.click('canvas');
    if (await waitFor(page, 'pageTest.frame >= ' + last, 300, 'lockstep never reached frame ' + last)) {
      for (const frame of frames) {
        const shot = await page.evaluate((f) => pageTest.shots[f], frame);
        if (!shot) { fail('no picture kept of frame ' + frame); continue; }
        fs.writeFileSync(path.join(out, 'page-' + String(frame).padStart(4, '0') + '.rgba'), Buffer.from(shot, 'base64'));
      }
    }
    await page.close();
  }

  // 2. By the clock at a 2x zoom (1280 x 800 centred in 1440 x 900), with sound.
  {
    const page = await open('test&pcm=' + pcmSeconds, 1440, 900);
    const box = await canvasBox(page);
    result.zoom = box.width / 640;
    if (box.width !== 1280 || box.height !== 800) fail('canvas shown at ' + box.width + ' x ' + box.height + ', not 2x');
    await page.screenshot({ path: path.join(out, 'prompt.png') });
    const started = Date.now();
    await page.mouse.click(box.x + 320 * 2, box.y + 200 * 2);
    await waitFor(page, 'pageTest.firstFrameAt > 0', 10, 'no frame after the click');
    result.first_frame_ms = await page.evaluate(() => pageTest.firstFrameAt - pageTest.clickAt);

    // The player screen comes after the intro's 1111 frames of 33 ms.
    await waitFor(page, 'pageTest.frame > 1111 + 60', 60, 'no player screen');
    await page.screenshot({ path: path.join(out, 'player.png') });
    const before = await page.evaluate(() => pageTest.track());
    // The next button, canvas pixels (320, 44) to (346, 58), clicked at 2x.
    await page.mouse.click(box.x + 333 * 2, box.y + 51 * 2);
    if (await waitFor(page, 'pageTest.track() === ' + (before + 1), 3, 'the next button did not switch the track'))
      result.next_button = 'switched from track ' + before + ' to ' + (before + 1);

    // Hidden behind another tab, the music plays on.
    const other = await browser.newPage();
    await other.bringToFront();
    const before_hidden = await page.evaluate(() => pageTest.callbacks);
    await sleep(4000);
    const hidden = await page.evaluate(() => ({ hidden: pageTest.hidden(), callbacks: pageTest.callbacks }));
    result.hidden_tab = hidden.hidden ? (hidden.callbacks - before_hidden) + ' buffers in 4 s hidden' : 'not hidden';
    if (hidden.hidden && hidden.callbacks - before_hidden < 4 * 44100 / 4096 - 3)
      fail('the sound stopped in a hidden tab');
    await other.close();
    await page.bringToFront();

    await page.keyboard.press('Space');
    // The fade takes a third of a second; then the device pauses.
    if (await waitFor(page, 'pageTest.playing() === 0', 3, 'Space did not pause'))
      result.space = 'paused after the fade';

    const left = Number(runSeconds) * 1000 - (Date.now() - started);
    if (left > 0) await sleep(left);
    const sound = await page.evaluate(() => {
      const all = new Int16Array(pageTest.pcmFrames * 2);
      let at = 0;
      for (const chunk of pageTest.pcm) { all.set(chunk, at); at += chunk.length; }
      const bytes = new Uint8Array(all.buffer);
      let text = '';
      for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
      return { pcm: btoa(text), callbacks: pageTest.callbacks, late: pageTest.late, due: pageTest.buffersDue() };
    });
    fs.writeFileSync(path.join(out, 'pcm.raw'), Buffer.from(sound.pcm, 'base64'));
    result.sound_callbacks = sound.callbacks;
    result.late_callbacks = sound.late;
    result.seconds = (Date.now() - started) / 1000;
    result.sound_buffers_due = sound.due;
    // Every buffer the sound clock played must have come from the program, in
    // time; the one it has just begun may be asked for a moment later.
    if (sound.late > 0 || sound.callbacks < sound.due - 1 || sound.due < 55 * 44100 / 4096)
      fail('sound dropped out: ' + sound.late + ' late, ' + sound.callbacks + ' buffers of ' + sound.due + ' due');

    // Escape fades out and the page offers to play again.
    await page.keyboard.press('Escape');
    await waitFor(page, 'pageTest.ended', 5, 'Escape did not end the disk');
    await page.screenshot({ path: path.join(out, 'ended.png') });
    await page.close();
  }
} catch (error) {
  fail(String(error));
} finally {
  await browser.close();
}

result.failures = failures;
fs.writeFileSync(path.join(out, 'result.json'), JSON.stringify(result, null, 2) + '\n');
console.log(JSON.stringify(result, null, 2));
process.exit(failures.length ? 1 : 0);
