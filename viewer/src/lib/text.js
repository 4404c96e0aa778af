// Report text among the page's own words. A message is a list of parts: strings are the
// page's own words, { report } parts come from a report. Views isolate each report part
// from the text around it (bidi isolation), and everywhere invisible format characters
// (bidi controls, zero-width, tab, carriage return and other control characters) are
// shown as visible markers, so that a name can neither reorder the page nor hide what it
// holds. Letters of another script inside a word (a Cyrillic "а" in a Latin name, as
// browsers judge domain names) are marked and named, and a stack of combining marks is
// cut to a few, the rest counted, so that it cannot draw over the rows around it.

export const FORMAT_CHARS = new RegExp(
  '[\\u0000-\\u001f\\u007f-\\u009f\\u00ad\\u061c\\u180e' +
    '\\u200b-\\u200f\\u202a-\\u202e\\u2060-\\u2064\\u2066-\\u2069\\ufeff]',
  'g',
);
// Tab and line feed lay out a log's lines; there they are left as they are.
const LAYOUT = /[\t\n]/;
// Combining marks kept on one letter; more are counted rather than drawn.
export const MAX_MARKS = 3;
const MARKS = /\p{M}{4,}/gu;
const NOT_ASCII = /[^\u0000-\u007f]/;
const WORD = /\p{L}[\p{L}\p{M}]*/gu;
const LATIN = /\p{Script=Latin}/u;
const OTHER_SCRIPT = /[\p{Script=Cyrillic}\p{Script=Greek}]/u;
const SCRIPTS = [
  ['Latin', /\p{Script=Latin}/u],
  ['Cyrillic', /\p{Script=Cyrillic}/u],
  ['Greek', /\p{Script=Greek}/u],
];

const NAMES = {
  0x0009: 'tab',
  0x000a: 'line feed',
  0x000d: 'carriage return',
  0x200e: 'left-to-right mark',
  0x200f: 'right-to-left mark',
  0x061c: 'Arabic letter mark',
  0x202a: 'left-to-right embedding',
  0x202b: 'right-to-left embedding',
  0x202c: 'pop directional formatting',
  0x202d: 'left-to-right override',
  0x202e: 'right-to-left override',
  0x2066: 'left-to-right isolate',
  0x2067: 'right-to-left isolate',
  0x2068: 'first strong isolate',
  0x2069: 'pop directional isolate',
  0x200b: 'zero-width space',
  0x200c: 'zero-width non-joiner',
  0x200d: 'zero-width joiner',
  0x2060: 'word joiner',
  0xfeff: 'zero-width no-break space',
  0x00ad: 'soft hyphen',
};

// "U+202E" for a format character.
export function codeOf(ch) {
  return `U+${ch.codePointAt(0).toString(16).toUpperCase().padStart(4, '0')}`;
}

export function formatCharName(ch) {
  return NAMES[ch.codePointAt(0)] ?? 'control character';
}

// The letters of a word that mixes Latin with Cyrillic or Greek and are not of the word's
// main script: [{ at, letter, script }].
function foreignLetters(text) {
  const out = [];
  if (!OTHER_SCRIPT.test(text)) return out;
  for (const word of text.matchAll(WORD)) {
    if (!LATIN.test(word[0]) || !OTHER_SCRIPT.test(word[0])) continue;
    const letters = [];
    const counts = { Latin: 0, Cyrillic: 0, Greek: 0 };
    let at = word.index;
    for (const letter of word[0]) {
      const script = SCRIPTS.find(([, re]) => re.test(letter))?.[0];
      if (script) counts[script]++;
      letters.push({ at, letter, script });
      at += letter.length;
    }
    if (!counts.Latin || !(counts.Cyrillic || counts.Greek)) continue;
    const main = Object.keys(counts).reduce((a, b) => (counts[b] > counts[a] ? b : a), 'Latin');
    out.push(...letters.filter((l) => l.script && l.script !== main));
  }
  return out;
}

// The parts of a text that are shown otherwise than as they are: [start, end, kind, shown,
// title] in order, kind 'fmt' (a format character), 'marks' (combining marks past the
// few kept) or 'foreign' (a letter of another script). layout leaves tabs and line feeds.
export function specialParts(text, layout = false) {
  const parts = [];
  FORMAT_CHARS.lastIndex = 0;
  for (let m = FORMAT_CHARS.exec(text); m; m = FORMAT_CHARS.exec(text)) {
    if (layout && LAYOUT.test(m[0])) continue;
    const title = `invisible character ${codeOf(m[0])}: ${formatCharName(m[0])}`;
    parts.push([m.index, m.index + 1, 'fmt', codeOf(m[0]), title]);
  }
  if (NOT_ASCII.test(text)) {
    for (const m of text.matchAll(MARKS)) {
      const marks = [...m[0]];
      const from = m.index + marks.slice(0, MAX_MARKS).join('').length;
      const n = marks.length - MAX_MARKS;
      const title = `${n} more combining marks on one letter, not drawn`;
      parts.push([from, m.index + m[0].length, 'marks', `+${n} marks`, title]);
    }
    for (const l of foreignLetters(text)) {
      const title = `${l.script} letter ${l.letter} (${codeOf(l.letter)}) among letters of another script`;
      parts.push([l.at, l.at + l.letter.length, 'foreign', l.letter, title]);
    }
  }
  return parts.sort((a, b) => a[0] - b[0]);
}

// What a text's foreign letters are, for a note after it: "Cyrillic а", or "".
export function foreignNote(parts) {
  const foreign = parts.filter((p) => p[2] === 'foreign');
  const scripts = [...new Set(foreign.map((p) => p[4].split(' ')[0]))];
  return scripts
    .map(
      (s) =>
        `${s} ${foreign
          .filter((p) => p[4].startsWith(s))
          .map((p) => p[3])
          .join(' ')}`,
    )
    .join(', ');
}

// The text with each format character written as "<U+202E>", counted combining marks as
// "<+57 marks>" and the letters of another script named after it, for plain text.
export function visible(text) {
  const t = String(text ?? '');
  const parts = specialParts(t);
  if (!parts.length) return t;
  let out = '';
  let at = 0;
  for (const [start, end, kind, shown] of parts) {
    out += t.slice(at, start) + (kind === 'foreign' ? shown : `<${shown}>`);
    at = end;
  }
  const note = foreignNote(parts);
  return `${out}${t.slice(at)}${note ? ` <mixed scripts: ${note}>` : ''}`;
}

// A part of a message that comes from a report.
export function r(text) {
  return { report: String(text ?? '') };
}

// msg`${r(name)} has ${n} lines`: interpolated strings and numbers are the page's own,
// r() parts and nested messages are kept as they are.
export function msg(strings, ...values) {
  const parts = [];
  strings.forEach((s, i) => {
    if (s) parts.push(s);
    if (i < values.length) {
      const v = values[i];
      if (Array.isArray(v)) parts.push(...v);
      else if (v != null && v !== '') parts.push(typeof v === 'object' ? v : String(v));
    }
  });
  return parts;
}

// A message as plain text (the ticket, a status line's copy).
export function plain(message) {
  if (!Array.isArray(message)) return visible(message);
  return message.map((p) => (typeof p === 'string' ? p : visible(p.report))).join('');
}

// A text as a pattern that matches just that text.
export function literal(text) {
  return text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
}

// A report's text cut to a length that a message can hold: its beginning and "…".
export function shortened(text, max = 80) {
  const t = String(text ?? '');
  return t.length <= max ? t : `${t.slice(0, max - 1)}…`;
}

// Where the query occurs in the text, ignoring case: [start, end] pairs.
export function matchRanges(text, query) {
  const q = (query ?? '').trim();
  if (!q || !text) return [];
  const re = new RegExp(literal(q), 'gi');
  const out = [];
  for (let m = re.exec(text); m; m = re.exec(text)) out.push([m.index, m.index + m[0].length]);
  return out;
}

// Text cut where the query's matches and its markers begin and end, for the page to draw:
// { pieces: [{ text, mark, special, hidden }], note } where mark says the piece is matched,
// special ([kind, shown, title]) is a marker drawn in place of the piece's text (a format
// character, foreign letter or marks not drawn), hidden the rest of a marker's text, and
// note names the foreign letters. null when nothing is marked or shown.
export function textPieces(text, query = null, layout = false) {
  const ranges = matchRanges(text, query);
  const parts = specialParts(text, layout);
  if (!ranges.length && !parts.length) return null;
  const cuts = new Set([0, text.length]);
  for (const [s, e] of [...ranges, ...parts]) cuts.add(s).add(e);
  const points = [...cuts].sort((a, b) => a - b);
  const pieces = [];
  let range = 0;
  let part = 0;
  for (let i = 0; i + 1 < points.length; i++) {
    const [s, e] = [points[i], points[i + 1]];
    while (range < ranges.length && ranges[range][1] <= s) range++;
    while (part < parts.length && parts[part][1] <= s) part++;
    const mark = range < ranges.length && ranges[range][0] <= s;
    const inside = part < parts.length && parts[part][0] <= s ? parts[part] : null;
    const special = inside && s === inside[0] ? inside.slice(2) : null;
    pieces.push({ text: text.slice(s, e), mark, special, hidden: Boolean(inside && !special) });
  }
  return { pieces, note: foreignNote(parts) };
}
