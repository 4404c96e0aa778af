// Opening report files and what is derived from each: its findings and the comparison of
// a pair. A large report's files section is read after the overview is shown, in slices
// that each hold the page for a few tens of milliseconds, so the page stays responsive.
import { reportReader, ReportError } from '../import/report.js';
import { fileText, fingerprint, EncodingError } from '../import/bytes.js';
import { runFindings } from '../lib/findings.js';
import { allFindings } from '../lib/rules/run.js';
import { packs } from './packs.js';
import { machineFacts } from '../lib/machines.js';
import { compareModels } from '../lib/compare.js';
import { msg, r } from '../lib/text.js';
import { compileSchema } from '../import/schema.js';
import { RNG } from '../../../docs/vitascan.rng';

// The format, from the schema that states it.
const SCHEMA = compileSchema(RNG);

// Above this size the report is shown once the reader is in the files section, and the
// rest is read after (by the same reader: only the moment it is shown differs).
export const SHOW_EARLY_BYTES = 2 * 1024 * 1024;
// Beyond this a tab risks running out of memory while the report is read.
export const MAX_REPORT_BYTES = 768 * 1024 * 1024;
const SLICE_MS = 40;

const MB = 1048576;

// Lets the page handle input and paint between two slices of work.
export function yieldToPage() {
  if (globalThis.scheduler?.yield) return globalThis.scheduler.yield();
  return new Promise((done) => setTimeout(done, 0));
}

async function readRest(report, reader, onRead) {
  const started = performance.now();
  // The first slice waits too: the overview is shown first.
  do await yieldToPage();
  while (!reader.run(performance.now() + SLICE_MS));
  report.reading = null;
  onRead(report, performance.now() - started);
}

// The report of one file, or a ReportError that says why there is none. The file is read
// in one way whatever its size, in slices; a large report is given once the reader is in
// its files section (most of it), with the parts read so far; the rest is read
// meanwhile, and onRead(report) is called when it is.
export async function openReport(file, onRead) {
  if (file.size > MAX_REPORT_BYTES) {
    throw new ReportError(
      `${file.name} is ${(file.size / MB).toFixed(0)} MB: the viewer opens reports of up to ` +
        `${MAX_REPORT_BYTES / MB} MB, so that the browser tab does not run out of memory.`,
    );
  }
  let decoded;
  try {
    decoded = await fileText(file);
  } catch (e) {
    if (e instanceof EncodingError)
      throw new ReportError(`${file.name} cannot be read: ${e.message}.`);
    throw new ReportError(`${file.name} could not be read: ${e.message}`);
  }
  const reader = reportReader(decoded, file.name, SCHEMA);
  let done = false;
  const early = file.size > SHOW_EARLY_BYTES;
  while (!(done = reader.run(performance.now() + SLICE_MS))) {
    if (early && reader.part()?.name === 'filesystem') break;
    await yieldToPage();
  }
  const model = reader.model();
  const id = fingerprint(decoded.text);
  const report = { model, id, findings: null, facts: null, reading: null, size: file.size };
  if (!done) report.reading = readRest(report, reader, onRead);
  return report;
}

// The built-in findings and the known issues of the loaded packs; the built-in ones are
// kept when the packs change.
export function findingsOf(report) {
  if (report.reading) return null;
  report.builtins ??= runFindings(report.model);
  report.findings ??= allFindings(report.model, packs.engine, report.builtins);
  return report.findings;
}

// The packs changed: every report's findings are found again, in slices. progress(n) is
// told how many are done.
export async function findAgain(reports, progress) {
  for (const report of reports) report.findings = report.facts = null;
  let slice = performance.now();
  for (let n = 0; n < reports.length; n++) {
    if (performance.now() - slice > SLICE_MS) {
      progress(n);
      await yieldToPage();
      slice = performance.now();
    }
    findingsOf(reports[n]);
  }
}

// The report's line in the Machines view, once its findings are known.
export function factsOf(report) {
  if (report.reading) return machineFacts(report.model, null);
  report.facts ??= machineFacts(report.model, findingsOf(report));
  return report.facts;
}

// The name a report goes by: its file name, with the computer and the time written when
// another open report has the same file name (and its fingerprint if even those agree).
export function labelOf(report, reports) {
  const name = report.model.fileName;
  const namesakes = reports.filter((o) => o.model.fileName === name);
  if (namesakes.length < 2) return name;
  const said = (o) => {
    const f = factsOf(o);
    return `${f.computer || 'computer ?'}, ${f.written?.shown ?? 'time ?'}`;
  };
  const twins = namesakes.filter((o) => said(o) === said(report)).length > 1;
  return `${name} (${said(report)}${twins ? `, ${report.id}` : ''})`;
}

const comparisons = new WeakMap();

// The comparison of two reports, kept while both are open.
export function comparisonOf(before, after) {
  if (before.reading || after.reading) return null;
  let byAfter = comparisons.get(before);
  if (!byAfter) comparisons.set(before, (byAfter = new WeakMap()));
  if (!byAfter.has(after)) byAfter.set(after, compareModels(before.model, after.model));
  return byAfter.get(after);
}

export function pendingText(report) {
  return msg`Reading the files section of ${r(report.model.fileName)} (${(report.size / MB).toFixed(0)} MB)…`;
}
