// DOM building for every view. Report text only ever becomes text nodes or attribute
// values set through the DOM; nothing here parses markup.

// Long values (a hostile report may hold megabytes in one attribute) are shown cut.
export const MAX_SHOWN = 1000;

export function clip(text, max = MAX_SHOWN) {
  const s = text == null ? '' : String(text);
  return s.length > max ? `${s.slice(0, max)}… (${s.length - max} more characters)` : s;
}

export function h(tag, props, ...children) {
  const el = document.createElement(tag);
  for (const [k, v] of Object.entries(props ?? {})) {
    if (v == null || v === false) continue;
    if (k === 'class') el.className = v;
    else if (k === 'on') for (const [ev, fn] of Object.entries(v)) el.addEventListener(ev, fn);
    else if (k === 'dataset') Object.assign(el.dataset, v);
    else if (k === 'style') Object.assign(el.style, v);
    else el.setAttribute(k, v);
  }
  append(el, children);
  return el;
}

function append(el, children) {
  for (const c of children) {
    if (c == null || c === false) continue;
    if (Array.isArray(c)) append(el, c);
    else if (c instanceof Node) el.appendChild(c);
    else el.appendChild(document.createTextNode(clip(c)));
  }
}

export function section(title, ...children) {
  return h('section', { class: 'block' }, h('h2', null, title), ...children);
}

export function empty(text) {
  return h('p', { class: 'empty' }, text);
}

export function bytesText(n) {
  if (n == null) return '';
  const units = ['B', 'KB', 'MB', 'GB', 'TB'];
  let v = n;
  let u = 0;
  while (v >= 1024 * 0.8 && u < units.length - 1) v /= 1024, u++;
  return `${u ? v.toFixed(1) : v} ${units[u]}`;
}

// A bar of used against free; share is the used part, 0 to 1.
export function bar(share, caption) {
  const pct = Math.max(0, Math.min(100, share * 100));
  return h('div', { class: 'bar', title: caption }, h('div', { class: pct > 90 ? 'fill high' : 'fill', style: { width: `${pct.toFixed(1)}%` } }), h('span', null, caption));
}

export function propertyTable(pairs, highlight) {
  return h('table', { class: 'props' }, h('tbody', null, pairs.map(([k, v]) => h('tr', { class: k === highlight ? 'hit' : null, dataset: { key: k } }, h('th', null, k), h('td', null, v)))));
}

// Cells may hold elements (links); filtering and sorting look at text only.
function cellText(v) {
  return v instanceof Object ? '' : String(v ?? '');
}

function compareValues(a, b) {
  const na = Number(a);
  const nb = Number(b);
  if (a !== '' && b !== '' && !Number.isNaN(na) && !Number.isNaN(nb)) return na - nb;
  return String(a).localeCompare(String(b));
}

// A sortable, filterable table that renders one page of rows at a time, so that a
// million rows cost no more DOM than a hundred. columns: [{ label, get(row) }].
// Returns the element; element.showRow(i) pages to row i and marks it.
export function pagedTable(columns, rows, { pageSize = 100, filterLabel = 'Filter', rowClass = () => null } = {}) {
  let order = rows.map((_, i) => i);
  let shown = order;
  let page = 0;
  let sortCol = -1;
  let sortDir = 1;
  let marked = -1;
  const body = h('tbody');
  const status = h('span', { class: 'pager-status' });
  const filter = h('input', { type: 'search', placeholder: filterLabel, class: 'filter', 'aria-label': filterLabel });
  const prev = h('button', { type: 'button', on: { click: () => go(page - 1) } }, 'Previous');
  const next = h('button', { type: 'button', on: { click: () => go(page + 1) } }, 'Next');
  const head = h('tr', null, columns.map((c, i) => h('th', { class: 'sortable', title: 'Sort', on: { click: () => sortBy(i) } }, c.label)));
  const pages = () => Math.max(1, Math.ceil(shown.length / pageSize));
  function render() {
    body.textContent = '';
    const frag = document.createDocumentFragment();
    for (const i of shown.slice(page * pageSize, (page + 1) * pageSize)) {
      frag.appendChild(h('tr', { class: [rowClass(rows[i]), i === marked ? 'hit' : null].filter(Boolean).join(' ') || null, dataset: { row: i } }, columns.map((c) => h('td', null, c.get(rows[i])))));
    }
    body.appendChild(frag);
    status.textContent = `${shown.length} of ${rows.length} rows, page ${page + 1} of ${pages()}`;
    prev.disabled = page === 0;
    next.disabled = page >= pages() - 1;
  }
  function go(p) {
    page = Math.max(0, Math.min(pages() - 1, p));
    render();
  }
  function applyFilter() {
    const q = filter.value.trim().toLowerCase();
    shown = q ? order.filter((i) => columns.some((c) => cellText(c.get(rows[i])).toLowerCase().includes(q))) : order;
    go(0);
  }
  function sortBy(col) {
    sortDir = col === sortCol ? -sortDir : 1;
    sortCol = col;
    const get = columns[col].get;
    order = rows.map((_, i) => i).sort((a, b) => sortDir * compareValues(cellText(get(rows[a])), cellText(get(rows[b]))) || a - b);
    head.querySelectorAll('th').forEach((th, i) => th.setAttribute('aria-sort', i === col ? (sortDir > 0 ? 'ascending' : 'descending') : 'none'));
    applyFilter();
  }
  filter.addEventListener('input', applyFilter);
  const el = h('div', { class: 'paged' }, h('div', { class: 'pager' }, filter, prev, next, status), h('table', { class: 'grid' }, h('thead', null, head), body));
  el.showRow = (i) => {
    marked = i;
    filter.value = '';
    shown = order;
    const at = shown.indexOf(i);
    go(Math.floor(Math.max(0, at) / pageSize));
    body.querySelector('tr.hit')?.scrollIntoView({ block: 'center' });
  };
  render();
  return el;
}

// A collapsible tree node whose children are built only when it is first opened.
export function lazyNode(label, fill, { open = false, extraClass = '' } = {}) {
  const summary = h('summary', null, label);
  const details = h('details', { class: `node ${extraClass}` }, summary);
  let filled = false;
  details.ensure = () => {
    if (!filled) {
      filled = true;
      fill(details);
    }
  };
  details.addEventListener('toggle', () => details.open && details.ensure());
  if (open) {
    details.ensure();
    details.open = true;
  }
  return details;
}

export function flash(el) {
  if (!el) return;
  el.classList.add('hit');
  el.scrollIntoView({ block: 'center' });
}
