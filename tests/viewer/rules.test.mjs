import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync, mkdtempSync, rmSync } from 'node:fs';
import { spawnSync } from 'node:child_process';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { Ajv2020 } from 'ajv/dist/2020.js';
import { BASE, vary, varied, rule, parseCsv } from './reports.mjs';
import { readPack } from '../../viewer/src/lib/rules/pack.js';
import { ruleEngine, allFindings } from '../../viewer/src/lib/rules/run.js';
import { plain } from '../../viewer/src/lib/text.js';

const docs = (name) => new URL(`../../docs/${name}`, import.meta.url);
const SAMPLE = readFileSync(docs('known-issues.sample.json'), 'utf8');
const sample = ruleEngine([readPack(SAMPLE, 'sample.json')]);
const validate = new Ajv2020({ strict: false }).compile(
  JSON.parse(readFileSync(docs('rules.schema.json'), 'utf8')),
);
const known = (model, engine = sample) =>
  new Map(
    allFindings(model, engine)
      .filter((f) => f.known)
      .map((f) => [f.rule, f.known.evidence]),
  );

const PRODUCT = (i) => ({ view: 'overview', anchor: `product-${i}` });
const OS = (prop) => ({ view: 'system', cls: 'Win32_OperatingSystem', instance: 0, prop });
const FILE = (at, file, line = null) => ({ view: 'files', at, file, line });
const LOGS = [0, 0, 0, 0];
const KEY = '<value name="ProductLabel" type="REG_SZ" value="Pallanto"/>';
const value = (name, v) => [KEY, `${KEY}<value name="${name}" type="REG_SZ" value="${v}"/>`];
const build = (n) => ['BuildNumber="7601"', `BuildNumber="${n}"`];
const suite = (v) => ['installedversion="10.2.0.15"', `installedversion="${v}"`];
const inData = (file) => ['<file name="Pallanto.exe"', `${file}<file name="Pallanto.exe"`];
const logLine = (line) => ['INFO session started', line];
const licenceLog = (dir, line) => [
  `<dir name="${dir}"><file name="session.log"`,
  `<dir name="${dir}"><file name="licence-server.log" bytes="1" size="1 B" datemodified="d">\n${line}\n</file><file name="session.log"`,
];
const HKCU =
  '<key name="HKCU"><key name="Software"><key name="KORVEL-AB"><key name="Pallanto"><value name="UpdateChannel" type="REG_SZ" value="beta"/></key></key></key></key>';
const variable = (name, v) => [
  '</environment>',
  `<var name="${name}" value="${v}"/></environment>`,
];
const path = (extra) => ['C:\\windows"/>', `C:\\windows;${extra}"/>`];
const free = (bytes, drive = 'C:\\') => [
  'drive="C:\\" totalfreebytes="85899345920"',
  `drive="${drive}" totalfreebytes="${bytes}"`,
];
const memory = (kb) => ['FreePhysicalMemory="8388608"', `FreePhysicalMemory="${kb}"`];
const running = (name) => [
  '</wmi></processes>',
  `<Win32_Process Name="${name}" ProcessID="9"/></wmi></processes>`,
];

// Each rule of the sample: the edits of the hand-written report that make it match, the
// places it then shows, and edits that leave it unmatched (a version just outside its
// range, a key under another root, a log line in another file …).
// prettier-ignore
const CASES = [
  ['KB-1042', [build(22631)], [PRODUCT(0), OS('BuildNumber')],
    [[build(22630)], [build(22631), suite('10.2.1')], [build(22631), suite('10.10')]]],
  ['KB-1107', [], [PRODUCT(1), OS('Caption'), OS('Version')],
    [[['Version="6.1.7601"', 'Version="6.3.9600"']], [['installedversion="10.2" buildlabel', 'installedversion="11.0" buildlabel']]]],
  ['KB-1210', [value('UpdateChannel', 'Beta')], [{ view: 'registry', key: [0, 0, 0, 0], value: 1 }],
    [[['<registry>', `<registry>${HKCU}`]], [value('UpdateChannel', 'beta-2')], [value('Channel', 'beta')]]],
  ['KB-1233', [value('LicenceServer', 'LocalHost:27000')], [{ view: 'registry', key: [0, 0, 0, 0], value: 1 }],
    [[value('LicenceServer', 'licsrv01:27000')], [value('LicenceServer', 'localhost:27000x')]]],
  ['KB-1301', [], [PRODUCT(0), PRODUCT(1)],
    [[inData('<file name="Licence-2027.DAT" bytes="10"/>')]]],
  ['KB-1315', [inData('<file name="mesh.cache" bytes="104857600"/>')], [FILE([0, 0, 0], 0)],
    [[inData('<file name="mesh.cache" bytes="104857599"/>')], [inData('<file name="mesh.cache"/>')]]],
  ['KB-1400', [licenceLog('logs', 'solver: out of memory (requested 1 MB) in driver\n09:00 Dongle not found on USB')], [FILE(LOGS, 0, 2)],
    [[logLine('Dongle not found on USB')], [licenceLog('logs', 'dongle found')]]],
  ['KB-1402', [logLine('Solver: Out of memory (requested 2048 MB)')], [FILE(LOGS, 0, 1)],
    [[logLine('Solver: out of memory (requested lots MB)')],
      [['mode=&quot;fast&quot;', 'solver: out of memory (requested 1 MB)']],
      [inData('<file name="other.log" bytes="1">\nSolver: out of memory (requested 1 MB)\n</file>')]]],
  ['KB-1500', [], [PRODUCT(0), PRODUCT(1)], [[running('PallantoUpdateSvc.exe')]]],
  ['KB-1610', [path('D:\\Korvel\\Pallanto 9\\bin')], [{ view: 'environment', index: 0 }],
    [[path('D:\\Korvel\\Pallanto 10\\bin')], [variable('PATHEXT', 'Pallanto 9')]]],
  ['KB-1620', [variable('pallanto_license_file', '')], [{ view: 'environment', index: 2 }],
    [[variable('PALLANTO_LICENSE_FILES', 'x')], [[/<environment>.*<\/environment>/, '']]]],
  ['KB-1700', [free(2147483647)], [{ view: 'overview', anchor: 'drive-0' }],
    [[free(2147483648)], [free(1, 'D:\\')]]],
  ['KB-1710', [memory(1048575)], [PRODUCT(0), PRODUCT(1), OS('FreePhysicalMemory')],
    [[memory(1048576)], [memory(1), [/<product [^>]*>/g, '']]]],
  ['KB-1800', [['installlocation="C:\\Program Files\\Korvel\\Pallanto\\" guid', 'installlocation="D:\\Gone\\" guid']],
    [PRODUCT(0)], [[]]],
];

for (const [id, fire, places, misses] of CASES) {
  test(`${id} matches with its evidence, and not just beside it`, () => {
    assert.deepEqual(known(varied(fire)).get(id), places);
    for (const edits of misses)
      assert.equal(known(varied(edits)).get(id), undefined, JSON.stringify(edits));
  });
}

test('the sample uses every kind of condition and is valid by the published schema', () => {
  const kinds = new Set(
    SAMPLE.match(
      /"(all|any|not|product|windows|registry|file|log|process|environment|disk|memory|finding)"/g,
    ),
  );
  assert.equal(kinds.size, 13);
  assert.equal(CASES.length, JSON.parse(SAMPLE).rules.length);
  assert.ok(validate(JSON.parse(SAMPLE)), JSON.stringify(validate.errors));
});

const pack = (...rules) => JSON.stringify({ pack: 'p', rules });
const refusal = (text) => {
  try {
    readPack(text, 'p.json');
  } catch (e) {
    return e.problems;
  }
  assert.fail('the pack was accepted');
};

test('a broken pack is refused with each problem named by its rule and field, also by the schema', () => {
  // prettier-ignore
  const BROKEN = [
    ['{"pack": "p", "rules": [', /^p\.json: is not JSON: /],
    [pack(rule({ finding: 'lowDiskSpace' }, { severity: 'fatal', title: 7 })),
      /^p\.json: KB-9: title: must be a text .*\np\.json: KB-9: severity: must be problem, warning or note, not "fatal"$/],
    [pack(rule({ all: [{ product: 'X', version: '>=3.0 <<3.1' }] })), /KB-9: when\.all\[0\]\.version: ">=3\.0 <<3\.1" is not a range/],
    [pack(rule({ windows: { build: '22631-' } })), /KB-9: when\.windows\.build: "22631-" is not a range/],
    [pack(rule({ any: [{ registry: 'HKLM' }] })), /KB-9: when\.any\[0\]\.registry: must be an object$/],
    [pack(rule({ registry: { key: 'HKLM\\X', contains: 'a' } })), /when\.registry: needs exactly one of present, absent$/],
    [pack(rule({ cpu: { cores: 2 } })), /KB-9: when: "cpu" is not a condition/],
    [pack(rule({ file: { folder: 'C:', name: 'x', present: true, sise: 1 } })), /when\.file\.sise: is not a field/],
    [pack(rule({ process: { name: 'x.exe', running: 'yes' } })), /when\.process\.running: must be true or false/],
    [pack(rule({ finding: 'lowDisk' })), /when\.finding: "lowDisk" is not a built-in finding/],
    [pack(rule({ memory: { free: { below: '1 GB' } } })), /when\.memory\.free: must be/],
    [pack(rule({ log: { name: '*.log', matches: '(a)\\1' } })), /when\.log\.matches: .* not a pattern the engine accepts/],
    [pack(rule({ log: { name: '*.log', matches: 'x{1,100}x{1,100}y' } })),
      /when\.log\.matches: "x\{1,100\}x\{1,100\}y" is too large for the engine \(\d+ steps, at most 100\)/],
    [pack(rule({ disk: { path: '\\\\server\\share', free: { below: 1 } } })), /when\.disk\.path: must begin with a drive letter/],
    [pack(rule({ finding: 'cutLogs' }, { link: 'javascript:alert(1)' })), /KB-9: link: must be an http/],
    [pack(rule({ finding: 'cutLogs' }, { link: ' JavaScript:alert(1)//https://x' })), /KB-9: link: must be an http/],
    [pack(rule({ finding: 'cutLogs' }), rule({ finding: 'noProducts' })), /KB-9: id: the id is used by another rule/],
    [pack(rule({ finding: 'cutLogs' }, { id: ['KB-1'] })), /^p\.json: rule 1: id: must be letters/],
    [pack(rule({ not: { not: { not: { not: { not: { not: { not: { not: { not: { finding: 'cutLogs' } } } } } } } } } })),
      /nests deeper than 8 levels/],
  ];
  for (const [text, message] of BROKEN) {
    assert.match(refusal(text).join('\n'), message);
    if (!/id is used|nests deeper|engine accepts|too large/.test(message.source)) {
      let doc = null;
      try {
        doc = JSON.parse(text);
      } catch {
        continue;
      }
      assert.equal(validate(doc), false, text);
    }
  }
});

test('a key itself present or absent, under either name of its root; a variable absent', () => {
  const engine = ruleEngine([
    readPack(
      pack(
        ...[
          { registry: { key: 'HKLM\\Software\\KORVEL-AB\\Pallanto', absent: true } },
          { registry: { key: 'hkey_local_machine\\software\\korvel-ab', present: true } },
          { environment: { name: 'temp', absent: true } },
        ].map((when, i) => rule(when, { id: `R${i + 1}` })),
      ),
      'p.json',
    ),
  ]);
  assert.deepEqual(
    [...known(varied([]), engine)],
    [['R2', [{ view: 'registry', key: [0, 0, 0], value: null }]]],
  );
  const bare = varied([
    [/<registry>[^]*<\/registry>/, '<registry/>'],
    [/<var name="TEMP"[^>]*>/, ''],
  ]);
  assert.deepEqual([...known(bare, engine).keys()], ['R1', 'R3']);
});

test(
  'hostile packs: too many rules, a backtracking pattern, markup and bidi in a title',
  { timeout: 30000 },
  () => {
    const many = pack(
      ...Array.from({ length: 100_000 }, (_, i) => rule({ finding: 'cutLogs' }, { id: `K${i}` })),
    );
    assert.deepEqual(refusal(many), [
      'p.json: rules: the pack has 100000 rules; a pack holds at most 5000',
    ]);
    const bare = Array.from({ length: 21 }, (_, i) =>
      rule({ log: { name: '*', matches: '\\d+x' } }, { id: `B${i}` }),
    );
    assert.match(
      refusal(pack(...bare)).join('\n'),
      /^p\.json: B20: when\.log\.matches: holds no plain text of 3 characters or more/,
    );
    // Minutes in a backtracking engine: a line of 100,000 "a" that never ends in "b".
    const line = `${'a'.repeat(100_000)}!`;
    const slow = readPack(pack(rule({ log: { name: '*', matches: '^(a+)+$' } })), 'p.json');
    const report = varied([logLine(line)]);
    assert.equal(known(report, ruleEngine([slow])).get('KB-9'), undefined);
    const title = '<img src=x onerror=alert(1)> \u202Egol.txt';
    const shown = ruleEngine([readPack(pack(rule({ finding: 'cutLogs' }, { title })), 'p.json')]);
    const [f] = shown.run(report, allFindings(report, null));
    assert.deepEqual(f.text, ['Known issue ', { report: 'KB-9' }, ': ', { report: title }]);
    assert.equal(plain(f.text), 'Known issue KB-9: <img src=x onerror=alert(1)> <U+202E>gol.txt');
  },
);

test('the command line: CSV parsed back, JSON, and exit 2 for what it could not read', () => {
  const dir = mkdtempSync(join(tmpdir(), 'triage-'));
  const cli = new URL('../../viewer/triage.mjs', import.meta.url).pathname;
  const run = (...args) => spawnSync(process.execPath, [cli, ...args], { encoding: 'utf8' });
  try {
    const file = (name, text) => (writeFileSync(join(dir, name), text), join(dir, name));
    const sampleFile = file('sample.json', SAMPLE);
    const quoted = file(
      'q.json',
      pack(rule({ product: 'Pallanto' }, { title: 'Says "so", then =1+1' })),
    );
    file('a.vitascan', vary([build(22631)]));
    file('b.vitascan', BASE);
    const csv = run('--rules', sampleFile, '--rules', quoted, dir);
    assert.equal(csv.status, 0, csv.stderr);
    const rows = parseCsv(csv.stdout);
    assert.deepEqual(rows[0], ['report', 'computer', 'id', 'severity', 'title', 'evidence']);
    const ids = (name) =>
      rows.filter((r) => r[0].endsWith(name) && /^K/.test(r[2])).map((r) => r[2]);
    assert.deepEqual(ids('a.vitascan'), ['KB-1042', 'KB-1301', 'KB-1107', 'KB-1500', 'KB-9']);
    assert.deepEqual(ids('b.vitascan'), ['KB-1301', 'KB-1107', 'KB-1500', 'KB-9']);
    assert.deepEqual(rows.find((r) => r[2] === 'KB-1042').slice(1), [
      'WORKSTATION7',
      'KB-1042',
      'problem',
      'Pallanto Suite 10.2.0 crashes at start on Windows 11 23H2 and later',
      'Overview › Products › Pallanto Suite 10.2; System › Win32_OperatingSystem › BuildNumber',
    ]);
    assert.equal(rows.find((r) => r[2] === 'KB-9')[4], 'Says "so", then =1+1');
    assert.ok(rows.some((r) => r[2] === 'cutLogs' && r[0].endsWith('b.vitascan')));
    const both = [join(dir, 'a.vitascan'), join(dir, 'b.vitascan')];
    const json = JSON.parse(run('--json', '--rules', sampleFile, ...both).stdout);
    // Each report is named by its own fingerprint, as the page names it.
    const named = json.flatMap((f) => f.evidence.map((e) => e.address.split('&')[0]));
    assert.equal(new Set(named).size, 2);
    const kb = json.find((f) => f.id === 'KB-1042');
    assert.equal(kb.link, 'https://support.example/kb/1042');
    assert.match(
      kb.evidence[1].address,
      /^report=[0-9a-f]{8}&name=a\.vitascan&view=system&wmi=Win32_OperatingSystem&prop=BuildNumber$/,
    );
    file('broken.vitascan', 'PK\u0003\u0004 not a report');
    const partly = run('--rules', sampleFile, dir);
    assert.equal(partly.status, 2);
    assert.match(partly.stderr, /broken\.vitascan is not an XML document/);
    assert.equal(
      parseCsv(partly.stdout).length,
      rows.length - rows.filter((r) => r[2] === 'KB-9').length,
    );
    const refused = run('--rules', file('bad.json', pack(rule({ finding: 'x' }))), dir);
    assert.deepEqual([refused.status, refused.stdout], [2, '']);
    assert.match(refused.stderr, /bad\.json: KB-9: when\.finding: "x" is not a built-in finding/);
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
});

test("a team's own viewer: packs built in as data that cannot end the script, a refused one stops the build", async () => {
  const { buildPage } = await import('../../viewer/build.mjs');
  const title = 'Ends </script><script>alert(1)</script>';
  const html = await buildPage([
    { fileName: 'k.json', text: pack(rule({ finding: 'cutLogs' }, { title })) },
  ]);
  assert.equal(html.match(/<\/script/gi).length, 1);
  assert.ok(html.includes('Ends \\u003c/script>'), 'the title is in the page, its "<" escaped');
  await assert.rejects(
    buildPage([{ fileName: 'k.json', text: pack(rule({ finding: 'x' })) }]),
    /k\.json: KB-9: when\.finding/,
  );
});
