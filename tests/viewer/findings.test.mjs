import { test } from 'node:test';
import assert from 'node:assert/strict';
import { GB, varied, UNREAD_EDITS } from './reports.mjs';
import * as rules from '../../viewer/src/lib/findings.js';
import { plain } from '../../viewer/src/lib/text.js';

const free = (gb, size = '') => [
  'totalfreebytes="85899345920"',
  `totalfreebytes="${gb * GB}"${size && ` totalbytes="${size * GB}"`}`,
];
const memory = (kb) => ['FreePhysicalMemory="8388608"', `FreePhysicalMemory="${kb}"`];
const suite =
  'comments="Engineering suite" installlocation="C:\\Program Files\\Korvel\\Pallanto\\"';
const WOW = `<key name="WOW6432Node"><key name="KORVEL-AB"><key name="P">
  <value name="ProductLabel" value="Pallanto"/></key></key></key>`;
const [PALLANTO, twice] = [/ *<product name="Pallanto" .*\n/, (line) => line + line];
const VERSION_10_3 = 'name="PALLANTO" installedversion="10.3"';
const NOISE =
  'ErrorReporting.dll, 0 errors, errors: 0, no errors, terror, onerror, ExceptionHandler';
const [DRIVE, PRODUCT0, PRODUCT1] = [
  ['drive', 0],
  ['product', 0],
  ['product', 1],
].map(([kind, i]) => ({ view: 'overview', anchor: `${kind}-${i}` }));
const MEMORY = { view: 'system', cls: 'Win32_OperatingSystem', instance: 0 };
MEMORY.prop = 'FreePhysicalMemory';
const log = (line) => ({ view: 'files', at: [0, 0, 0, 0], file: 0, line });

// rule, edits that make it fire, severity, text and place of the finding, edits after
// which the rule finds nothing (the hand-written report itself finds nothing).
// prettier-ignore
const CASES = [
  ['lowDiskSpace', [free(4)], 'problem', /^Drive C:\\ has only 4\.0 GB free\.$/, DRIVE, [free(6)]],
  ['lowDiskSpace', [free(20, 400)], 'problem', /20\.0 GB free \(5 %\)/, DRIVE, [free(20, 100)]],
  ['lowMemory', [memory(1000000)], 'warning', /Only 6 % .*\(976\.6 MB free of 16\.0 GB/, MEMORY,
    [memory(1800000)]],
  ['productVersions', [[/name="Pallanto Suite 10.2" installedversion="[^"]*"/, VERSION_10_3]],
    'warning', /^PALLANTO is listed with different versions: 10\.3, 10\.2\.$/, PRODUCT0],
  ['productVersions', [['<key name="Software">', `<key name="Software">${WOW}`], [PALLANTO, twice]],
    'note', /^Pallanto is registered in both the 32-bit and the 64-bit registry view/, PRODUCT1],
  ['missingInstallFolder', [[suite, 'installlocation="D:\\Gone\\"']], 'problem',
    /install folder of Pallanto Suite 10\.2 \(D:\\Gone\\\)/, PRODUCT0,
    [[suite, 'installlocation="c:\\program files\\korvel\\PALLANTO\\"'], [/installlocation="C:[^"]*"/,
      'installlocation="C:\\Program Files\\Korvel\\Pallanto\\bin.exe"']]],
  ['cutLogs', [], 'note', /^C:\\ProgramData\\Pallanto\\logs\\session\.log was cut/, log(null),
    [['truncated by', 'kept by']]],
  // Words, not parts of words; a count of zero is no error; the log is named with its folder.
  ['errorLines', [['INFO session started', 'NullReferenceException at x'],
    ['INFO session ended', 'Fatal: disk']], 'warning', new RegExp('^C:\\\\ProgramData\\\\Pallanto' +
    '\\\\logs\\\\session\\.log has 6 lines .* first line 1: .*NullReferenceException at x \\| ' +
    'line 2: .*ERROR mesh failed \\| line 3: .*Fatal: disk$'), log(1), [[/ERROR mesh/g, NOISE]]],
  ['personalDataLeftOut', [[/<environment>.*<\/environment>/, ''], [/ (CSName|RegisteredUser)="[^"]*"/g,
    '']], 'note', /environment variables .* and the identifying WMI properties/,
    { view: 'environment' }, [[/<system>[^]*<\/system>/, '']]],
  ['emptyWmi', [[/<Win32_Process [^>]*>/g, '']], 'warning', /process list is empty/,
    { view: 'processes' }],
  ['emptyWmi', [[/<Win32_(Op|Processor |Co)[^>]*>/g, '']], 'warning', /WMI system section is empty/,
    { view: 'system' }],
  ['noProducts', [[/<product [^>]*>/g, '']], 'warning', /No products of the maker/,
    { view: 'overview', anchor: 'products' }],
  ['unendedTimedEvents', [['</events>', '<event name="mesh.generate" eventtime="0d 0:00:09.000" />' +
    '</events>']], 'note', /^1 timed event was never ended: mesh\.generate\.$/, { view: 'events', index: 2 }],
  ['deepNesting', [['<licence seats="5" />', `${'<g>'.repeat(300)}${'</g>'.repeat(300)}`]], 'note',
    /^Client groups nest deeper .* under g:/, { view: 'groups', path: Array(200).fill(0) }],
  // Only what could not be read: a link or a stop is not a fault.
  ['unreadable', UNREAD_EDITS, 'warning', /^1 folder and 1 registry key could not be read, .*: C:\\Progr.*\\Private \(Access denied\); HKLM.*\\Secret \(Access denied\)\.$/,
    { view: 'files', at: [0, 0, 0, 0], file: null, line: null }, UNREAD_EDITS.map(([at, to]) => [at, to.replace(/ error="[^"]*"/g, '')])],
];

for (const [rule, fire, severity, text, place, quiet = []] of CASES) {
  test(`${rule}: ${text}`, () => {
    const found = rules[rule](varied(fire));
    const matching = found.filter((f) => text.test(plain(f.text)));
    assert.deepEqual(
      matching.map((f) => [f.severity, f.place]),
      [[severity, place]],
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
