// Writes the reports that the viewer's page tests open: three made by the real programs
// under Wine (a command-line report, the same with a product added through a registry
// fixture, and a server-mode report with groups and events), and variants of the
// hand-written one. Run by CTest before the viewer's tests, with the environment of the
// end-to-end tests.
import { execFileSync } from 'node:child_process';
import { mkdirSync, writeFileSync, existsSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import {
  BASE,
  GB,
  vary,
  hostileReport,
  deepReport,
  REPORT_DIR,
  FIXTURE_PRODUCT,
  customerReport,
  UNREAD_EDITS,
} from './reports.mjs';

const { VITASCAN_BIN_DIR: bin, VITASCAN_WINE_RUN: wineRun } = process.env;
const wine = (args, input) =>
  execFileSync(wineRun, args, {
    input,
    stdio: ['pipe', 'pipe', 'pipe'],
    timeout: 300000,
  }).toString();
const windowsPath = (p) => `Z:${p.replace(/\//g, '\\')}`;
const write = (name, text) => writeFileSync(join(REPORT_DIR, name), text);

// Runs one of our programs under Wine and fails if it wrote no report at `out`.
const made = (out, args, input) => {
  wine(args, input);
  if (!existsSync(out)) throw new Error(`${args[0]} wrote no ${out}`);
};
const commandLineReport = (name) =>
  made(join(REPORT_DIR, name), [
    join(bin, 'VitascanCmd.exe'),
    `/out:${windowsPath(join(REPORT_DIR, name))}`,
  ]);

mkdirSync(REPORT_DIR, { recursive: true });
write('small.vitascan', vary([['totalfreebytes="85899345920"', `totalfreebytes="${GB}"`]]));
write('hostile.vitascan', hostileReport());
write('deep.vitascan', deepReport());
write('unread.vitascan', vary(UNREAD_EDITS));
for (const n of [1, 2]) write(`m${n}.vitascan`, customerReport(n));
write('cut-off.vitascan', BASE.slice(0, BASE.indexOf('<products>')));
// Large enough for the files section to be read after the overview, and broken inside it.
write(
  'broken-files.vitascan',
  vary([
    [/(<file name="session.log".*\n)[^<]*/, (_, open) => open + 'an error line\n'.repeat(200000)],
    ['name="Pallanto.exe"', 'name="Pallanto<.exe"'],
  ]),
);
write(
  'not-xml.vitascan',
  Buffer.from('PK\u0003\u0004\u0080\u00ff this is a zip, not a report', 'latin1'),
);

commandLineReport('machine.vitascan');

// The same machine with one more product of the maker in its registry.
const key = `HKLM\\Software\\KORVEL-AB\\${FIXTURE_PRODUCT.key}`;
try {
  for (const [name, value] of [
    ['ProductLabel', FIXTURE_PRODUCT.label],
    ['Version', FIXTURE_PRODUCT.version],
    ['InstallLocation', 'C:\\ViewerFixture\\'],
  ]) {
    wine(['reg', 'add', key, '/v', name, '/t', 'REG_SZ', '/d', value, '/f']);
  }
  commandLineReport('machine-with-product.vitascan');
} finally {
  wine(['reg', 'delete', key, '/f']);
}
// Another report of that name, in a folder of its own: the one with the product, written
// at another time.
const withProduct = readFileSync(join(REPORT_DIR, 'machine-with-product.vitascan'), 'utf8');
mkdirSync(join(REPORT_DIR, 'twin'), { recursive: true });
write('twin/machine.vitascan', withProduct.replace(/ time="[^"]*"/, ' time="00:00:01"'));

// Server mode: events (a timed event ended, the same one started again and never ended),
// a client group with a nested one, then every block.
const server = join(REPORT_DIR, 'server.vitascan');
const script = [
  'TrackEvent file.open',
  'TrackStringValueEvent session.init "user & co"',
  'TrackUnsignedValueEvent mesh.cells 7',
  'TrackTimedEventStart mesh.generate',
  'TrackTimedEventEnd 3',
  'TrackTimedEventStart mesh.generate',
  'StartGroup client',
  'SetDataPoint build "a<b"',
  'StartGroup licence',
  'SetDataPoint seats 5',
  'EndGroup',
  'EndGroup',
  'AddStandardGroup 268435456',
  'AddStandardGroup 268435455',
  `SaveTo "${windowsPath(server)}"`,
  'Process',
];
made(server, [join(bin, 'VitascanDriver.exe'), '-'], script.join('\n'));
// The real report from a newer writer, with a section this viewer does not know after the
// last one; and with one drive's free space not of its form.
const machine = readFileSync(join(REPORT_DIR, 'machine.vitascan'), 'utf8');
write(
  'newer.vitascan',
  machine
    .replace(/version='[\d.]+'/, "version='1.7'")
    .replace('</vitascan>', '<telemetry at="now">\r\n<sample/>\r\n</telemetry>\r\n</vitascan>'),
);
write('off-format.vitascan', machine.replace(/totalfree="[^"]*"/, 'totalfree="plenty"'));
// Cut inside the process list, after 7 of its 9 processes.
const processes = Array.from(
  { length: 9 },
  (_, i) => `<Win32_Process Name="p${i}.exe" ProcessID="${i * 4 + 8}" ParentProcessID="4"/>`,
);
const nine = vary([
  [
    /<processes>[\s\S]*<\/processes>/,
    `<processes><wmi>\n${processes.join('\n')}\n</wmi></processes>`,
  ],
]);
write('cut-processes.vitascan', nine.slice(0, nine.indexOf('<Win32_Process Name="p7.exe"')));
console.log(`reports written to ${REPORT_DIR}`);
