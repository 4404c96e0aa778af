// The built VitascanViewer.html in headless chromium: open, overview, every section,
// search, compare, broken files and a hostile report.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { launch, openViewer, openReports } from './browser.mjs';
import { REPORT_DIR, VIEWER_HTML, SCREENSHOT_DIR } from './reports.mjs';

const SEARCH = 'header input[type=search]';
let chromium;
before(async () => {
  chromium = await launch();
});
after(() => chromium?.close());

const text = (page, selector) => page.$eval(selector, (el) => el.innerText);
async function show(page, view) {
  await page.click(`nav button[data-view="${view}"]`);
  await page.waitForSelector(`#app[data-view="${view}"]`);
  return text(page, 'main');
}
async function find(page, query) {
  await page.$eval(SEARCH, (el) => {
    el.value = '';
  });
  await page.type(SEARCH, query);
  await page.keyboard.press('Enter');
}

// Runs `check` on a fresh page with the reports opened (or dropped), keeps the page as it
// ends as a screenshot in the build folder for a person to look at, and asserts that
// nothing went wrong or was fetched. The browser's own error element of a broken document
// carries style attributes that the policy blocks; that is expected and harmless.
async function onPage(names, check, { drop = false, brokenDocument = false } = {}) {
  const page = await openViewer(chromium.browser, VIEWER_HTML);
  await openReports(
    page,
    names.map((n) => join(REPORT_DIR, n)),
    drop,
  );
  await check(page);
  mkdirSync(SCREENSHOT_DIR, { recursive: true });
  await page.screenshot({
    path: join(SCREENSHOT_DIR, `${names.at(-1).replace('.vitascan', '')}.png`),
  });
  assert.deepEqual(
    page.problems.filter(
      (p) => !(brokenDocument && /^console: Applying inline style violates/.test(p)),
    ),
    [],
    'no errors, dialogs or policy violations',
  );
  assert.deepEqual(page.requests, [], 'nothing fetched');
}

test('the real command-line report: overview, every section, and compared with a product added', () =>
  onPage(['machine.vitascan', 'machine-with-product.vitascan'], async (page) => {
    await page.click('.switcher button:first-child');
    assert.match(
      await show(page, 'overview'),
      /Operating system\s*Microsoft Windows[^]*Processor[^]*Memory[^]*Time zone[^]*Fixed drives\s*C:\\[^]*Network adapters[^]*Products of the maker/,
    );
    for (const [view, shown] of [
      ['system', /Win32_OperatingSystem[\s\S]*Win32_Processor[\s\S]*Win32_ComputerSystem/],
      ['environment', /PATH/],
      ['registry', /HKLM/],
      ['files', /C:/],
      ['events', /no events/],
      ['groups', /no groups/],
      ['processes', /VitascanCmd\.exe/],
    ])
      assert.match(await show(page, view), shown, view);
    await page.type('.paged input.filter', 'VitascanCMD');
    assert.match(await text(page, '.pager-status'), /^1 of \d+ rows/);
    await show(page, 'compare');
    assert.deepEqual(
      (
        await page.$eval('.diff-summary tr[data-section="products"]', (tr) =>
          [...tr.cells].map((c) => c.textContent),
        )
      ).slice(0, 4),
      ['Products', '1', '0', '0'],
    );
    assert.equal(
      await page.$$eval('.diff-section tr.diff-same', (r) => r.length),
      0,
      'unchanged items are hidden',
    );
    // The added product links to its place in the "after" report.
    await page.click('.diff-section[data-section="products"] tr.diff-added a');
    await page.waitForSelector('#app[data-view="overview"] tr.hit');
    assert.match(await text(page, 'tr.hit'), /Viewer Fixture Product.*3\.1\.4/);
    assert.match(await text(page, '.switcher button.current'), /machine-with-product/);
  }));

test('the server-mode report, dropped on the page, shows its events and the client groups, nested', () =>
  onPage(
    ['server.vitascan'],
    async (page) => {
      const events = await show(page, 'events');
      for (const row of [
        /file\.open\s+plain/,
        /mesh\.generate\s+timed\s/,
        /mesh\.generate\s+timed, never ended/,
        /session\.init\s+with value\s+user & co/,
      ])
        assert.match(events, row);
      // Sorting by name, twice for descending order.
      await page.click('.grid th:first-child');
      await page.click('.grid th:first-child');
      assert.equal(await page.$eval('.grid tbody tr td', (td) => td.textContent), 'session.init');
      await show(page, 'groups');
      assert.equal(
        await page.$eval('.group[data-path="0.0"] .group-name', (el) => el.textContent),
        'licence',
      );
      assert.equal(
        await page.$eval('.group[data-path="0"] > table td', (el) => el.textContent),
        'a<b',
      );
    },
    { drop: true },
  ));

test('a nearly full drive is a finding that opens the drive and goes in the ticket text; search opens a log line and a registry key', () =>
  onPage(['small.vitascan'], async (page) => {
    assert.match(
      await text(page, '.findings-list li[data-rule="lowDiskSpace"]'),
      /^PROBLEM\s*Drive C:\\ has only 1\.0 GB free/,
    );
    await show(page, 'findings');
    await page.click('li[data-rule="lowDiskSpace"] a.evidence');
    await page.waitForSelector('#app[data-view="overview"] [data-anchor="drive-0"].hit');
    await page.click('button.copy-ticket');
    assert.match(
      await page.$eval('textarea.ticket-text', (t) => t.value),
      /\n- \[problem\] Drive C:\\ has only 1\.0 GB free\.\n/,
    );
    await find(page, 'error mesh');
    await page.waitForSelector('.code span.hit');
    assert.equal(await page.$eval('.code span.hit', (el) => el.dataset.line), '2');
    assert.match(await text(page, '.search-status'), /^1 of 4: session\.log, line 2/);
    assert.ok(await page.$('.code span.banner'), 'the cut banner is marked');
    await page.keyboard.press('Enter');
    await page.waitForFunction(
      () => document.querySelector('.code span.hit')?.dataset.line === '5',
    );
    await find(page, 'InstallLocation');
    await page.waitForSelector('#app[data-view="registry"] tr.hit');
    assert.match(await text(page, 'tr.hit'), /InstallLocation/);
  }));

// broken-files.vitascan is large enough for its files to be read after the overview, and
// broken inside them.
test('broken files get a message naming the file and the problem, and what was read is shown', () =>
  onPage(
    ['not-xml.vitascan', 'cut-off.vitascan', 'broken-files.vitascan'],
    async (page) => {
      await page.waitForSelector('#app[data-files-pending="no"] .findings-list');
      const line =
        readFileSync(join(REPORT_DIR, 'broken-files.vitascan'), 'latin1')
          .split('\n')
          .findIndex((l) => l.includes('Pallanto<.exe')) + 1;
      const messages = await page.$$eval('.message', (els) => els.map((e) => e.textContent));
      [
        /^not-xml\.vitascan is not an XML document/,
        /^cut-off\.vitascan is broken at line \d+, column \d+ .*Showing what was read/,
        new RegExp(`^broken-files\\.vitascan is broken at line ${line}, column \\d+`),
      ].forEach((re, i) => assert.match(messages[i], re));
      const findings = await text(page, '.findings-list');
      assert.match(findings, /session\.log has 200000 lines/, 'the log before the break is read');
      assert.doesNotMatch(
        findings,
        /install folder/,
        'an incomplete listing proves no folder missing',
      );
      await page.click('.switcher button:first-child');
      assert.match(
        await show(page, 'overview'),
        /Operating system\s*Microsoft Windows 7 Professional/,
      );
      assert.match(await text(page, '.switcher button.current'), /cut-off/);
    },
    { brokenDocument: true },
  ));

test('a hostile report runs nothing and fetches nothing, alone or compared with a clean one', () =>
  onPage(['small.vitascan', 'hostile.vitascan'], async (page) => {
    for (const view of [
      'overview',
      'system',
      'environment',
      'registry',
      'processes',
      'events',
      'groups',
      'findings',
      'compare',
    ])
      await show(page, view);
    await page.click('input.show-same');
    await page.waitForSelector('#app[data-view="compare"] .show-same:checked');
    await page.click('button.copy-ticket');
    await show(page, 'files');
    // Clicked in the page, not at a point: opening a folder moves the ones below it.
    const clickAll = (selector) =>
      page.$$eval(selector, async (all) => {
        all.forEach((el) => el.click());
        await new Promise(requestAnimationFrame);
        return all.length;
      });
    while (await clickAll('details.node:not([open]) > summary'));
    assert.ok(await clickAll('table.files a'), 'embedded files are opened');
    await find(page, 'onerror');
    for (let i = 0; i < 5; i++) await page.keyboard.press('Enter');
    assert.equal(await page.evaluate(() => window.__pwned), undefined);
    assert.equal(
      await page.evaluate(
        () => document.querySelectorAll('img, svg, iframe, link, object, embed, script').length,
      ),
      1,
      "only the viewer's own script",
    );
  }));
