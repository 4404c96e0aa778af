// The one table of the viewer. It renders one page of rows at a time, so that a million
// rows cost no more DOM than a hundred; it sorts by a column (the heading is a button, so
// the keyboard reaches it) and filters as you type. A cell is report text unless the
// column gives an element. Every table of every view is made here.
// columns: [{ label, get(row, index), num, sort(row) }]; rows: any list.
// The element's showRow(index, query) goes to the page that holds a row, marks the row
// and the query's words in it, and brings them into view.
import { h, showHit } from './dom.js';
import { valueView } from './value.js';

function cellText(v) {
  return v instanceof Node ? v.textContent : Array.isArray(v) ? '' : String(v ?? '');
}

function compareValues(a, b) {
  const na = Number(a);
  const nb = Number(b);
  if (a !== '' && b !== '' && !Number.isNaN(na) && !Number.isNaN(nb)) return na - nb;
  return String(a).localeCompare(String(b));
}

function cell(v, query) {
  if (v instanceof Node) return v;
  if (Array.isArray(v)) return h('span', null, v);
  return typeof v === 'number' ? String(v) : valueView(v, query);
}

export function table(columns, rows, options = {}) {
  const {
    pageSize = 100,
    filter = null,
    rowClass = () => null,
    caption = null,
    cls = '',
  } = options;
  let order = null;
  let shown = null;
  let page = 0;
  let sortCol = -1;
  let sortDir = 1;
  let marked = -1;
  let markQuery = null;
  const count = () => (shown ? shown.length : rows.length);
  const rowAt = (n) => (shown ? shown[n] : order ? order[n] : n);
  const body = h('tbody');
  const status = h('span', { class: 'pager-status', 'aria-live': 'polite' });
  const input = filter
    ? h('input', { type: 'search', placeholder: filter, class: 'filter', 'aria-label': filter })
    : null;
  const prev = h('button', { type: 'button', on: { click: () => go(page - 1) } }, 'Previous page');
  const next = h('button', { type: 'button', on: { click: () => go(page + 1) } }, 'Next page');
  const sortable = options.sortable ?? true;
  const heads = columns.map((c, i) => {
    const label = sortable
      ? h('button', { type: 'button', class: 'sort', on: { click: () => sortBy(i) } }, c.label)
      : c.label;
    return h(
      'th',
      { scope: 'col', class: c.num ? 'num' : null, 'aria-sort': sortable ? 'none' : null },
      label,
    );
  });
  const pages = () => Math.max(1, Math.ceil(count() / pageSize));
  const paged = rows.length > pageSize || filter;
  const pager = paged ? h('div', { class: 'pager' }, input, prev, next, status) : null;

  function renderRow(i) {
    const row = rows[i];
    const query = i === marked ? markQuery : null;
    const classes = [rowClass(row, i), i === marked ? 'hit' : null].filter(Boolean).join(' ');
    const cells = columns.map((c) =>
      h('td', { class: c.num ? 'num' : null }, cell(c.get(row, i), query)),
    );
    return h('tr', { class: classes || null, dataset: { row: i } }, cells);
  }
  function render() {
    body.textContent = '';
    const frag = document.createDocumentFragment();
    const end = Math.min(count(), (page + 1) * pageSize);
    for (let n = page * pageSize; n < end; n++) frag.appendChild(renderRow(rowAt(n)));
    body.appendChild(frag);
    if (!pager) return;
    const of =
      count() === rows.length ? `${rows.length} rows` : `${count()} of ${rows.length} rows`;
    status.textContent = `${of}, page ${page + 1} of ${pages()}`;
    prev.disabled = page === 0;
    next.disabled = page >= pages() - 1;
  }
  function go(p) {
    page = Math.max(0, Math.min(pages() - 1, p));
    render();
  }
  function applyFilter() {
    const q = input?.value.trim().toLowerCase();
    if (!q) shown = null;
    else {
      shown = [];
      for (let n = 0; n < rows.length; n++) {
        const i = order ? order[n] : n;
        if (columns.some((c) => cellText(c.get(rows[i], i)).toLowerCase().includes(q)))
          shown.push(i);
      }
    }
    go(0);
  }
  function sortBy(col) {
    sortDir = col === sortCol ? -sortDir : 1;
    sortCol = col;
    const key = columns[col].sort ?? ((row, i) => cellText(columns[col].get(row, i)));
    const keys = rows.map((row, i) => key(row, i));
    order = rows
      .map((_, i) => i)
      .sort((a, b) => sortDir * compareValues(keys[a], keys[b]) || a - b);
    heads.forEach((th, i) =>
      th.setAttribute('aria-sort', i === col ? (sortDir > 0 ? 'ascending' : 'descending') : 'none'),
    );
    applyFilter();
  }
  input?.addEventListener('input', applyFilter);
  const grid = h(
    'table',
    { class: `grid ${cls}`.trim() },
    caption ? h('caption', null, caption) : null,
    h('thead', null, h('tr', null, heads)),
    body,
  );
  const el = h('div', { class: 'table' }, pager, grid);
  el.showRow = (i, query = null) => {
    marked = i;
    markQuery = query;
    if (input) input.value = '';
    shown = null;
    let n = i;
    if (order) n = order.indexOf(i);
    go(Math.floor(Math.max(0, n) / pageSize));
    showHit(body.querySelector('tr.hit'));
  };
  render();
  return el;
}

// Name and value rows: a WMI instance, the environment, a group's data points.
export function propertyTable(pairs, options = {}) {
  const columns = [
    { label: options.nameLabel ?? 'Name', get: ([k]) => k },
    { label: options.valueLabel ?? 'Value', get: ([, v]) => v },
  ];
  return table(columns, pairs, { pageSize: 200, cls: 'props', ...options });
}
