// Report text among the page's own words. A message is a list of parts: strings are the
// page's own words, { report } parts come from a report. Views isolate each report part
// from the text around it (bidi isolation), and everywhere invisible format characters
// (bidi controls, zero-width and other control characters) are shown as visible markers,
// so that a name can neither reorder the page nor hide what it holds.

export const FORMAT_CHARS = new RegExp(
  '[\\u0000-\\u0008\\u000b\\u000c\\u000e-\\u001f\\u007f-\\u009f\\u00ad\\u061c\\u180e' +
    '\\u200b-\\u200f\\u202a-\\u202e\\u2060-\\u2064\\u2066-\\u2069\\ufeff]',
  'g',
);

const NAMES = {
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

// The text with each format character written as "<U+202E>", for plain text.
export function visible(text) {
  return String(text ?? '').replace(FORMAT_CHARS, (ch) => `<${codeOf(ch)}>`);
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

// Where the query occurs in the text, ignoring case: [start, end] pairs.
export function matchRanges(text, query) {
  const q = (query ?? '').trim();
  if (!q || !text) return [];
  const re = new RegExp(literal(q), 'gi');
  const out = [];
  for (let m = re.exec(text); m; m = re.exec(text)) out.push([m.index, m.index + m[0].length]);
  return out;
}
