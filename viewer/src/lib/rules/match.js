// The small matchers a rule pack's conditions are made of: ranges of dotted numbers
// compared number by number, names with * and ? wildcards, and patterns matched by a
// linear-time engine, so that no pack can freeze the page whatever the text.
import { RE2JS } from 're2js';

const COMPARISON = /^(>=|<=|>|<|=)?(\d+(?:\.\d+)*)$/;
const LEADING_NUMBERS = /^\s*v?(\d+(?:\.\d+)*)/i;

// Digit strings compared as numbers of any length: 2.10 is above 2.5, 0010 equals 10.
function compareNumber(a, b) {
  const x = a.replace(/^0+(?=\d)/, '');
  const y = b.replace(/^0+(?=\d)/, '');
  if (x.length !== y.length) return x.length < y.length ? -1 : 1;
  return x < y ? -1 : x > y ? 1 : 0;
}

// Dotted numbers compared number by number; a missing number counts as 0.
export function compareVersions(a, b) {
  for (let i = 0; i < Math.max(a.length, b.length); i++) {
    const c = compareNumber(a[i] ?? '0', b[i] ?? '0');
    if (c) return c;
  }
  return 0;
}

// The dotted numbers a version text begins with ("10.2 (b15)" is 10.2), or null.
export function versionNumbers(text) {
  const m = LEADING_NUMBERS.exec(String(text ?? ''));
  return m ? m[1].split('.') : null;
}

const HOLDS = {
  '>=': (c) => c >= 0,
  '<=': (c) => c <= 0,
  '>': (c) => c > 0,
  '<': (c) => c < 0,
  '=': (c) => c === 0,
};

// A range such as ">=3.0 <3.1 || =4.2" as a test of a version text; throws an Error that
// says what is wrong with the range.
export function parseRange(text) {
  if (typeof text !== 'string' || !text.trim() || text.length > 200)
    throw new Error('must be a range of dotted numbers (such as ">=3.0 <3.1")');
  const alternatives = text.split('||').map((alt) => {
    const parts = alt
      .trim()
      .replace(/(>=|<=|>|<|=)\s+/g, '$1')
      .split(/\s+/);
    return parts.map((part) => {
      const m = COMPARISON.exec(part);
      if (!m) {
        throw new Error(
          `${JSON.stringify(text)} is not a range of dotted numbers (such as ">=3.0 <3.1")`,
        );
      }
      return { holds: HOLDS[m[1] ?? '='], numbers: m[2].split('.') };
    });
  });
  return (version) => {
    const numbers = versionNumbers(version);
    return (
      numbers !== null &&
      alternatives.some((alt) => alt.every((c) => c.holds(compareVersions(numbers, c.numbers))))
    );
  };
}

// A name with * (any run of characters) and ? (one character) as a test ignoring case;
// test.lower(name) takes a name already in lower case, test.exact is the name when it has
// no wildcard.
export function wildcard(pattern) {
  const p = pattern.toLowerCase();
  const exact = /[*?]/.test(p) ? null : p;
  const lower = exact !== null ? (s) => s === exact : (s) => starMatch(p, s);
  return Object.assign((name) => lower(String(name).toLowerCase()), { lower, exact });
}

// The two-pointer walk that goes back only to the last star: at most the product of the
// two lengths, never more.
function starMatch(p, s) {
  let [i, j, star, mark] = [0, 0, -1, 0];
  while (i < s.length) {
    if (j < p.length && (p[j] === '?' || p[j] === s[i])) {
      i++;
      j++;
    } else if (j < p.length && p[j] === '*') {
      star = j++;
      mark = i;
    } else if (star >= 0) {
      j = star + 1;
      i = ++mark;
    } else return false;
  }
  while (p[j] === '*') j++;
  return j === p.length;
}

export const MAX_PATTERN = 500;
export const MAX_STEPS = 100;

// Case-insensitive matching is far slower in the engine than plain matching, whose
// search skips ahead to the pattern's plain words. A pattern that only begins with (?i)
// and escapes nothing whose meaning depends on case is also compiled in lower case, to
// search a log's text in lower case.
const FOLDABLE = /^\(\?i\)(?![^]*\(\?)(?![^]*\\[A-Za-z](?<![\\][dwsbntr]))/;

// A pattern in RE2 syntax, compiled once: { re, folded, literals } where folded, if not
// null, is the same pattern for text in lower case, and literals the plain texts that every
// match holds (in the case of the text that folded or else re searches), longest first. Throws an Error
// naming what is wrong. ^ and $ are a line's start and end.
export function compilePattern(text) {
  if (typeof text !== 'string' || !text || text.length > MAX_PATTERN)
    throw new Error(`must be a pattern of 1 to ${MAX_PATTERN} characters`);
  let re;
  try {
    re = RE2JS.compile(text, RE2JS.MULTILINE);
  } catch (e) {
    throw new Error(`${JSON.stringify(text)} is not a pattern the engine accepts: ${e.message}`);
  }
  // The engine's time per character grows with the pattern's program (x{1,100} is a
  // hundred steps): a bound on it keeps every pattern fast over a megabyte of text.
  const steps = re.re2Input?.prog?.inst?.length ?? 0;
  if (steps > MAX_STEPS)
    throw new Error(
      `${JSON.stringify(text.slice(0, 60))} is too large for the engine (${steps} steps, at most ${MAX_STEPS}): use smaller counts in {n,m}`,
    );
  let folded = null;
  if (FOLDABLE.test(text)) {
    try {
      folded = RE2JS.compile(text.slice(4).toLowerCase(), RE2JS.MULTILINE);
    } catch {
      folded = null;
    }
  }
  return { re, folded, literals: requiredText(folded ?? re) };
}

// The plain texts that every match holds, longest first, as the engine's own prefilter
// found them (an inside of the pinned engine; without it, whole texts are searched), or
// null when there is none of 3 characters or more.
function requiredText(re) {
  const filter = re.re2Input?.prefilter;
  const texts = [filter, ...(filter?.type === 2 ? filter.subs : [])]
    .filter((f) => f?.type === 1 && typeof f.str === 'string' && !f.str.includes('\n'))
    .map((f) => f.str)
    .sort((a, b) => b.length - a.length);
  return texts[0]?.length >= 3 ? texts : null;
}

// Whether a short text (a registry value, a variable) holds a match.
export function patternFinds(pattern, text) {
  return pattern.re.matcher(String(text ?? '')).find();
}

// Whether one line of a log holds a match (its own case; folded patterns take it in lower
// case).
export function lineMatches(pattern, line) {
  const text = pattern.folded ? line.toLowerCase() : line;
  const [, ...others] = pattern.literals ?? [];
  return (
    others.every((o) => text.includes(o)) && (pattern.folded ?? pattern.re).matcher(text).find()
  );
}

// The start of each line of a long text (a log) that holds a match of `re`, at most
// `limit`. With literals, only the lines that hold them all are tried, each alone.
export function matchingLines(re, literals, text, limit) {
  if (literals === null) return patternStarts(re, text, limit);
  const [literal, ...others] = literals;
  const out = [];
  for (let at = text.indexOf(literal); at >= 0 && out.length < limit;) {
    const start = text.lastIndexOf('\n', at - 1) + 1;
    let end = text.indexOf('\n', at);
    if (end < 0) end = text.length;
    const line = text.slice(start, end);
    if (others.every((o) => line.includes(o)) && re.matcher(line).find()) out.push(start);
    at = end < text.length ? text.indexOf(literal, end + 1) : -1;
  }
  return out;
}

// The same without a literal: a match that would run over a line end (a class such as
// [^x] takes line feeds) sends the search line by line, so that a hit is always within
// one line.
function patternStarts(re, text, limit) {
  const out = [];
  const m = re.matcher(text);
  let from = 0;
  while (out.length < limit && m.find(from)) {
    const [start, end] = [m.start(), m.end()];
    if (end > start && text.lastIndexOf('\n', end - 1) >= start) return lineByLine(re, text, limit);
    out.push(text.lastIndexOf('\n', start - 1) + 1);
    const next = text.indexOf('\n', start);
    if (next < 0) break;
    from = next + 1;
  }
  return out;
}

function lineByLine(re, text, limit) {
  const out = [];
  for (let start = 0; out.length < limit && start <= text.length;) {
    const cut = text.indexOf('\n', start);
    const end = cut < 0 ? text.length : cut;
    if (re.matcher(text.slice(start, end)).find()) out.push(start);
    start = end + 1;
  }
  return out;
}
