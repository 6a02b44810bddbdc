// What the web page costs, in Debian's chromium headless (served from
// 127.0.0.1 by scripts/measure-web): the bytes it transfers, the time from
// the click to the first intro frame, and the CPU per second of the player
// screen: of the program and the page's script, of the page's whole thread
// (its tasks' time) and of the whole browser (every process's CPU). Prints
// "summary" lines as the benchmarks do.
//
// Usage: node measure_page.mjs <url> <player seconds> <allowed transfer bytes>
import fs from 'node:fs';
import puppeteer from 'puppeteer-core';

const [url, playerSeconds, allowedBytes] = process.argv.slice(2);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const summary = (measure, value, target, verdict) =>
  console.log(['summary', measure, value, target, verdict].join('\t'));

// CPU seconds of a process and its descendants (the browser's whole tree).
function treeSeconds(root) {
  const ticks = 100;
  let total = 0;
  const children = new Map();
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const fields = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
      const parent = Number(fields[1]);
      if (!children.has(parent)) children.set(parent, []);
      children.get(parent).push({ pid: Number(pid), seconds: (Number(fields[11]) + Number(fields[12])) / ticks });
    } catch { /* ended meanwhile */ }
  }
  const visit = (pid) => {
    for (const child of children.get(pid) || []) {
      total += child.seconds;
      visit(child.pid);
    }
  };
  visit(root);
  return total;
}

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required'],
});
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 800 });
  const client = await page.createCDPSession();
  await client.send('Network.enable');
  await client.send('Performance.enable');
  let transferred = 0;
  client.on('Network.loadingFinished', (event) => { transferred += event.encodedDataLength; });
  await page.goto(url + '?test', { waitUntil: 'networkidle0' });
  await page.waitForFunction('window.pageTest && pageTest.ready', { timeout: 60000 });
  await page.click('canvas');
  await page.waitForFunction('pageTest.firstFrameAt > 0', { timeout: 10000 });
  const first = await page.evaluate(() => pageTest.firstFrameAt - pageTest.clickAt);

  await page.waitForFunction('pageTest.frame > 1111 + 30', { timeout: 60000, polling: 200 });
  const taskTime = async () =>
    (await client.send('Performance.getMetrics')).metrics.find((m) => m.name === 'TaskDuration').value;
  const browserPid = browser.process().pid;
  const work = () => page.evaluate(() => pageTest.workMs / 1000);
  const [work0, task0, tree0, wall0] = [await work(), await taskTime(), treeSeconds(browserPid), Date.now()];
  await sleep(Number(playerSeconds) * 1000);
  const [work1, task1, tree1, wall1] = [await work(), await taskTime(), treeSeconds(browserPid), Date.now()];
  const seconds = (wall1 - wall0) / 1000;

  summary('web: transfer of the page (bytes)', transferred, '<= ' + allowedBytes,
          transferred <= Number(allowedBytes) ? 'ok' : 'MISSED');
  summary('web: click to first intro frame (ms)', first.toFixed(0), '<= 500', first <= 500 ? 'ok' : 'MISSED');
  // Beside the native program's "whole process, player screen" figure,
  // which leaves the X server out: the first is the like of it, the other
  // two add the browser's own drawing (in software when headless).
  const ms = (value) => (value * 1000 / seconds).toFixed(1);
  summary('web: program and page script, player screen, ms of CPU per second', ms(work1 - work0), '-', '-');
  summary('web: page thread, player screen, ms of CPU per second', ms(task1 - task0), '-', '-');
  summary('web: whole browser, player screen, ms of CPU per second', ms(tree1 - tree0), '-', '-');
} finally {
  await browser.close();
}
