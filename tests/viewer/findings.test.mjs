import { test } from 'node:test';
import assert from 'node:assert/strict';
import { model } from './xml.mjs';
import { smallReport } from './reports.mjs';
import * as rules from '../../viewer/findings.js';

const GB = 1024 ** 3;
const ev = (name, elapsed) => ({ name, eventtime: '0d 0:00:01.000', elapsed });

// rule, report options that make it fire, the finding expected, options that keep it quiet.
const CASES = [
  ['lowDiskSpace', { freeBytes: 4 * GB }, { severity: 'problem', text: /Drive C:\\ has only 4\.0 GB free/, place: { view: 'overview', anchor: 'drive-0' } }, { freeBytes: 6 * GB }],
  ['lowMemory', { freeMemKb: 1000000 }, { severity: 'warning', text: /Only 6 % of physical memory/, place: { view: 'system', cls: 'Win32_OperatingSystem', instance: 0, prop: 'FreePhysicalMemory' } }, { freeMemKb: 1800000 }],
  ['productVersions', { registryProducts: [], products: [{ name: 'Pallanto', version: '10.2', buildlabel: '', location: 'C:\\Program Files\\Korvel\\Pallanto\\' }, { name: 'Pallanto', version: '10.3', buildlabel: '', location: 'C:\\Program Files\\Korvel\\Pallanto\\' }] },
    { severity: 'warning', text: /Pallanto is listed with different versions: 10\.2, 10\.3/, place: { view: 'overview', anchor: 'product-0' } }, {}],
  ['productVersions', {
    products: [{ name: 'Pallanto', version: '10.2', buildlabel: '', location: 'C:\\Program Files\\Korvel\\Pallanto\\' }, { name: 'Pallanto', version: '10.2', buildlabel: '', location: 'C:\\Program Files\\Korvel\\Pallanto\\' }],
    registryProducts32: [{ key: 'Pallanto', label: 'Pallanto', version: '10.2', location: 'C:\\Program Files\\Korvel\\Pallanto\\' }] },
  { severity: 'note', text: /registered in both the 32-bit and the 64-bit registry view/ }, {}],
  ['missingInstallFolder', { products: [{ name: 'Gone', version: '1', comments: '', location: 'D:\\Gone\\' }] }, { severity: 'problem', text: /install folder of Gone \(D:\\Gone\\\)/ },
    { products: [{ name: 'Here', version: '1', comments: '', location: 'c:\\program files\\korvel\\PALLANTO\\' }, { name: 'Parent', version: '1', comments: '', location: 'C:\\Program Files\\Korvel\\Pallanto\\bin.exe' }] }],
  ['cutLogs', { cutLog: true }, { severity: 'note', text: /^session\.log was cut/, place: { view: 'files', path: ['C:', 'ProgramData', 'Pallanto', 'logs'], file: 'session.log', line: null } }, {}],
  ['errorLines', { log: 'ok\nFatal: disk\nok\nNullReferenceException at x\nerrorless? no: error\n' }, { severity: 'warning', text: /session\.log has 3 lines .* first line 2: Fatal: disk \| line 4: NullReferenceException at x \| line 5/, place: { view: 'files', path: ['C:', 'ProgramData', 'Pallanto', 'logs'], file: 'session.log', line: 2 } },
    { log: 'all fine\nno problems here\n' }],
  ['personalDataLeftOut', { pii: true }, { severity: 'note', text: /environment variables .* and the identifying WMI properties/, place: { view: 'environment' } }, {}],
  ['emptyWmi', { processes: [] }, { severity: 'warning', text: /process list is empty/, place: { view: 'processes' } }, {}],
  ['emptyWmi', { wmi: false }, { severity: 'warning', text: /WMI system section is empty/, place: { view: 'system' } }, {}],
  ['noProducts', { products: [] }, { severity: 'warning', text: /No products of the maker/ }, {}],
  ['unendedTimedEvents', { events: [ev('mesh.generate', '0d 0:00:02.000'), ev('file.open'), ev('mesh.generate')] }, { severity: 'note', text: /1 timed event was never ended: mesh\.generate/, place: { view: 'events', index: 2 } },
    { events: [ev('mesh.generate', '0d 0:00:02.000'), ev('file.open')] }],
];

for (const [rule, fire, expected, quiet] of CASES) {
  test(`${rule}: ${expected.text}`, () => {
    const found = rules[rule](model(smallReport(fire)));
    const match = found.filter((f) => expected.text.test(f.text));
    assert.equal(match.length, 1, JSON.stringify(found));
    assert.equal(match[0].severity, expected.severity);
    if (expected.place) assert.deepEqual(match[0].place, expected.place);
    assert.deepEqual(rules[rule](model(smallReport(quiet))).filter((f) => expected.text.test(f.text)), []);
  });
}

test('a drive of known size fires below a tenth free even with more than 5 GB', () => {
  const m = model(smallReport({ freeBytes: 20 * GB }));
  m.disks[0].totalBytes = 400 * GB;
  assert.match(rules.lowDiskSpace(m)[0].text, /20\.0 GB free \(5 %\)/);
  m.disks[0].totalBytes = 100 * GB;
  assert.deepEqual(rules.lowDiskSpace(m), []);
});

test('a report without its system section proves nothing about personal data', () => {
  const m = model(smallReport({ pii: true }));
  m.system = null;
  assert.deepEqual(rules.personalDataLeftOut(m), []);
});

test('every rule is listed, and findings come problems first', () => {
  assert.equal(rules.RULES.length, new Set(CASES.map(([r]) => r)).size);
  const all = rules.runFindings(model(smallReport({ freeBytes: GB, cutLog: true, pii: true })));
  assert.deepEqual(all.map((f) => f.severity), ['problem', 'warning', 'note', 'note']);
});
