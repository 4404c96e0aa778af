// Viewer benchmark, run by hand after a build (not part of the tests):
//   node bench/viewer/bench.mjs [--synthetic] [--viewer PATH] [--machines | --hostile]
// Makes the reports, opens them in headless chromium through the file picker and prints:
// - reports of 100,000 files (about 11 MB) and of 660,000 files (60 MB), each with 5 logs of
//   512,000 characters: the time from choosing the file to the overview's frame, the
//   longest main-thread task (and the number over 200 ms) from the overview until the
//   files section and the findings are read, and the first search to its log line;
// - two reports of 100,000 files: time to the compare summary;
// - a report of 1,000,000 events (well over 100 MB): time to the overview, or the message;
// - 100 reports of 1 MB, one machine each, chosen together: the time to the Machines view
//   with its 100 rows, and the longest main-thread task meanwhile (--machines: this alone);
// - hostile tokens (a 20 MB value, a 20 MB comment, a million nested groups): the longest
//   main-thread task until the report is read.
// The 100,000-file report is written by the real VitascanCmd.exe under Wine (files laid in
// the build's Wine prefix and removed afterwards); --synthetic writes it here instead, in
// the same layout. The 60 MB and the events reports are always written here: a million
// files or remote calls under Wine would take far longer than the viewer. --viewer
// measures another build of the page (an older one, say).
import { execFileSync } from 'node:child_process';
import {
  mkdirSync,
  writeFileSync,
  readFileSync,
  rmSync,
  statSync,
  createWriteStream,
  readdirSync,
} from 'node:fs';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { launch, openViewer } from '../../tests/viewer/browser.mjs';
import { BASE } from '../../tests/viewer/reports.mjs';
import { grownMachine } from './grow.mjs';

const top = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const build = process.env.VITASCAN_BUILD_DIR ?? join(top, 'build', 'mingw');
const at = process.argv.indexOf('--viewer');
const viewer = at > 0 ? process.argv[at + 1] : join(build, 'bin', 'VitascanViewer.html');
const out = join(build, 'viewer-bench');
mkdirSync(out, { recursive: true });

const FILES = 100000;
const LARGE_FILES = 660000;
const LOGS = 5;
const LOG_CHARS = 512000;
const EVENTS = 1000000;
const MACHINES = 100;
const MACHINE_BYTES = 1 << 20;
const onlyHostile = process.argv.includes('--hostile');
const onlyMachines = process.argv.includes('--machines') || onlyHostile;

function logText(n) {
  const lines = [];
  let size = 0;
  for (let i = 0; size < LOG_CHARS; i++) {
    const l = `2026-12-04 09:${String(i % 60).padStart(2, '0')}:07 ${i % 97 === 0 ? 'ERROR' : 'INFO'} log ${n} line ${i} mesh cells ${i * 7}\n`;
    lines.push(l);
    size += l.length;
  }
  return lines.join('').slice(0, LOG_CHARS);
}

function realFilesReport(path) {
  const prefix = join(build, 'wine', 'drive_c', 'ProgramData', 'Pallanto', 'bench');
  const wineRun = join(top, 'cmake', 'wine-run.sh');
  const env = { ...process.env, VITASCAN_BUILD_DIR: build };
  try {
    for (let d = 0; d < FILES / 1000; d++) {
      const dir = join(prefix, `folder${d}`);
      mkdirSync(dir, { recursive: true });
      for (let f = 0; f < 1000 - (d < LOGS ? 1 : 0); f++)
        writeFileSync(join(dir, `file${f}.dat`), '');
      if (d < LOGS) writeFileSync(join(dir, `session${d}.log`), logText(d));
    }
    execFileSync(join(top, 'cmake', 'wine-server.sh'), ['start'], { env });
    const started = Date.now();
    execFileSync(
      wineRun,
      [join(build, 'bin', 'VitascanCmd.exe'), `/out:Z:${path.replace(/\//g, '\\')}`],
      { env, stdio: 'ignore' },
    );
    console.log(
      `VitascanCmd.exe wrote the 100,000-file report in ${((Date.now() - started) / 1000).toFixed(1)} s`,
    );
  } finally {
    rmSync(prefix, { recursive: true, force: true });
    execFileSync(join(top, 'cmake', 'wine-server.sh'), ['stop'], { env });
  }
}

function syntheticFilesReport(path, files = FILES) {
  const parts = [
    '<?xml version="1.0" encoding="utf-8"?>\n<vitascan version=\'1.0\' versionDisplay=\'1.0.2.0\'>\n<filesystem>\n  <dir name="C:">\n  <dir name="ProgramData">\n    <dir name="Pallanto">\n      <dir name="bench">\n',
  ];
  for (let d = 0; d < files / 1000; d++) {
    parts.push(`        <dir name="folder${d}">\n`);
    if (d < LOGS)
      parts.push(
        `         <file name="session${d}.log" bytes="${LOG_CHARS}" size="500 KB" datemodified="04/12/2026 9:05:07">\n${logText(d)}         </file>\n`,
      );
    for (let f = 0; f < 1000 - (d < LOGS ? 1 : 0); f++)
      parts.push(
        `         <file name="file${f}.dat" bytes="0" size="0 B" datemodified="04/12/2026 9:05:07"/>\n`,
      );
    parts.push('        </dir>\n');
  }
  parts.push('      </dir>\n    </dir>\n  </dir>\n  </dir>\n</filesystem>\n</vitascan>\n');
  writeFileSync(path, parts.join(''));
}

// A changed copy: 1,000 files grow, the last folder is renamed (1,000 removed, 1,000 added).
function changedCopy(from, to) {
  let n = 0;
  const text = readFileSync(from, 'latin1')
    .replace(/(<file name="file\d+\.dat" bytes=")0(")/g, (m, a, b) =>
      n++ % 100 === 0 ? `${a}4096${b}` : m,
    )
    .replace(`<dir name="folder${FILES / 1000 - 1}">`, '<dir name="renamed">');
  writeFileSync(to, text, 'latin1');
}

async function eventsReport(path) {
  const stream = createWriteStream(path);
  const write = (s) => (stream.write(s) ? null : new Promise((r) => stream.once('drain', r)));
  await write(
    '<?xml version="1.0" encoding="utf-8"?>\n<vitascan version=\'1.0\' versionDisplay=\'1.0.2.0\'>\n<events>\n',
  );
  for (let i = 0; i < EVENTS; i++) {
    const ms = i * 37;
    const t = `0d ${Math.floor(ms / 3600000)}:${String(Math.floor(ms / 60000) % 60).padStart(2, '0')}:${String(Math.floor(ms / 1000) % 60).padStart(2, '0')}.${String(ms % 1000).padStart(3, '0')}`;
    await write(
      `  <event name="feature.used.${i % 500}" value="the value of usage event number ${i}" eventtime="${t}" elapsed="0d 0:00:00.${String(i % 1000).padStart(3, '0')}" />\n`,
    );
  }
  await write('</events>\n</vitascan>\n');
  await new Promise((r) => stream.end(r));
}

// The tests' hand-written report as machine n of a customer (its name, free space, memory,
// a product's version and the time written differ), grown to 1 MB with a log and files.
function machineReports() {
  const paths = [];
  const log = logText(0).slice(0, 200000);
  for (let n = 0; n < MACHINES; n++) {
    const machine = BASE.replace(/WORKSTATION7/g, `PC-${String(n).padStart(3, '0')}`)
      .replace('totalfreebytes="85899345920"', `totalfreebytes="${(n % 40) * 2 ** 30}"`)
      .replace(
        'TotalVisibleMemorySize="16777216"',
        `TotalVisibleMemorySize="${(8 + (n % 3) * 8) * 2 ** 20}"`,
      )
      .replace('installedversion="10.2"', `installedversion="10.${2 + (n % 7 === 0)}"`)
      .replace('time="14:05:09"', `time="14:${String(n % 60).padStart(2, '0')}:09"`);
    const text = grownMachine(machine, log, MACHINE_BYTES);
    paths.push(join(out, `machine-${n}.vitascan`));
    writeFileSync(paths.at(-1), text);
  }
  return paths;
}

// A page of the viewer, watched as watchPage says.
async function watchedPage(chromium) {
  const page = await chromium.browser.newPage();
  await page.setViewport({ width: 1400, height: 1000 });
  await page.evaluateOnNewDocument(watchPage);
  await page.goto(`file://${viewer}`);
  await page.waitForSelector('#app[data-ready="yes"]');
  return page;
}

// Opens the 100 machine reports at once: the Machines view, and how the page kept up.
async function measureMachines(chromium, paths) {
  const cpu0 = cpuSeconds(chromium.profile);
  const page = await watchedPage(chromium);
  const shown = page.evaluate(
    (n) => window.__shown(`table.machines tbody tr:nth-child(${n})`),
    MACHINES,
  );
  await (await page.$('input[type=file]')).uploadFile(...paths);
  const shownAt = await shown;
  const { chosenAt, tasks } = await page.evaluate(() => ({
    chosenAt: window.__chosenAt,
    tasks: window.__tasks,
  }));
  const during = tasks.filter((t) => t.start >= chosenAt && t.start < shownAt);
  const longest = Math.max(0, ...during.map((t) => t.ms));
  console.log(
    `${MACHINES} reports of ${mb(paths[0])} chosen together: Machines view with ${MACHINES} rows ` +
      `${((shownAt - chosenAt) / 1000).toFixed(2)} s after choosing them; meanwhile longest ` +
      `main-thread task ${longest.toFixed(0)} ms, ${during.filter((t) => t.ms > 200).length} over ` +
      `200 ms; ${(cpuSeconds(chromium.profile) - cpu0).toFixed(1)} CPU s in all`,
  );
  await page.close();
}

async function timeOpen(page, paths, until, timeout = 600000) {
  const started = Date.now();
  const input = await page.$('input[type=file]');
  await input.uploadFile(...paths);
  await page.waitForFunction(until, { timeout, polling: 50 });
  return (Date.now() - started) / 1000;
}

// CPU seconds used so far by every process of this browser (found by its profile folder):
// on a machine shared with other builds, wall time says more about them than about us.
function cpuSeconds(profile) {
  let ticks = 0;
  for (const pid of readdirSync('/proc').filter((d) => /^\d+$/.test(d))) {
    try {
      if (!readFileSync(`/proc/${pid}/cmdline`, 'latin1').includes(profile)) continue;
      const fields = readFileSync(`/proc/${pid}/stat`, 'latin1').split(') ')[1].split(' ');
      ticks += Number(fields[11]) + Number(fields[12]);
    } catch {
      // The process ended meanwhile.
    }
  }
  return ticks / 100;
}

const mb = (p) => `${(statSync(p).size / 1048576).toFixed(1)} MB`;
const files = join(out, 'files-100k.vitascan');
const files2 = join(out, 'files-100k-changed.vitascan');
const events = join(out, 'events-1m.vitascan');
const large = join(out, 'files-660k.vitascan');
const machines = machineReports();
if (!onlyMachines) {
  syntheticFilesReport(large, LARGE_FILES);
  if (process.argv.includes('--synthetic')) syntheticFilesReport(files);
  else realFilesReport(files);
  changedCopy(files, files2);
  await eventsReport(events);
}

// Set up in the page before it loads: every main-thread task over 50 ms, when the file was
// chosen, and a way to learn when an element first shows (at the frame after it appears).
function watchPage() {
  window.__tasks = [];
  new PerformanceObserver((list) => {
    for (const e of list.getEntries()) window.__tasks.push({ start: e.startTime, ms: e.duration });
  }).observe({ type: 'longtask', buffered: true });
  document.addEventListener('change', () => (window.__chosenAt = performance.now()), true);
  window.__shown = (selector) =>
    new Promise((done) => {
      const check = () => {
        if (!document.querySelector(selector)) return false;
        requestAnimationFrame(() => done(performance.now()));
        return true;
      };
      if (check()) return;
      const watch = new MutationObserver(() => check() && watch.disconnect());
      watch.observe(document, { subtree: true, childList: true, attributes: true });
    });
}

// Opens one large report: the overview, the longest task after it while the rest is read,
// the first search.
async function measureLarge(chromium, path, label) {
  const cpu0 = cpuSeconds(chromium.profile);
  const page = await watchedPage(chromium);
  const overview = page.evaluate(() => window.__shown('.overview'));
  await (await page.$('input[type=file]')).uploadFile(path);
  const overviewAt = await overview;
  await page.waitForSelector('#app[data-files-pending="no"] .findings-list', { timeout: 600000 });
  // The last render of the overview, with its findings, is part of reading the rest.
  await page.evaluate(
    () => new Promise((done) => requestAnimationFrame(() => setTimeout(done, 100))),
  );
  const { chosenAt, tasks } = await page.evaluate(() => ({
    chosenAt: window.__chosenAt,
    tasks: window.__tasks,
  }));
  const after = tasks.filter((t) => t.start >= overviewAt);
  const longest = Math.max(0, ...after.map((t) => t.ms));
  const over = after.filter((t) => t.ms > 200).length;
  const readMs = Math.max(...after.map((t) => t.start + t.ms), overviewAt) - overviewAt;
  const hit = page.evaluate(() => window.__shown('.log tr.hit mark, .code span.hit'));
  await page.type('header input[type=search]', 'line 4242 ');
  const pressed = await page.evaluate(() => performance.now());
  await page.keyboard.press('Enter');
  const searchMs = (await hit) - pressed;
  console.log(
    `${label} (${mb(path)}): overview ${(overviewAt - chosenAt).toFixed(0)} ms after choosing the file; ` +
      `then, until the files section and the findings are read (${readMs.toFixed(0)} ms), longest ` +
      `main-thread task ${longest.toFixed(0)} ms, ${over} tasks over 200 ms; first search to its log ` +
      `line ${searchMs.toFixed(0)} ms; ${(cpuSeconds(chromium.profile) - cpu0).toFixed(1)} CPU s in all`,
  );
  await page.close();
}

// The large reports, a compare of two of them, and a million events.
async function measureLargeReports(chromium) {
  const cpu = () => cpuSeconds(chromium.profile);
  await measureLarge(chromium, files, '100,000 files + 5 logs');
  await measureLarge(chromium, large, '660,000 files + 5 logs');
  let page = await openViewer(chromium.browser, viewer);
  let cpu0 = cpu();
  const cmp = await timeOpen(
    page,
    [files, files2],
    () => document.querySelectorAll('.report-tab').length === 2,
  );
  const compareStart = Date.now();
  await page.click('nav button[data-view="compare"]');
  await page.waitForSelector('.diff-summary');
  const summary = await page.$eval('.diff-summary tr[data-section="files"]', (tr) =>
    [...tr.cells].map((c) => c.textContent).join(' '),
  );
  const inPage = await page.$eval('#app', (el) => `comparing itself ${el.dataset.compareMs} ms`);
  const cpuCompare = cpu() - cpu0;
  const compared = (Date.now() - compareStart) / 1000;
  console.log(
    `compare of two 100,000-file reports: both open in ${cmp.toFixed(2)} s, compare summary ` +
      `${compared.toFixed(2)} s after that (${inPage}; files row: ${summary}); from choosing both ` +
      `files to the summary ${(cmp + compared).toFixed(2)} s, ${cpuCompare.toFixed(2)} CPU s`,
  );
  await page.close();

  page = await openViewer(chromium.browser, viewer);
  cpu0 = cpu();
  const ev = await timeOpen(
    page,
    [events],
    () => document.querySelector('.overview') || document.querySelector('.message.error'),
  );
  const said = await page.$eval('.messages', (el) => el.textContent);
  const heap = await page.evaluate(() => performance.memory?.usedJSHeapSize);
  if (!said) {
    const t0 = Date.now();
    await page.click('nav button[data-view="events"]');
    await page.waitForSelector('.paged, .table');
    console.log(
      `1,000,000 events (${mb(events)}): overview in ${ev.toFixed(2)} s, ` +
        `${(cpu() - cpu0).toFixed(2)} CPU s, events table in ${((Date.now() - t0) / 1000).toFixed(2)} s, ` +
        `JS heap ${(heap / 1048576).toFixed(0)} MB`,
    );
  } else {
    console.log(`1,000,000 events (${mb(events)}): refused in ${ev.toFixed(2)} s: ${said}`);
  }
  await page.close();
}

// Hostile tokens: one attribute value and one comment of 20 MB each, and client groups
// nested a million deep: the longest main-thread task until the report is read.
const hostile = join(out, 'hostile-tokens.vitascan');
async function measureHostile(chromium) {
  const big = 'x'.repeat(20 << 20);
  writeFileSync(
    hostile,
    BASE.replace('value="C:\\users\\me\\Temp"', `value="${big}"`)
      .replace('<disks>', `<!--${big}--><disks>`)
      .replace('<client build="nightly-42">', `$&${'<g>'.repeat(1e6)}${'</g>'.repeat(1e6)}`),
  );
  const page = await watchedPage(chromium);
  await (await page.$('input[type=file]')).uploadFile(hostile);
  await page.waitForSelector('#app[data-files-pending="no"] .findings-list', { timeout: 600000 });
  const { chosenAt, tasks } = await page.evaluate(() => ({
    chosenAt: window.__chosenAt,
    tasks: window.__tasks,
  }));
  const after = tasks.filter((t) => t.start >= chosenAt);
  const longest = Math.max(0, ...after.map((t) => t.ms));
  const read = Math.max(...after.map((t) => t.start + t.ms), chosenAt) - chosenAt;
  console.log(
    `hostile tokens (${mb(hostile)}): read in ${(read / 1000).toFixed(2)} s, longest main-thread ` +
      `task ${longest.toFixed(0)} ms, ${after.filter((t) => t.ms > 200).length} over 200 ms`,
  );
  await page.close();
}

const chromium = await launch();
try {
  if (!onlyHostile) await measureMachines(chromium, machines);
  if (!onlyMachines) await measureLargeReports(chromium);
  if (!onlyMachines || onlyHostile) await measureHostile(chromium);
} finally {
  await chromium.close();
}
