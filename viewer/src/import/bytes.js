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

// The text of a file: UTF-8, or UTF-16 when it starts with a byte order mark.
export async function fileText(file) {
  const head = new Uint8Array(await file.slice(0, 2).arrayBuffer());
  const utf16 = head[0] === 0xff && head[1] === 0xfe ? 'utf-16le' : null;
  const encoding = utf16 ?? (head[0] === 0xfe && head[1] === 0xff ? 'utf-16be' : null);
  if (!encoding) return file.text();
  return new TextDecoder(encoding).decode(await file.arrayBuffer());
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
