// A file's bytes as text, and the beginning of a file that is not a report shown so that
// a person can read it: control characters and undecodable bytes become dots, and a few
// well-known kinds of file are named.

const KINDS = [
  ['PK\u0003\u0004', 'a ZIP archive (or an Office document)'],
  ['%PDF', 'a PDF document'],
  ['\u001f\ufffd', 'a gzip archive'],
  ['MZ', 'a Windows program'],
  ['{', 'JSON text'],
];
const PREVIEW_CHARS = 60;

export function readablePreview(text) {
  const start = text.replace(/^\uFEFF/, '').slice(0, PREVIEW_CHARS);
  const shown = start
    .replace(/[\t\n\r]+/g, ' ')
    .replace(/[\u0000-\u001f\u007f-\u009f\ufffd]/g, '·');
  const kind = KINDS.find(([magic]) => start.startsWith(magic));
  const more = text.length > PREVIEW_CHARS ? '…' : '';
  return `“${shown}${more}”${kind ? ` (it looks like ${kind[1]})` : ''}.`;
}

// The encodings a report may be in, by the names an XML declaration may give them.
const ENCODINGS = {
  'utf-8': 'utf-8',
  utf8: 'utf-8',
  'utf-16': 'utf-16',
  utf16: 'utf-16',
  'iso-8859-1': 'latin1',
  iso_8859_1: 'latin1',
  'iso_8859-1': 'latin1',
  'iso-latin-1': 'latin1',
  latin1: 'latin1',
  'windows-1252': 'windows-1252',
  cp1252: 'windows-1252',
  'us-ascii': 'ascii',
  ascii: 'ascii',
};
// windows-1252's characters for the bytes 0x80 to 0x9F (0 where it has none); the other
// bytes are the same as in ISO-8859-1. (TextDecoder is not used: some engines drop them.)
const CP1252 = [
  0x20ac, 0, 0x201a, 0x192, 0x201e, 0x2026, 0x2020, 0x2021, 0x2c6, 0x2030, 0x160, 0x2039, 0x152, 0,
  0x17d, 0, 0, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, 0x2dc, 0x2122, 0x161, 0x203a,
  0x153, 0, 0x17e, 0x178,
];

export class EncodingError extends Error {}

// The encoding named by the XML declaration at the start of an ASCII-compatible text.
function declaredEncoding(bytes) {
  const head = String.fromCharCode(...bytes.subarray(0, 200));
  const decl = /^<\?xml[ \t\r\n][^?>]*?encoding[ \t\r\n]*=[ \t\r\n]*(["'])([^"'?>]*)\1/.exec(head);
  return decl ? decl[2] : null;
}

// How the bytes are encoded, as XML tells it: a byte order mark, the first characters
// "<?" in UTF-16, else the declaration's encoding, else UTF-8.
function sniff(bytes) {
  const [a, b, c] = bytes;
  if (a === 0xef && b === 0xbb && c === 0xbf) return { encoding: 'utf-8', skip: 3 };
  if (a === 0xff && b === 0xfe) return { encoding: 'utf-16le', skip: 2 };
  if (a === 0xfe && b === 0xff) return { encoding: 'utf-16be', skip: 2 };
  if (a === 0x3c && b === 0 && c === 0x3f) return { encoding: 'utf-16le', skip: 0 };
  if (a === 0 && b === 0x3c && c === 0) return { encoding: 'utf-16be', skip: 0 };
  const named = declaredEncoding(bytes);
  if (named === null) return { encoding: 'utf-8', skip: 0 };
  const encoding = ENCODINGS[named.toLowerCase()];
  if (encoding === 'utf-16')
    throw new EncodingError(`it declares the encoding "${named}" but is not written in it`);
  if (!encoding) {
    throw new EncodingError(
      `it declares the encoding "${named}", which the viewer does not read ` +
        '(it reads UTF-8, UTF-16, windows-1252, ISO-8859-1 and US-ASCII)',
    );
  }
  return { encoding, skip: 0 };
}

// The offset of the first byte that is not valid UTF-8 (bytes.length when all are).
function firstBadUtf8(bytes) {
  for (let i = 0; i < bytes.length;) {
    const x = bytes[i];
    if (x < 0x80) {
      i++;
      continue;
    }
    const n =
      x >= 0xc2 && x <= 0xdf ? 1 : x >= 0xe0 && x <= 0xef ? 2 : x >= 0xf0 && x <= 0xf4 ? 3 : -1;
    if (n < 0) return i;
    const lo = x === 0xe0 ? 0xa0 : x === 0xf0 ? 0x90 : 0x80;
    const hi = x === 0xed ? 0x9f : x === 0xf4 ? 0x8f : 0xbf;
    if (!(bytes[i + 1] >= lo && bytes[i + 1] <= hi)) return i;
    for (let k = 2; k <= n; k++) if ((bytes[i + k] & 0xc0) !== 0x80) return i;
    i += n + 1;
  }
  return bytes.length;
}

function singleByte(bytes, encoding) {
  const limit = encoding === 'ascii' ? 0x80 : 0x100;
  const cp1252 = encoding === 'windows-1252';
  const codes = new Uint16Array(bytes.length);
  let end = bytes.length;
  for (let i = 0; i < bytes.length; i++) {
    const x = bytes[i];
    const code = cp1252 && x >= 0x80 && x < 0xa0 ? CP1252[x - 0x80] : x;
    if (x >= limit || (code === 0 && x !== 0)) {
      end = i;
      break;
    }
    codes[i] = code;
  }
  const parts = [];
  for (let k = 0; k < end; k += 8192)
    parts.push(String.fromCharCode(...codes.subarray(k, Math.min(end, k + 8192))));
  return { text: parts.join(''), bad: end };
}

// The text of a report's bytes, in the encoding XML finds in them. The text ends before
// the first byte that its encoding does not allow; error then says where, else it is null.
// An encoding the viewer does not read throws an EncodingError.
export function decodeBytes(bytes) {
  const { encoding, skip } = sniff(bytes);
  let body = bytes.subarray(skip);
  let text;
  let bad = body.length;
  if (encoding === 'utf-8' || encoding.startsWith('utf-16')) {
    // libxml2 drops a last odd byte of UTF-16 text: so does the viewer.
    if (encoding !== 'utf-8' && body.length % 2) body = body.subarray(0, body.length - 1);
    try {
      text = new TextDecoder(encoding, { fatal: true, ignoreBOM: true }).decode(body);
    } catch {
      if (encoding === 'utf-8') bad = firstBadUtf8(body);
      else {
        // An odd byte at the end, or a surrogate without its pair.
        const le = encoding === 'utf-16le';
        const unit = (i) => (le ? body[i] | (body[i + 1] << 8) : (body[i] << 8) | body[i + 1]);
        for (bad = 0; bad + 1 < body.length; bad += 2) {
          const u = unit(bad);
          if (u >= 0xdc00 && u <= 0xdfff) break;
          if (u >= 0xd800 && u <= 0xdbff) {
            const v = bad + 3 < body.length ? unit(bad + 2) : 0;
            if (!(v >= 0xdc00 && v <= 0xdfff)) break;
            bad += 2;
          }
        }
      }
      text = new TextDecoder(encoding, { ignoreBOM: true }).decode(body.subarray(0, bad));
    }
  } else ({ text, bad } = singleByte(body, encoding));
  const error =
    bad < body.length
      ? {
          offset: skip + bad,
          byte: body[bad],
          encoding: encoding.replace(/(le|be)$/, '').toUpperCase(),
        }
      : null;
  // The beginning as a person may read it, bad bytes and all, for a file that is no report.
  const head = error
    ? new TextDecoder(
        encoding === 'utf-16be' ? encoding : encoding === 'utf-16le' ? encoding : 'utf-8',
      ).decode(body.subarray(0, 256))
    : null;
  return { text, error, head };
}

// A file's bytes as text: decodeBytes of its whole content.
export async function fileText(file) {
  return decodeBytes(new Uint8Array(await file.arrayBuffer()));
}

// A short fingerprint of a report's text, so that an address names the very report it was
// made in. Large texts are sampled (their length, beginning and end), which still tells
// apart two reports of one machine: the time written is near the beginning.
const SAMPLE = 1 << 20;
export function fingerprint(text) {
  const sample =
    text.length > 2 * SAMPLE ? text.slice(0, SAMPLE) + text.slice(-SAMPLE) + text.length : text;
  let hash = 0x811c9dc5;
  for (let i = 0; i < sample.length; i++) hash = Math.imul(hash ^ sample.charCodeAt(i), 0x01000193);
  return (hash >>> 0).toString(16).padStart(8, '0');
}
