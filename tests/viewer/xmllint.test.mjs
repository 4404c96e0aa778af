// The page's reader against libxml2 (xmllint), file by file: whether the file is
// well-formed, and for those that are, the elements, attributes in document order and
// text that each reads; and whether each matches docs/vitascan.rng. The files are real
// reports mutated at random (byte flips, markup characters put in, cuts, tokens placed
// across the reader's slices) and hand-written cases of every way a reader can go wrong.
// The seed is printed; VIEWER_DIFF_SEED runs another.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { mkdtempSync, writeFileSync, readFileSync, readdirSync, existsSync, rmSync } from 'node:fs';
import { join } from 'node:path';
import { tmpdir } from 'node:os';
import { reportReader } from '../../viewer/src/import/report.js';
import { BASE, REPORT_DIR, RNG, SCHEMA, hostileReport, pageVerdict } from './reports.mjs';

const SEED = Number(process.env.VIEWER_DIFF_SEED ?? 20261208);
const SLICE = 1 << 16;
const utf8 = (s) => Buffer.from(s, 'utf8');

function random(seed) {
  let a = seed >>> 0;
  return (n) => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = Math.imul(a ^ (a >>> 15), 1 | a);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return (((t ^ (t >>> 14)) >>> 0) % n) | 0;
  };
}

// What the page reads: its verdict, and for a well-formed file the items read and whether
// it matches the schema.
function pageReads(bytes) {
  const items = [];
  const { verdict, decoded } = pageVerdict(bytes, {
    // libxml2 keeps namespace declarations apart from attributes, and writes them first.
    open: (name, attrs) => {
      const ns = (a) => a === 'xmlns' || a.startsWith('xmlns:');
      const list = Object.entries(attrs);
      items.push(['<', name, [...list.filter(([a]) => ns(a)), ...list.filter(([a]) => !ns(a))]]);
    },
    text: (t) => (items.at(-1)?.[0] === 't' ? (items.at(-1)[1] += t) : items.push(['t', t])),
    close: () => items.push(['>']),
  });
  if (verdict !== 'well-formed') return { verdict };
  let valid = null;
  try {
    const r = reportReader(decoded, 'x', SCHEMA);
    r.run();
    valid = r.model().schema.count === 0;
  } catch {
    valid = false;
  }
  return { verdict: 'well-formed', items, valid };
}

const ENTITY = /&(?:#(\d+)|#x([0-9a-fA-F]+)|(lt|gt|amp|quot|apos));/g;
const NAMED = { lt: '<', gt: '>', amp: '&', quot: '"', apos: "'" };
const unescape = (s) =>
  s.replace(ENTITY, (_, d, x, n) =>
    n ? NAMED[n] : String.fromCodePoint(d ? Number(d) : parseInt(x, 16)),
  );

// The items of xmllint's own serialization (UTF-8, CDATA as text, no document type).
function serializedItems(out) {
  const items = [];
  const token =
    /<!--[\s\S]*?-->|<\?[\s\S]*?\?>|<\/[^>]*>|<([^\s/>!?]+)((?:\s+[^\s=]+="[^"]*")*)\s*(\/?)>|[^<]+/g;
  let depth = 0;
  for (const m of out.matchAll(token)) {
    const [all, name, attrs, empty] = m;
    if (all.startsWith('<!--') || all.startsWith('<?')) continue;
    if (all.startsWith('</')) {
      depth--;
      items.push(['>']);
    } else if (name) {
      const list = [...attrs.matchAll(/([^\s=]+)="([^"]*)"/g)].map((a) => [a[1], unescape(a[2])]);
      items.push(['<', name, list]);
      if (empty) items.push(['>']);
      else depth++;
    } else if (depth > 0) {
      const t = unescape(all);
      if (items.at(-1)?.[0] === 't') items.at(-1)[1] += t;
      else items.push(['t', t]);
    }
  }
  return items;
}

const run = (args) =>
  new Promise((done) =>
    execFile('xmllint', args, { maxBuffer: 1 << 28, encoding: 'utf8' }, (e, out) =>
      done({ ok: !e, out }),
    ),
  );

async function libxml2Reads(path) {
  const { ok, out } = await run(['--nocdata', '--dropdtd', '--encode', 'UTF-8', path]);
  if (!ok) return { verdict: 'broken' };
  const valid = (await run(['--noout', '--relaxng', RNG, path])).ok;
  return { verdict: 'well-formed', items: serializedItems(out), valid };
}

// Markup and the characters around it: put into reports at random, and across the
// reader's slices.
const MARKUP = [
  '<',
  '>',
  '&',
  '"',
  "'",
  ']]>',
  '<!--',
  '-->',
  '<?',
  '?>',
  '<![CDATA[',
  '&#0;',
  '&lt',
  '\u0001',
  '</x>',
  '<x>',
  ']',
  '\r',
  '&#x10FFFF;',
  '\uFFFE',
  '&amp;',
  '&#x4E2D;',
  '<!-- c -->',
  '<![CDATA[x]]>',
  '\r\n',
  '\uD83D\uDE00',
  '<?p d?>',
  '<e a="v"/>',
  '</r>',
  '&constructor;',
  '--',
];

// Hand-written cases: each way a reader was seen to go wrong, and the classes of XML's
// rules a lenient reader misses.
function handCases() {
  const doc = (body) => `<?xml version="1.0" encoding="utf-8"?>\n${body}`;
  const cases = [
    '<r><!-->x</r>-->y</r>',
    '<r><!--->x</r>-->y</r>',
    '<r><!--></r>',
    '<r><!-- a -- b --></r>',
    '<r><!-- a ---></r>',
    '<!DOCTYPE r [<!ENTITY x "]><r>evil</r><!--">]><r>real</r><!---->',
    '<!DOCTYPE r [<!ATTLIST r a CDATA "d">]><r/>',
    '<!DOCTYPE r [<!ENTITY b "bee">]><r>&b;</r>',
    '<!DOCTYPE r [<!-- ] -->]><r/>',
    '<!DOCTYPE r><r/>',
    '<!DOCTYPE r SYSTEM "r.dtd"><r/>',
    '<!DOCTYPE r><!DOCTYPE r><r/>',
    '<r/><!DOCTYPE r>',
    ...['constructor', 'toString', 'valueOf', 'hasOwnProperty', '__proto__', 'b'].map(
      (e) => `<r a="&${e};">&${e};</r>`,
    ),
    '<r>&#0065;&#x0041;&#x000041;</r>',
    '<r>&#0;</r>',
    '<r>&#xFFFE;</r>',
    '<r>&#xD800;</r>',
    '<r>&#x10FFFF;</r>',
    '<r>&#x110000;</r>',
    '<r>a]]>b</r>',
    '<r>a]]b]>c</r>',
    '<r>\u0001</r>',
    '<r>\uFFFE</r>',
    '<r>\u0085\u2028</r>',
    '<r\u00a0a="1"/>',
    '<r a="1"\u00a0/>',
    '<1r/>',
    '<r\u00b7/>',
    '<\u00b7r/>',
    '<r:a:b/>',
    '<r a="<"/>',
    '<r a="x"b="y"/>',
    '<r a="\t\n\r"/>',
    '<r>\r\n\r</r>',
    '<r><![CDATA[a]]]]><![CDATA[>\r\n]]></r>',
    '<r><?pi data?><?xml bad?></r>',
    '<r><?xml-stylesheet x?></r>',
    '<?xml version="1.0" standalone="maybe"?><r/>',
    '<?xml version="1.1"?><r>\u0085</r>',
    '<?xml version="2.0"?><r/>',
    '<?xml encoding="utf-8"?><r/>',
    ' <?xml version="1.0"?><r/>',
    '<r/>text',
    '<r/><r/>',
    '',
    '   ',
    '<r>',
    '<r></s>',
    '<r a="1" a="2"/>',
    '<r __proto__="x" constructor="y"/>',
    '<r>&amp</r>',
    '<r>& </r>',
    '<r>&#x;</r>',
    '<r>\uD83D\uDE00 \u4E2D</r>',
    // Namespaces, as the schema sees them.
    ...['xmlns="urn:x"', 'xmlns:a="urn:x" a:b="1"', 'u:b="1"', 'xml:lang="en"', 'xmlns=""'].map(
      (a) => `<vitascan version="." versionDisplay="" ${a}/>`,
    ),
  ].map((body, i) => [`hand-${i}`, utf8(body)]);
  const decl = (encoding) => `<?xml version="1.0" encoding="${encoding}"?>`;
  const latin = (s) => Buffer.from(s, 'latin1');
  const le = (s) => Buffer.from(s, 'utf16le');
  const BOM = Buffer.from([0xff, 0xfe]);
  const J = '<r a="J\u00e9r\u00f4me">\u0080\u0081 \u00ff</r>';
  cases.push(
    ['latin1-declared', latin(decl('ISO-8859-1') + J)],
    ['cp1252-declared', latin(decl('windows-1252') + J)],
    ['cp1252-ok', latin(`${decl('windows-1252')}<r>\u0080\u0099</r>`)],
    ['latin1-undeclared', latin(J)],
    ['ascii-declared', latin(`${decl('US-ASCII')}<r>\u00e9</r>`)],
    ['unknown-encoding', utf8(`${decl('klingon')}<r/>`)],
    ['utf16le-bom', Buffer.concat([BOM, le(doc('<r>\u00e9\u4e2d</r>'))])],
    ['utf16le-no-bom', le(doc('<r>\u00e9</r>').replace('utf-8', 'UTF-16'))],
    ['utf16be-bom', Buffer.from([0xfe, 0xff, 0, 0x3c, 0, 0x72, 0, 0x2f, 0, 0x3e])],
    ['utf16-odd', Buffer.concat([BOM, le('<r/>'), Buffer.from([0x20])])],
    ['utf16-lone-surrogate', Buffer.concat([BOM, le('<r>'), Buffer.from([0, 0xd8]), le('</r>')])],
    ['utf8-bom', Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), utf8('<r/>')])],
  );
  for (const bad of [
    [0xc3],
    [0xc0, 0xaf],
    [0xed, 0xa0, 0x80],
    [0xf4, 0x90, 0x80, 0x80],
    [0xe2, 0x82],
    [0xff],
  ]) {
    for (const where of ['<r>%</r>', '<r a="%"/>', '<r/><!--%-->', '<r/>%', '<r><!--%-->'])
      cases.push([
        `bad-utf8-${bad}-${where}`,
        Buffer.concat(
          where.split('%').flatMap((p, i) => (i ? [Buffer.from(bad), utf8(p)] : [utf8(p)])),
        ),
      ]);
  }
  // A large report with the files section's start line again inside a comment after it.
  const files = Array.from(
    { length: 20000 },
    (_, i) => `<file name="f${i}.dat" bytes="1" size="1 B" datemodified="01/01/2026 00:00:00"/>`,
  ).join('\n');
  const big = BASE.replace(
    /<filesystem>[\s\S]*<\/filesystem>/,
    `<filesystem>\n<dir name="C:">\n${files}\n</dir>\n</filesystem>`,
  ).replace('</vitascan>', '<!--\n<filesystem>\n</filesystem>\n--></vitascan>');
  cases.push(['big-files-in-comment', utf8(big)]);
  cases.push(['doctypes-then-root', utf8(`${'<!DOCTYPE r>'.repeat(2000)}<r/>`)]);
  // Tokens across the reader's slices.
  for (const t of MARKUP)
    for (let k = 0; k < t.length + 1; k++) {
      const pad = 'a'.repeat(SLICE - 3 - k);
      cases.push([`slice-${MARKUP.indexOf(t)}-${k}`, utf8(`<r>${pad}${t}b</r>`)]);
    }
  return cases;
}

// Random changes to real reports.
function mutations(sources, rnd, count) {
  const cases = [];
  for (let n = 0; n < count; n++) {
    const [name, bytes] = sources[rnd(sources.length)];
    const at = rnd(bytes.length + 1);
    const kind = n % 4;
    let out;
    if (kind === 0) {
      out = Buffer.from(bytes);
      out[Math.min(at, bytes.length - 1)] = rnd(256);
    } else if (kind === 1) {
      const m = utf8(MARKUP[rnd(MARKUP.length)]);
      out = Buffer.concat([bytes.subarray(0, at), m, bytes.subarray(at)]);
    } else if (kind === 2) out = bytes.subarray(0, at);
    else {
      // A token of the report moved across a slice boundary by padding before it.
      const pad = utf8(' '.repeat(rnd(64)));
      const where = Math.max(0, SLICE - rnd(32));
      const i = bytes.indexOf(0x3e, Math.min(where, bytes.length - 1)) + 1;
      out = Buffer.concat([bytes.subarray(0, i), pad, bytes.subarray(i)]);
    }
    cases.push([`${name}-${['flip', 'insert', 'cut', 'slice'][kind]}-${at}`, out]);
  }
  return cases;
}

function sources() {
  const list = [
    ['base', utf8(BASE)],
    ['hostile', utf8(hostileReport())],
  ];
  if (existsSync(REPORT_DIR)) {
    for (const f of readdirSync(REPORT_DIR)
      .filter((f) => f.endsWith('.vitascan'))
      .sort()) {
      const bytes = readFileSync(join(REPORT_DIR, f));
      if (bytes.length < 1 << 21) list.push([f, bytes]);
    }
  }
  return list;
}

test(
  'the reader reads each file as libxml2 does, or refuses it plainly',
  { timeout: 600000 },
  async () => {
    console.log(`seed ${SEED} (VIEWER_DIFF_SEED sets another)`);
    const src = sources();
    const cases = [
      ...handCases(),
      ...src,
      ...mutations(src, random(SEED), Number(process.env.VIEWER_DIFF_CASES ?? 1600)),
    ];
    const dir = mkdtempSync(join(tmpdir(), 'viewer-diff-'));
    const tally = { 'well-formed': 0, broken: 0, refused: 0, valid: 0 };
    const differ = [];
    let next = 0;
    const worker = async () => {
      while (next < cases.length) {
        const [name, bytes] = cases[next];
        const path = join(dir, `case-${next++}.xml`);
        writeFileSync(path, bytes);
        const page = pageReads(bytes);
        tally[page.verdict]++;
        if (page.verdict === 'refused') continue;
        const lib = await libxml2Reads(path);
        if (lib.verdict !== page.verdict)
          differ.push(`${name}: libxml2 ${lib.verdict}, page ${page.verdict}`);
        else if (lib.verdict === 'well-formed') {
          if (JSON.stringify(lib.items) !== JSON.stringify(page.items))
            differ.push(`${name}: read differently`);
          else if (lib.valid !== page.valid)
            differ.push(`${name}: schema ${lib.valid}, page ${page.valid}`);
          else if (page.valid) tally.valid++;
        }
      }
    };
    await Promise.all([worker(), worker()]);
    rmSync(dir, { recursive: true });
    console.log(`${cases.length} files: ${JSON.stringify(tally)}; ${differ.length} disagreements`);
    assert.deepEqual(differ, []);
  },
);
