// Known issues and built-in findings of reports, for ticket automation: the viewer's own
// report reader and rules, run under Node.
//   node viewer/triage.mjs --rules pack.json [--rules more.json] [--json] FILE-OR-FOLDER...
// Prints one line per finding as CSV (report, computer, rule or built-in id, severity,
// title, evidence place), or a JSON list with --json. Exits 0 when it ran, 2 when a pack
// or a report could not be read (the reason on standard error), 1 on wrong usage.
import { readFileSync, readdirSync, statSync } from 'node:fs';
import { basename, join } from 'node:path';
import { availableParallelism } from 'node:os';
import { Worker, isMainThread, parentPort, workerData } from 'node:worker_threads';
import { readReport, ReportError } from './src/import/report.js';
import { decodeBytes, fingerprint } from './src/import/bytes.js';
import { readPack, PackError } from './src/lib/rules/pack.js';
import { ruleEngine, allFindings } from './src/lib/rules/run.js';
import { machineFacts } from './src/lib/machines.js';
import { placeWords, placeParams, formAddress } from './src/lib/address.js';
import { plain, visible } from './src/lib/text.js';
import { csvText } from './src/lib/csv.js';

const REPORT_FILE = /\.(vitascan|xml)$/i;
const USAGE = 'usage: node viewer/triage.mjs --rules PACK.json [--json] FILE-OR-FOLDER...';

export function parseArgs(argv) {
  const args = { packs: [], paths: [], json: false };
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === '--rules' && i + 1 < argv.length) args.packs.push(argv[++i]);
    else if (argv[i] === '--json') args.json = true;
    else if (argv[i].startsWith('--')) throw new Error(`unknown option ${argv[i]}\n${USAGE}`);
    else args.paths.push(argv[i]);
  }
  if (!args.paths.length) throw new Error(USAGE);
  return args;
}

// The report files a path names: a file itself, or the reports in a folder and its
// sub-folders, in name order.
function reportFiles(path) {
  if (!statSync(path).isDirectory()) return [path];
  const out = [];
  const stack = [path];
  while (stack.length) {
    const dir = stack.pop();
    const entries = readdirSync(dir, { withFileTypes: true }).sort((a, b) =>
      a.name.localeCompare(b.name),
    );
    for (const e of entries) {
      if (e.isDirectory()) stack.push(join(dir, e.name));
      else if (REPORT_FILE.test(e.name)) out.push(join(dir, e.name));
    }
  }
  return out;
}

// One record per finding of a report; the addresses of its places only for JSON, as a
// file's address is a look-up among its folder's files.
function findingRecords(path, model, findings, id, addresses) {
  const computer = machineFacts(model, findings).computer;
  return findings.map((f) => {
    const places = f.known ? f.known.evidence : [f.place];
    return {
      report: path,
      computer: visible(computer),
      id: f.rule,
      kind: f.known ? 'known issue' : 'built-in',
      severity: f.severity,
      title: f.known ? visible(f.known.title) : plain(f.text),
      advice: f.known ? visible(f.known.advice) : '',
      link: f.known?.link ?? '',
      evidence: places.map((p) => ({
        place: placeWords(model, p),
        ...(addresses && {
          address: formAddress([
            ['report', id],
            ['name', basename(path)],
            ...placeParams(model, p),
          ]),
        }),
      })),
    };
  });
}

// The findings of report files as records, and the messages of those not read:
// { records, messages, failed }.
async function triageFiles(files, engine, json) {
  const out = { records: [], messages: [], failed: false };
  for (const file of files) {
    try {
      const decoded = decodeBytes(readFileSync(file));
      const model = readReport(decoded, file);
      if (model.broken)
        out.messages.push(`${file}: read up to line ${model.broken.line}: ${model.broken.message}`);
      const findings = allFindings(model, engine);
      out.records.push(...findingRecords(file, model, findings, fingerprint(decoded.text), json));
    } catch (e) {
      out.messages.push(
        e instanceof ReportError ? e.message : `${file}: could not be read: ${e.message}`,
      );
      out.failed = true;
    }
  }
  return out;
}

// Reports are read on every core: reading is most of the work. Each worker reads the packs
// again (they were checked already) and takes every n-th report, so that the results
// come back in the order of the files.
async function inParallel(files, packFiles, json) {
  const n = Math.max(1, Math.min(availableParallelism(), Math.ceil(files.length / 8)));
  const shares = Array.from({ length: n }, (_, w) => files.filter((_, i) => i % n === w));
  const results = await Promise.all(
    shares.map(
      (share) =>
        new Promise((done, fail) => {
          const worker = new Worker(new URL(import.meta.url), {
            workerData: { files: share, packFiles, json },
          });
          worker.once('message', done);
          worker.once('error', fail);
        }),
    ),
  );
  // Each worker's records, report by report, woven back into the order of the files.
  const byFile = new Map(results.flatMap((r) => r.byFile));
  return {
    records: files.flatMap((f) => byFile.get(f) ?? []),
    messages: results.flatMap((r) => r.messages),
    failed: results.some((r) => r.failed),
  };
}

async function workerMain({ files, packFiles, json }) {
  const packs = packFiles.map((f) => readPack(readFileSync(f, 'utf8'), f));
  const { records, messages, failed } = await triageFiles(files, ruleEngine(packs), json);
  const byFile = new Map(files.map((f) => [f, []]));
  for (const r of records) byFile.get(r.report).push(r);
  parentPort.postMessage({ byFile: [...byFile], messages, failed });
}

export async function triage(argv, out = process.stdout, err = process.stderr) {
  let args;
  try {
    args = parseArgs(argv);
  } catch (e) {
    err.write(`${e.message}\n`);
    return 1;
  }
  const packs = [];
  for (const file of args.packs) {
    try {
      packs.push(readPack(readFileSync(file, 'utf8'), file));
    } catch (e) {
      err.write(
        `${e instanceof PackError ? e.message : `${file}: could not be read: ${e.message}`}\n`,
      );
      return 2;
    }
  }
  let failed = false;
  const files = [];
  for (const path of args.paths) {
    try {
      files.push(...reportFiles(path));
    } catch (e) {
      err.write(`${path}: could not be read: ${e.message}\n`);
      failed = true;
    }
  }
  const result =
    files.length > 8
      ? await inParallel(files, args.packs, args.json)
      : await triageFiles(files, ruleEngine(packs), args.json);
  for (const m of result.messages) err.write(`${m}\n`);
  failed ||= result.failed;
  const { records } = result;
  if (args.json) out.write(`${JSON.stringify(records, null, 2)}\n`);
  else {
    const head = ['report', 'computer', 'id', 'severity', 'title', 'evidence'];
    const rows = records.map((r) => [
      r.report,
      r.computer,
      r.id,
      r.severity,
      r.title,
      r.evidence.map((e) => e.place).join('; '),
    ]);
    out.write(csvText([head, ...rows]));
  }
  return failed ? 2 : 0;
}

if (!isMainThread && workerData?.files) await workerMain(workerData);
else if (process.argv[1] && import.meta.url.endsWith(basename(process.argv[1]))) {
  process.exitCode = await triage(process.argv.slice(2));
}
