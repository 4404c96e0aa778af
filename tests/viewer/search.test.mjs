import { test } from 'node:test';
import assert from 'node:assert/strict';
import { BASE, model } from './reports.mjs';
import { buildIndex, search } from '../../viewer/search.js';

const index = buildIndex(model(BASE));

test('each kind of text is found with the place that holds it', () => {
  for (const [query, place] of [
    [
      'pallanto.exe',
      { view: 'files', path: ['C:', 'ProgramData', 'Pallanto'], file: 'Pallanto.exe', line: null },
    ],
    [
      'C:\\Program Files\\Korvel\\Pallanto\\',
      {
        view: 'registry',
        path: ['HKLM', 'Software', 'KORVEL-AB', 'Pallanto'],
        value: 'InstallLocation',
      },
    ],
    ['EXPLORER', { view: 'processes', index: 1 }],
    ['mesh.generate', { view: 'events', index: 0 }],
    ['users\\me', { view: 'environment', index: 1 }],
    ['seats=5', { view: 'groups', path: [0, 0] }],
    ['Xeon', { view: 'system', cls: 'Win32_Processor', instance: 0, prop: 'Name' }],
    ['192.168.1.20', { view: 'overview', anchor: 'adapter-0' }],
  ])
    assert.deepEqual(search(index, query)[0]?.place, place, query);
});

test('log lines are found one hit per line, with their line numbers; empty queries and the hit limit', () => {
  const hits = search(index, 'error mesh');
  assert.deepEqual(
    hits.map((h) => [h.place.file, h.place.line]),
    [2, 5, 8, 17].map((n) => ['session.log', n]),
  );
  assert.deepEqual(
    search(index, '2026-12-04 09:05:07 INFO').map((h) => h.place.line),
    [1, 4, 7, 16],
    'a hit at the very start of a file',
  );
  assert.match(hits[0].snippet, /09:06:00 ERROR mesh failed/);
  assert.equal(
    search(index, ':0').filter((h) => h.place.file === 'session.log').length,
    12,
    'a line with the text twice is one hit',
  );
  for (const q of ['   ', 'no such text anywhere']) assert.deepEqual(search(index, q), []);
  assert.equal(search(index, 'e', 7).length, 7);
});
