import { test } from 'node:test';
import assert from 'node:assert/strict';
import { BASE, model, varied, deepReport } from './reports.mjs';
import { search, cutDeeper } from '../../viewer/src/lib/search.js';

const base = model(BASE);
const PALLANTO = [0, 0, 0];
const file = (at, index, line = null) => ({ view: 'files', at, file: index, line });
const key = (at, value = null) => ({ view: 'registry', key: at, value });

// A place names a key or folder by its position: two top-level keys may share a name.
// prettier-ignore
const PLACES = [
  ['pallanto.exe', file(PALLANTO, 0)],
  ['C:\\Program Files\\Korvel\\Pallanto\\', key([0, 0, 0, 0], 2)],
  ['EXPLORER', { view: 'processes', index: 1 }],
  ['mesh.generate', { view: 'events', index: 0 }],
  ['users\\me', { view: 'environment', index: 1 }],
  ['seats=5', { view: 'groups', path: [0, 0] }],
  ['Xeon', { view: 'system', cls: 'Win32_Processor', instance: 0, prop: 'Name' }],
  ['Time: tz', { view: 'system', other: 'time.tz' }],
  ['192.168.1.20', { view: 'overview', anchor: 'adapter-0' }],
  // A path finds the item it names, not every item below it; a type name finds values.
  ['ProgramData\\Pallanto', { view: 'files', at: PALLANTO, file: null, line: null }],
  ['data\\Pallanto\\sett', file(PALLANTO, 1)],
  ['KORVEL-AB\\Pallanto\\Vers', key([0, 0, 0, 0], 1)],
  ['reg_sz', key([0, 0, 0, 0], 0)],
];

test('each kind of text is found with the place that holds it', () => {
  for (const [query, place] of PLACES)
    assert.deepEqual(search(base, query)[0]?.place, place, query);
  assert.equal(search(base, 'ProgramData\\Pallanto').length, 1);
  const twice = varied([['</registry>', '<key name="HKLM"><key name="Second"/></key></registry>']]);
  assert.deepEqual(
    search(twice, 'hklm\\second').map((h) => h.place),
    [key([1, 0])],
  );
});

test('log lines are found one hit per line, with their line numbers; empty queries and the hit limit', () => {
  const hits = search(base, 'error mesh');
  assert.deepEqual(
    hits.map((h) => h.place),
    [2, 5, 8, 17].map((n) => file([0, 0, 0, 0], 0, n)),
  );
  const starts = search(base, '2026-12-04 09:05:07 INFO').map((h) => h.place.line);
  assert.deepEqual(starts, [1, 4, 7, 16], 'a hit at the very start of a file');
  assert.match(hits[0].snippet, /09:06:00 ERROR mesh failed/);
  const inLog = search(base, ':0').filter((h) => h.place.file === 0 && h.place.line);
  assert.equal(inLog.length, 12, 'a line with the text twice is one hit');
  for (const q of ['   ', 'no such text anywhere']) assert.deepEqual(search(base, q), []);
  assert.equal(search(base, 'e', 7).length, 7);
  // Keys and folders deeper than the reader went were not searched: the hits say so.
  assert.equal(cutDeeper(base), false);
  assert.equal(cutDeeper(model(deepReport())), true);
});
