// What the tables show and sort by: the order of keys, dates read by their documented form,
// and the Machines view's line of a report.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { GB, model, varied, BASE } from './reports.mjs';
import { sortedOrder, matchingRows } from '../../viewer/src/lib/rows.js';
import { fileDate, wmiDate, writtenDate } from '../../viewer/src/lib/dates.js';
import {
  machineFacts,
  versionsOf,
  productNames,
  spread,
  beforeAfter,
} from '../../viewer/src/lib/machines.js';
import { runFindings } from '../../viewer/src/lib/findings.js';
import { machinesTicket } from '../../viewer/src/lib/ticket.js';

test('sorting: numbers as numbers, text in natural order ignoring case, empty rows last, stable', () => {
  const sorted = (keys, direction) => sortedOrder(keys, direction).map((i) => keys[i]);
  // prettier-ignore
  const CASES = [
    [['10', 9, '-1', 1e12, '2.5'], 1, ['-1', '2.5', 9, '10', 1e12]],
    [['file10', 'File2', 'file1', '10.2.0.15', '10.2.0.9'], 1, ['10.2.0.9', '10.2.0.15', 'file1', 'File2', 'file10']],
    [['b', null, 'a', '', 3], 1, [3, 'a', 'b', null, '']],
    [['b', null, 'a', '', 3], -1, ['b', 'a', 3, null, '']],
  ];
  for (const [keys, direction, expected] of CASES)
    assert.deepEqual(sorted(keys, direction), expected);
  assert.deepEqual(sortedOrder(['x', 'X', 'x'], -1), [0, 1, 2], 'equal keys keep their order');
  const texts = [
    ['Pallanto', '10'],
    ['explorer', 'PALL'],
    ['other', ''],
  ];
  assert.deepEqual(
    matchingRows([2, 1, 0], (i) => texts[i], ' pall '),
    [1, 0],
  );
  assert.equal(
    matchingRows([0], () => ['x'], '  '),
    null,
  );
});

test('dates are read by the form the report documents, never guessed, and shown as ISO 8601', () => {
  // prettier-ignore
  const CASES = [
    // Day first: 07/12/2026 is the 7th of December.
    [fileDate('07/12/2026 9:05:07'), '2026-12-07 09:05:07 UTC', '2026-12-07T09:05:07+00:00'],
    [wmiDate('20261207194702.279000+060'), '2026-12-07 19:47:02 +01:00', '2026-12-07T19:47:02+01:00'],
    [wmiDate('20261207194702.279000-300'), '2026-12-07 19:47:02 -05:00', '2026-12-07T19:47:02-05:00'],
    // Wine writes the offset in two digits.
    [wmiDate('20261207224849.478000+00'), '2026-12-07 22:48:49 +00:00', '2026-12-07T22:48:49+00:00'],
    [writtenDate({ date: '07/12/2026', time: '22:48:49', tz: 'W. Europe Standard Time' }),
      '2026-12-07 22:48:49 W. Europe Standard Time', '2026-12-07T22:48:49'],
  ];
  for (const [date, shown, iso] of CASES) assert.deepEqual([date.shown, date.iso], [shown, iso]);
  // One instant in two zones is one time; what is not a date of its form stays text.
  assert.equal(wmiDate('20261207194702.000000+060').ms, fileDate('07/12/2026 18:47:02').ms);
  assert.equal(fileDate('07/12/2026 9:05:07').text, '07/12/2026 9:05:07');
  // prettier-ignore
  for (const text of ['31/02/2026 1:00:00', '07/13/2026 1:00:00', '07/12/2026', '2026-12-07 10:00:00', '07/12/2026 24:00:00'])
    assert.equal(fileDate(text), null, text);
  for (const text of ['20261307000000.000000+000', '********000000.000000+000', 'date', ''])
    assert.equal(wmiDate(text), null, text);
  assert.equal(writtenDate({ date: '', time: '10:00:00', tz: '' }), null);
});

test('a machine in one line: names, Windows, memory, system drive, products, findings, time', () => {
  const low = varied([['totalfreebytes="85899345920"', `totalfreebytes="${GB}"`]], 'low.vitascan');
  const facts = machineFacts(low, runFindings(low));
  assert.deepEqual(
    {
      ...facts,
      rules: [...facts.rules],
      known: { ...facts.known, titles: [...facts.known.titles] },
      written: facts.written.shown,
    },
    {
      computer: 'WORKSTATION7',
      windows: 'Microsoft Windows 7 Professional',
      version: '6.1.7601',
      build: '7601',
      memory: 16 * GB,
      drive: 'C:\\',
      free: GB,
      products: [
        { name: 'Pallanto Suite 10.2', version: '10.2.0.15' },
        { name: 'Pallanto', version: '10.2' },
      ],
      counts: { problem: 1, warning: 1, note: 1 },
      rules: [
        ['lowDiskSpace', 1],
        ['errorLines', 1],
        ['cutLogs', 1],
      ],
      known: { count: 0, titles: [] },
      written: '2026-12-06 14:05:09 W. Europe Standard Time',
    },
  );
  const other = machineFacts(varied([['installedversion="10.2"', 'installedversion="10.3"']]), []);
  const all = [facts, other, machineFacts(model(BASE.replace(/<product [^>]*>/g, '')), [])];
  assert.deepEqual(productNames(all), ['Pallanto Suite 10.2', 'Pallanto']);
  assert.deepEqual(spread(all.map((f) => versionsOf(f, 'PALLANTO'))), [
    ['10.2', 1],
    ['10.3', 1],
    ['', 1],
  ]);
  // Of two picked for Compare, Before is the one written first; with no time, the first opened.
  const written = [2000, 1000, null, null];
  // prettier-ignore
  const PICKED = [[[0, 1], [1, 0]], [[3, 2], [2, 3]], [[0, 3], [3, 0]]];
  for (const [picked, expected] of PICKED)
    assert.deepEqual(
      beforeAfter(picked, (i) => written[i]),
      expected,
      `${picked}`,
    );
  assert.match(
    machinesTicket([{ label: 'low.vitascan', facts }]),
    /^Machines \(1\):\n- low\.vitascan: WORKSTATION7; Microsoft Windows 7 Professional 6\.1\.7601 build 7601; memory 16\.0 GB; C:\\ 1\.0 GB free; products: Pallanto Suite 10\.2 10\.2\.0\.15, Pallanto 10\.2; 1 problem, 1 warning, 1 note; written 2026-12-06 14:05:09/,
  );
});
