import { test } from 'node:test';
import assert from 'node:assert/strict';
import { GB, varied } from './reports.mjs';
import * as rules from '../../viewer/findings.js';

const free = (gb, size = '') => [
  'totalfreebytes="85899345920"',
  `totalfreebytes="${gb * GB}"${size && ` totalbytes="${size * GB}"`}`,
];
const memory = (kb) => ['FreePhysicalMemory="8388608"', `FreePhysicalMemory="${kb}"`];
const logs = ['C:', 'ProgramData', 'Pallanto', 'logs'];
const suite =
  'comments="Engineering suite" installlocation="C:\\Program Files\\Korvel\\Pallanto\\"';

// rule, edits that make it fire, the finding expected, edits after which the rule finds
// nothing (the hand-written report itself finds nothing).
const CASES = [
  [
    'lowDiskSpace',
    [free(4)],
    {
      severity: 'problem',
      text: /^Drive C:\\ has only 4\.0 GB free\.$/,
      place: { view: 'overview', anchor: 'drive-0' },
    },
    [free(6)],
  ],
  [
    'lowDiskSpace',
    [free(20, 400)],
    {
      severity: 'problem',
      text: /20\.0 GB free \(5 %\)/,
      place: { view: 'overview', anchor: 'drive-0' },
    },
    [free(20, 100)],
  ],
  [
    'lowMemory',
    [memory(1000000)],
    {
      severity: 'warning',
      text: /Only 6 % of physical memory/,
      place: {
        view: 'system',
        cls: 'Win32_OperatingSystem',
        instance: 0,
        prop: 'FreePhysicalMemory',
      },
    },
    [memory(1800000)],
  ],
  [
    'productVersions',
    [
      [
        'name="Pallanto Suite 10.2" installedversion="10.2.0.15"',
        'name="PALLANTO" installedversion="10.3"',
      ],
    ],
    {
      severity: 'warning',
      text: /^PALLANTO is listed with different versions: 10\.3, 10\.2\.$/,
      place: { view: 'overview', anchor: 'product-0' },
    },
  ],
  [
    'productVersions',
    [
      [
        '<key name="Software">',
        '<key name="Software"><key name="WOW6432Node"><key name="KORVEL-AB"><key name="P"><value name="ProductLabel" value="Pallanto"/></key></key></key>',
      ],
      [/ *<product name="Pallanto" .*\n/, (line) => line + line],
    ],
    {
      severity: 'note',
      text: /^Pallanto is registered in both the 32-bit and the 64-bit registry view/,
      place: { view: 'overview', anchor: 'product-1' },
    },
  ],
  [
    'missingInstallFolder',
    [[suite, 'installlocation="D:\\Gone\\"']],
    {
      severity: 'problem',
      text: /install folder of Pallanto Suite 10\.2 \(D:\\Gone\\\)/,
      place: { view: 'overview', anchor: 'product-0' },
    },
    [
      [suite, 'installlocation="c:\\program files\\korvel\\PALLANTO\\"'],
      [
        /installlocation="C:[^"]*"/,
        'installlocation="C:\\Program Files\\Korvel\\Pallanto\\bin.exe"',
      ],
    ],
  ],
  [
    'cutLogs',
    [],
    {
      severity: 'note',
      text: /^session\.log was cut/,
      place: { view: 'files', path: logs, file: 'session.log', line: null },
    },
    [['truncated by', 'kept by']],
  ],
  [
    'errorLines',
    [
      ['INFO session started', 'NullReferenceException at x'],
      ['INFO session ended', 'Fatal: disk'],
    ],
    {
      severity: 'warning',
      text: /^session\.log has 6 lines .* first line 1: .*NullReferenceException at x \| line 2: .*ERROR mesh failed \| line 3: .*Fatal: disk$/,
      place: { view: 'files', path: logs, file: 'session.log', line: 1 },
    },
    [[/ERROR mesh/g, 'all fine']],
  ],
  [
    'personalDataLeftOut',
    [
      [/<environment>.*<\/environment>/, ''],
      [/ (CSName|RegisteredUser)="[^"]*"/g, ''],
    ],
    {
      severity: 'note',
      text: /environment variables .* and the identifying WMI properties/,
      place: { view: 'environment' },
    },
    [[/<system>[^]*<\/system>/, '']],
  ],
  [
    'emptyWmi',
    [[/<Win32_Process [^>]*>/g, '']],
    { severity: 'warning', text: /process list is empty/, place: { view: 'processes' } },
  ],
  [
    'emptyWmi',
    [[/<Win32_(Op|Processor |Co)[^>]*>/g, '']],
    { severity: 'warning', text: /WMI system section is empty/, place: { view: 'system' } },
  ],
  [
    'noProducts',
    [[/<product [^>]*>/g, '']],
    {
      severity: 'warning',
      text: /No products of the maker/,
      place: { view: 'overview', anchor: 'products' },
    },
  ],
  [
    'unendedTimedEvents',
    [['</events>', '<event name="mesh.generate" eventtime="0d 0:00:09.000" /></events>']],
    {
      severity: 'note',
      text: /^1 timed event was never ended: mesh\.generate\.$/,
      place: { view: 'events', index: 2 },
    },
  ],
];

for (const [rule, fire, expected, quiet = []] of CASES) {
  test(`${rule}: ${expected.text}`, () => {
    const found = rules[rule](varied(fire));
    assert.deepEqual(
      found.filter((f) => expected.text.test(f.text)).map((f) => [f.severity, f.place]),
      [[expected.severity, expected.place]],
      JSON.stringify(found),
    );
    assert.deepEqual(rules[rule](varied(quiet)), []);
  });
}

test('every rule is listed, and findings come problems first', () => {
  assert.equal(rules.RULES.length, new Set(CASES.map(([r]) => r)).size);
  assert.deepEqual(
    rules.runFindings(varied([free(1)])).map((f) => f.rule),
    ['lowDiskSpace', 'errorLines', 'cutLogs'],
  );
});
