// The one way numbers and sizes are written on the page and in the ticket text.

const UNITS = ['bytes', 'KB', 'MB', 'GB', 'TB'];

// 1536 -> "1.5 KB"; sizes are binary, as Windows shows them.
export function bytesText(n) {
  if (n == null || !Number.isFinite(n)) return '';
  let v = n;
  let u = 0;
  while (Math.abs(v) >= 1024 && u < UNITS.length - 1) {
    v /= 1024;
    u++;
  }
  return u ? `${v.toFixed(1)} ${UNITS[u]}` : `${v} ${v === 1 ? 'byte' : 'bytes'}`;
}

export function percentText(share) {
  return `${(share * 100).toFixed(0)} %`;
}

// "1 line", "3 lines".
export function counted(n, word, plural = `${word}s`) {
  return `${n.toLocaleString('en')} ${n === 1 ? word : plural}`;
}
