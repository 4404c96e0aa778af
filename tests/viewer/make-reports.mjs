// Writes the reports that the viewer's tests open: three made by the real programs under
// Wine (a command-line report, the same with a product added through a registry fixture,
// and a server-mode report with groups and events), plus the hand-written ones.
// Run by CTest before the viewer's tests, with the environment of the end-to-end tests.
import { execFileSync } from 'node:child_process';
import { mkdirSync, writeFileSync, existsSync } from 'node:fs';
import { join } from 'node:path';
import { smallReport, hostileReport } from './reports.mjs';
import { REPORT_DIR, FIXTURE_PRODUCT } from './paths.mjs';

const { VITASCAN_BIN_DIR: bin, VITASCAN_WINE_RUN: wineRun } = process.env;

function wine(args, input) {
  return execFileSync(wineRun, args, { input, stdio: ['pipe', 'pipe', 'pipe'], timeout: 300000 }).toString();
}

function windowsPath(p) {
  return `Z:${p.replace(/\//g, '\\')}`;
}

function commandLineReport(name) {
  const out = join(REPORT_DIR, name);
  wine([join(bin, 'VitascanCmd.exe'), `/out:${windowsPath(out)}`]);
  if (!existsSync(out)) throw new Error(`VitascanCmd.exe wrote no ${out}`);
}

mkdirSync(REPORT_DIR, { recursive: true });
writeFileSync(join(REPORT_DIR, 'small.vitascan'), smallReport({ cutLog: true }));
writeFileSync(join(REPORT_DIR, 'drive-full.vitascan'), smallReport({ freeBytes: 1024 ** 3 }));
writeFileSync(join(REPORT_DIR, 'hostile.vitascan'), hostileReport());
writeFileSync(join(REPORT_DIR, 'cut-off.vitascan'), smallReport().slice(0, 1985));
// Large enough for the files section to be read after the overview, and broken inside it.
writeFileSync(join(REPORT_DIR, 'broken-files.vitascan'), smallReport({ log: 'an error line\n'.repeat(200000) }).replace('name="Pallanto.exe"', 'name="Pallanto<.exe"'));
writeFileSync(join(REPORT_DIR, 'not-a-report.vitascan'), '<?xml version="1.0"?>\n<html><body>hello</body></html>\n');
writeFileSync(join(REPORT_DIR, 'not-xml.vitascan'), 'PK\u0003\u0004 this is a zip, not a report');

commandLineReport('machine.vitascan');

// The same machine with one more product of the maker in its registry.
const key = `HKLM\\Software\\KORVEL-AB\\${FIXTURE_PRODUCT.key}`;
const reg = (...args) => wine(['reg', ...args]);
try {
  reg('add', key, '/v', 'ProductLabel', '/t', 'REG_SZ', '/d', FIXTURE_PRODUCT.label, '/f');
  reg('add', key, '/v', 'Version', '/t', 'REG_SZ', '/d', FIXTURE_PRODUCT.version, '/f');
  reg('add', key, '/v', 'InstallLocation', '/t', 'REG_SZ', '/d', 'C:\\ViewerFixture\\', '/f');
  commandLineReport('machine-with-product.vitascan');
} finally {
  reg('delete', key, '/f');
}

// Server mode: events (a timed event ended, the same one started again and never ended), a client group with a nested one,
// then every block.
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
].join('\n');
wine([join(bin, 'VitascanDriver.exe'), '-'], script);
if (!existsSync(server)) throw new Error(`VitascanDriver.exe wrote no ${server}`);
console.log(`reports written to ${REPORT_DIR}`);
