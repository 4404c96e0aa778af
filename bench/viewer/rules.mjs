// Known-issue rules at scale, run by hand (not part of the tests):
//   node bench/viewer/rules.mjs [--page]
// Writes 100 reports of 1 MB (the tests' hand-written report of one machine, grown with a
// log of 200,000 characters and 9,000 files, its Windows build and a product's version
// differing by machine) and a pack of 1,000 rules of every kind (made from the sample
// pack's kinds with different texts, ranges and names, some matching), then prints:
// - the command line over the folder: wall time, CSV lines, exit code;
// - the rules alone in Node over the reports already read;
// - with --page, in headless chromium: the pack dropped on a page with the 100 reports
//   open, the time until every report's findings hold the known issues, and the longest
//   main-thread task meanwhile.
import { spawnSync } from 'node:child_process';
import { availableParallelism, loadavg } from 'node:os';
import { mkdirSync, writeFileSync, readFileSync, rmSync } from 'node:fs';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';
import { BASE, VIEWER_HTML } from '../../tests/viewer/reports.mjs';
import { launch } from '../../tests/viewer/browser.mjs';
import { grownMachine } from './grow.mjs';
import { readReport } from '../../viewer/src/import/report.js';
import { readPack } from '../../viewer/src/lib/rules/pack.js';
import { ruleEngine } from '../../viewer/src/lib/rules/run.js';
import { runFindings } from '../../viewer/src/lib/findings.js';

const top = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const build = process.env.VITASCAN_BUILD_DIR ?? join(top, 'build', 'mingw');
const out = join(build, 'viewer-bench', 'rules');
const REPORTS = 100;
const RULES = 1000;
const REPORT_BYTES = 1 << 20;

function logText() {
  const lines = [];
  for (let i = 0, size = 0; size < 200000; i++) {
    const kind = i % 97 === 0 ? `ERROR ${i} in solver` : 'INFO';
    const l = `2026-12-04 09:${String(i % 60).padStart(2, '0')}:07 ${kind} log 0 line ${i} mesh cells ${i * 7}\n`;
    lines.push(l);
    size += l.length;
  }
  return lines.join('');
}

export function reports() {
  rmSync(out, { recursive: true, force: true });
  mkdirSync(out, { recursive: true });
  const log = logText();
  const paths = [];
  for (let n = 0; n < REPORTS; n++) {
    const machine = BASE.replace(/WORKSTATION7/g, `PC-${String(n).padStart(3, '0')}`)
      .replace('BuildNumber="7601"', `BuildNumber="${n % 2 ? 7601 : 22000 + n * 10}"`)
      .replace('installedversion="10.2.0.15"', `installedversion="10.${n % 5}.0.${n}"`);
    const text = grownMachine(machine, log, REPORT_BYTES);
    paths.push(join(out, `machine-${n}.vitascan`));
    writeFileSync(paths.at(-1), text);
  }
  return paths;
}

const WORDS = ['dongle', 'licence', 'refused', 'timeout', 'socket', 'driver', 'opengl', 'heap'];
const BUILTIN = ['lowDiskSpace', 'lowMemory', 'cutLogs', 'errorLines', 'missingInstallFolder'];
const KEY = 'HKLM\\Software\\KORVEL-AB\\Pallanto';
const KINDS = [
  (k) => ({
    all: [
      { product: 'Pallanto Suite*', version: `>=10.${k % 5} <10.${k % 5}.1` },
      { windows: { build: `>=${22000 + k}` } },
    ],
  }),
  (k) => ({ product: 'Pallanto', version: `>=${k % 12} <${(k % 12) + 1}` }),
  (k) => ({ windows: { caption: ['Windows 7', 'Windows 10', 'Windows 11'][k % 3] } }),
  (k) => ({ registry: { key: KEY, value: `Setting${k}`, equals: `v${k}` } }),
  (k) => ({ registry: { key: KEY, value: 'Version', matches: `^(?i)10\\.${k % 20}$` } }),
  (k) => ({
    not: { file: { folder: 'C:\\ProgramData\\Pallanto', name: `lic${k}*.dat`, present: true } },
  }),
  (k) => ({ file: { folder: 'C:\\Data', name: `file${(k * 7) % 9000}.dat`, size: `>=${k * 50}` } }),
  (k) => ({ log: { name: '*.log', contains: `log 0 line ${k * 13} mesh` } }),
  (k) => ({ log: { name: 'app.log', contains: `${WORDS[k % 8]} ${WORDS[(k * 3) % 8]} ${k}` } }),
  (k) => ({ log: { name: '*.log', matches: `(?i)error ${k}\\d* in solver` } }),
  (k) => ({ log: { name: '*.log', matches: `licen[cs]e server ${k}: (refused|timed out)` } }),
  (k) => ({ process: { name: `Tool${k}.exe`, running: k % 2 === 0 } }),
  (k) => ({ environment: { name: 'PATH', contains: `Pallanto ${k}` } }),
  (k) => ({ environment: { name: `VAR_${k}`, present: true } }),
  (k) => ({ disk: { path: 'C:\\ProgramData', free: { below: k * 2 ** 28 } } }),
  (k) => ({ any: [{ memory: { free: { below: k * 2 ** 24 } } }, { finding: BUILTIN[k % 5] }] }),
];

export function pack() {
  const rules = Array.from({ length: RULES }, (_, k) => ({
    id: `KB-${10000 + k}`,
    title: `Known issue number ${k}`,
    severity: ['problem', 'warning', 'note'][k % 3],
    advice: 'Do what the article says.',
    link: `https://support.example/kb/${10000 + k}`,
    when: KINDS[k % KINDS.length](k),
  }));
  const path = join(out, 'pack-1000.json');
  writeFileSync(path, JSON.stringify({ pack: 'Bench pack', version: '1', rules }));
  return path;
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const paths = reports();
  const packPath = pack();
  // The CPU seconds too: the build machine is shared, and wall time says as much about
  // the others' work as about ours.
  let started = performance.now();
  const run = spawnSync(
    '/usr/bin/time',
    ['-f', '%U %S', process.execPath, join(top, 'viewer', 'triage.mjs'), '--rules', packPath, out],
    { maxBuffer: 1 << 28, encoding: 'utf8' },
  );
  const wall = (performance.now() - started) / 1000;
  const cpu = run.stderr.trim().split('\n').at(-1).split(' ').map(Number);
  console.log(
    `command line, ${RULES} rules over ${REPORTS} reports of 1 MB: ${wall.toFixed(2)} s ` +
      `(${(cpu[0] + cpu[1]).toFixed(1)} CPU s on ${availableParallelism()} cores, load ` +
      `${loadavg()[0].toFixed(1)}), ${run.stdout.split('\r\n').length - 2} findings, exit code ${run.status}`,
  );
  const models = paths.map((p) => readReport(readFileSync(p, 'utf8'), p));
  const builtins = models.map(runFindings);
  const engine = ruleEngine([readPack(readFileSync(packPath, 'utf8'), packPath)]);
  started = performance.now();
  let known = 0;
  let slowest = 0;
  models.forEach((m, i) => {
    const t = performance.now();
    known += engine.run(m, builtins[i]).length;
    slowest = Math.max(slowest, performance.now() - t);
  });
  console.log(
    `rules alone in Node over the read reports: ${(performance.now() - started).toFixed(0)} ms, ` +
      `${known} known issues, slowest report ${slowest.toFixed(0)} ms`,
  );
  if (process.argv.includes('--page')) await measurePage(paths, packPath);
}

// In chromium: the 100 reports open (the Machines view shown), then the pack opened; the
// time until every report's findings hold its known issues and the view is shown again,
// and the main thread's tasks over 50 ms meanwhile.
async function measurePage(paths, packPath) {
  const chromium = await launch();
  try {
    const page = await chromium.browser.newPage();
    await page.setViewport({ width: 1400, height: 1000 });
    await page.evaluateOnNewDocument(() => {
      window.__tasks = [];
      new PerformanceObserver((list) => {
        for (const e of list.getEntries())
          window.__tasks.push({ start: e.startTime, ms: e.duration });
      }).observe({ type: 'longtask', buffered: true });
    });
    await page.goto(`file://${process.env.VITASCAN_VIEWER ?? VIEWER_HTML}`);
    await page.waitForSelector('#app[data-ready="yes"]');
    await (await page.$('#open-reports')).uploadFile(...paths);
    await page.waitForFunction(
      (n) =>
        document.querySelectorAll('table.machines tbody tr').length === n &&
        !document.querySelector('.message.status'),
      { timeout: 300000, polling: 200 },
      REPORTS,
    );
    const from = await page.evaluate(() => performance.now());
    await (await page.$('#open-packs')).uploadFile(packPath);
    await page.waitForFunction(() => document.getElementById('app').dataset.packRuns === '1', {
      timeout: 120000,
      polling: 50,
    });
    const { knownMs, tasks, column } = await page.evaluate(() => ({
      knownMs: Number(document.getElementById('app').dataset.knownMs),
      tasks: window.__tasks,
      column: [...document.querySelectorAll('table.machines tbody tr td:nth-last-child(2)')].map(
        (td) => Number(td.textContent),
      ),
    }));
    const during = tasks.filter((t) => t.start >= from);
    const longest = Math.max(0, ...during.map((t) => t.ms));
    console.log(
      `page, ${RULES} rules opened over ${REPORTS} open reports: all findings in ${(knownMs / 1000).toFixed(2)} s; ` +
        `longest main-thread task ${longest.toFixed(0)} ms, ${during.filter((t) => t.ms > 200).length} over 200 ms; ` +
        `${column.reduce((a, b) => a + b, 0)} known issues in the Machines view (load ${loadavg()[0].toFixed(1)})`,
    );
  } finally {
    await chromium.close();
  }
}
