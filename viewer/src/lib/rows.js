// Sorting and filtering the rows of a table, with no DOM. A column's sort key is a number
// (sizes in bytes, dates in milliseconds, counts) or a text; a text that is a plain number
// sorts as one, other texts in natural order (file2 before file10, 10.2.0.9 before
// 10.2.0.15) ignoring case. Rows with no value come last in either direction.

const collator = new Intl.Collator('en', { numeric: true, sensitivity: 'base' });
const NUMBER = /^\s*-?\d+(\.\d+)?\s*$/;

function normal(key) {
  if (key == null || key === '') return null;
  if (typeof key === 'number') return Number.isNaN(key) ? null : key;
  const text = String(key);
  return NUMBER.test(text) ? Number(text) : text;
}

export function compareKeys(a, b) {
  if (typeof a === 'number' && typeof b === 'number') return a - b;
  if (typeof a === 'number') return -1;
  if (typeof b === 'number') return 1;
  return collator.compare(a, b);
}

// The row indexes in the order of keys (one per row); direction 1 or -1. Equal keys keep
// their order.
export function sortedOrder(keys, direction = 1) {
  const norm = keys.map(normal);
  return norm
    .map((_, i) => i)
    .sort((x, y) => {
      const [a, b] = [norm[x], norm[y]];
      if (a === null || b === null) return (a === null) - (b === null) || x - y;
      return direction * compareKeys(a, b) || x - y;
    });
}

// The indexes, in the given order, of the rows one of whose texts holds the query,
// ignoring case; null when the query is empty (every row).
export function matchingRows(order, textsOf, query) {
  const q = String(query ?? '')
    .trim()
    .toLowerCase();
  if (!q) return null;
  return order.filter((i) => textsOf(i).some((t) => t.toLowerCase().includes(q)));
}
