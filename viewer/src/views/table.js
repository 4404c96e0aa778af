// The one table of the viewer. It renders one page of rows at a time, so that a million
// rows cost no more DOM than a hundred (and every row when the page is printed). Every
// column sorts (its heading is a button, so the keyboard reaches it; numbers, sizes and
// dates by their value), a text filter narrows the rows, and "Export CSV" saves the rows
// it shows, in the order shown, as the page shows them. A cell is report text unless the
// column gives an element; a WMI date is shown as a date. Every table of every view is
// made here.
// columns: [{ label, get(row, index), text(row, index), sort(row, index), num, nowrap,
// bytes(row, index), export, tabs }]: get gives the cell, text the cell as plain text when
// get gives an element, sort the key to sort by when it is not the text (bytes for a size,
// milliseconds for a date); num (a number) and nowrap (a version, an id) keep the cell on
// one line; bytes gives a size in bytes, exported in a column of its own beside the
// readable one; export false leaves a column of controls out of the CSV, 'only' shows a
// column in the CSV alone; tabs shows tabs and line feeds as they are (a log's lines).
// options: { pageSize, name (of the exported file, after the report's), file (the whole
// name of the exported file, for a table of more than one report), filter (its label),
// rowClass(row, i),
// rowData(row, i) (the row's data attributes), caption, cls, sorted ({ label, direction }:
// the order to start in), onSort(sorted) (told each new order, so that a view shown again
// keeps it) }.
// The element's showRow(index, query) goes to the page that holds a row, marks the row
// and the query's words in it, and brings them into view; printWhole(on) shows every row.
import { h, showHit, dateView, placeLink } from './dom.js';
import { valueView } from './value.js';
import { sortedOrder, matchingRows } from '../lib/rows.js';
import { csvText } from '../lib/csv.js';
import { wmiDate } from '../lib/dates.js';
import { exportFile } from '../app-state/share.js';
import { counted } from '../lib/format.js';

function plainOf(v) {
  if (v instanceof Node) return v.textContent;
  if (Array.isArray(v)) return v.map((p) => (typeof p === 'object' ? p.report : p)).join('');
  const text = String(v ?? '');
  return wmiDate(text)?.shown ?? text;
}

function cell(v, query, tabs) {
  if (v instanceof Node) return v;
  if (Array.isArray(v)) return h('span', null, v);
  if (typeof v === 'number') return String(v);
  const date = wmiDate(v);
  return date ? dateView(date) : valueView(v, query, tabs);
}

const cellClass = (c) =>
  [c.num ? 'num' : '', c.nowrap ? 'nowrap' : '', c.export === false ? 'controls' : '']
    .join(' ')
    .trim() || null;

export function table(allColumns, rows, options = {}) {
  const columns = allColumns.filter((c) => c.export !== 'only');
  const { pageSize = 100, rowClass = () => null, rowData = () => null } = options;
  let order = null;
  let shown = null;
  let page = 0;
  let sortCol = -1;
  let sortDir = 1;
  let marked = -1;
  let markQuery = null;
  let whole = false;
  const listed = () => shown ?? order;
  const count = () => listed()?.length ?? rows.length;
  const rowAt = (n) => listed()?.[n] ?? n;
  const textOf = (c, i) => (c.text ? String(c.text(rows[i], i) ?? '') : plainOf(c.get(rows[i], i)));
  const body = h('tbody');
  const status = h('span', { class: 'pager-status', 'aria-live': 'polite' });
  const label = options.filter ?? 'Filter rows';
  const input = h('input', {
    type: 'search',
    placeholder: label,
    class: 'filter',
    'aria-label': label,
  });
  const prev = h('button', { type: 'button', on: { click: () => go(page - 1) } }, 'Previous page');
  const next = h('button', { type: 'button', on: { click: () => go(page + 1) } }, 'Next page');
  const save = h(
    'button',
    { type: 'button', class: 'export', on: { click: exportRows } },
    'Export CSV',
  );
  const heads = columns.map((c, i) =>
    h(
      'th',
      { scope: 'col', class: cellClass(c), 'aria-sort': 'none' },
      h('button', { type: 'button', class: 'sort', on: { click: () => sortBy(i) } }, c.label),
    ),
  );
  const pages = () => Math.max(1, Math.ceil(count() / pageSize));

  function renderRow(i) {
    const row = rows[i];
    const query = i === marked ? markQuery : null;
    const classes = [rowClass(row, i), i === marked ? 'hit' : null].filter(Boolean).join(' ');
    const cells = columns.map((c) =>
      h('td', { class: cellClass(c) }, cell(c.get(row, i), query, c.tabs)),
    );
    return h('tr', { class: classes || null, dataset: { row: i, ...rowData(row, i) } }, cells);
  }
  function render() {
    body.textContent = '';
    const frag = document.createDocumentFragment();
    const start = whole ? 0 : page * pageSize;
    const end = whole ? count() : Math.min(count(), start + pageSize);
    for (let n = start; n < end; n++) frag.appendChild(renderRow(rowAt(n)));
    body.appendChild(frag);
    const of =
      count() === rows.length
        ? counted(rows.length, 'row')
        : `${count().toLocaleString('en')} of ${counted(rows.length, 'row')}`;
    const paged = pages() > 1;
    status.textContent = paged ? `${of}, page ${page + 1} of ${pages()}` : of;
    prev.hidden = next.hidden = !paged;
    prev.disabled = page === 0;
    next.disabled = page >= pages() - 1;
  }
  function go(p) {
    page = Math.max(0, Math.min(pages() - 1, p));
    render();
  }
  function applyFilter() {
    shown = matchingRows(
      order ?? rows.map((_, i) => i),
      (i) => columns.map((c) => textOf(c, i)),
      input.value,
    );
    go(0);
  }
  function sortBy(col, direction = col === sortCol ? -sortDir : 1) {
    sortDir = direction;
    sortCol = col;
    options.onSort?.({ label: columns[col].label, direction });
    const c = columns[col];
    order = sortedOrder(
      rows.map((row, i) => (c.sort ? c.sort(row, i) : textOf(c, i))),
      sortDir,
    );
    heads.forEach((th, i) =>
      th.setAttribute('aria-sort', i === col ? (sortDir > 0 ? 'ascending' : 'descending') : 'none'),
    );
    applyFilter();
  }
  // A size is exported twice: as shown, and in bytes in the column after it.
  function exportRows() {
    const saved = allColumns
      .filter((c) => c.export !== false)
      .flatMap((c) =>
        c.bytes
          ? [c, { label: `${c.label} (bytes)`, get: (row, i) => c.bytes(row, i) ?? '' }]
          : [c],
      );
    const records = [saved.map((c) => c.label)];
    for (let n = 0; n < count(); n++) {
      const i = rowAt(n);
      records.push(saved.map((c) => textOf(c, i)));
    }
    exportFile(options.name ?? 'table', records, csvText, options.file);
  }
  input.addEventListener('input', applyFilter);
  const grid = h(
    'table',
    { class: `grid ${options.cls ?? ''}`.trim() },
    options.caption ? h('caption', null, options.caption) : null,
    h('thead', null, h('tr', null, heads)),
    body,
  );
  const tools = h('div', { class: 'pager' }, input, save, prev, next, status);
  const el = h('div', { class: 'table' }, tools, grid);
  el.showRow = (i, query = null) => {
    marked = i;
    markQuery = query;
    input.value = '';
    shown = null;
    const n = order ? order.indexOf(i) : i;
    go(Math.floor(Math.max(0, n) / pageSize));
    showHit(body.querySelector('tr.hit'));
  };
  el.printWhole = (on) => {
    whole = on;
    render();
  };
  const start = columns.findIndex((c) => c.label === options.sorted?.label);
  if (start >= 0) sortBy(start, options.sorted.direction);
  else render();
  return el;
}

// Name and value rows: a WMI instance, the environment, a group's data points; more
// columns (a link) may follow.
export function propertyTable(pairs, options = {}, more = []) {
  const columns = [
    { label: options.nameLabel ?? 'Name', get: ([k]) => k },
    { label: options.valueLabel ?? 'Value', get: ([, v]) => v },
    ...more,
  ];
  return table(columns, pairs, { pageSize: 200, cls: 'props', ...options });
}

// A column of links, one to each row's place: a click goes there and copies the link.
export function linkColumn(placeOf) {
  return {
    label: 'Link',
    get: (row, i) => placeLink(placeOf(row, i)),
    text: () => '',
    export: false,
  };
}
