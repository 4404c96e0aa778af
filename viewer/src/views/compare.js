// Two reports side by side: a summary of differences per section, then each section's
// added, removed and changed items, each linked to its place in both reports. Values
// that change on every run are listed apart, closed until asked for.
import { h, section, empty, actionLink, goLink } from './dom.js';
import { table } from './table.js';
import { differenceCount } from '../lib/compare.js';
import { findingChanges } from '../lib/findings.js';
import { counted } from '../lib/format.js';
import { msg, r } from '../lib/text.js';

function reportChoice(label, labels, selected, onChange) {
  const options = labels.map((text, i) =>
    h('option', { value: String(i), selected: i === selected }, text),
  );
  const select = h('select', { 'aria-label': label }, options);
  select.addEventListener('change', () => onChange(Number(select.value)));
  return h('label', null, `${label} `, select);
}

// A comparison's CSV files are named after the pair, and name it on every row.
function pairExport(cmp, input, table) {
  const stem = (i) => input.fileNames[i].replace(/\.[^.]*$/, '');
  const named = (label, i) => ({ label, get: () => input.labels[i], export: 'only' });
  return {
    file: `${stem(cmp.a)}-${stem(cmp.b)}-${table}`,
    columns: [named('Before report', cmp.a), named('After report', cmp.b)],
  };
}

function itemTable(rows, s, input) {
  const cmp = input.pair;
  const link = (text, report, place) => (place ? goLink(text, place, report) : '');
  const columns = [
    { label: 'Status', get: (i) => i.status },
    { label: 'Item', get: (i) => i.key },
    { label: 'Before', get: (i) => i.before ?? '' },
    { label: 'After', get: (i) => i.after ?? '' },
    {
      label: 'Open',
      get: (i) =>
        h('span', null, link('before', cmp.a, i.placeA), ' ', link('after', cmp.b, i.placeB)),
      text: () => '',
      export: false,
    },
  ];
  const filter = `Filter ${s.label.toLowerCase()}`;
  const rowClass = (i) => `diff-${i.status}`;
  const { file, columns: pair } = pairExport(cmp, input, `compare-${s.id}`);
  return table([...columns, ...pair], rows, { pageSize: 50, filter, rowClass, file });
}

function sectionDetails(s, input) {
  const cmp = input.pair;
  const rows = s.items.filter((i) => !i.volatile && (cmp.showSame || i.status !== 'same'));
  const volatile = s.items.filter((i) => i.volatile);
  const body = rows.length
    ? itemTable(rows, s, input)
    : empty(differenceCount(s) ? '' : 'No differences.');
  let quiet = null;
  if (volatile.length) {
    const summary = h(
      'summary',
      null,
      `${counted(volatile.length, 'value')} that change on every run (free memory, clock and boot times)`,
    );
    quiet = h('details', { class: 'volatile' }, summary);
    quiet.addEventListener(
      'toggle',
      () =>
        quiet.open && quiet.children.length === 1 && quiet.append(itemTable(volatile, s, input)),
    );
  }
  const title = `${s.label}: ${counted(differenceCount(s), 'difference')}`;
  return h(
    'div',
    { id: `diff-${s.id}`, class: 'diff-section', dataset: { section: s.id } },
    section(title, body, quiet),
  );
}

// Known issues of the rule packs that After has and Before had not, and those resolved,
// each linked to its evidence in its report.
function knownChanges({ pair: cmp, pairFindings }) {
  const [before, after] = pairFindings.map((found) => found.filter((f) => f.known));
  const { added, resolved } = findingChanges(before, after);
  const rows = [
    ...added.map((f) => ({ f, status: 'new in After', report: cmp.b })),
    ...resolved.map((f) => ({ f, status: 'resolved', report: cmp.a })),
  ];
  if (!before.length && !after.length) return null;
  const columns = [
    { label: 'Status', get: (x) => x.status },
    { label: 'Id', get: (x) => x.f.rule },
    { label: 'Severity', get: (x) => x.f.severity },
    { label: 'Title', get: (x) => x.f.known.title },
    { label: 'Article', get: (x) => x.f.known.link ?? '' },
    {
      label: 'Open',
      get: (x) => goLink('show', x.f.place, x.report),
      text: () => '',
      export: false,
    },
  ];
  const title = `Known issues: ${added.length} new in After, ${resolved.length} resolved`;
  const body = rows.length
    ? table(columns, rows, {
        name: 'compare-known-issues',
        filter: 'Filter known issues',
        rowClass: (x) => (x.status === 'resolved' ? 'diff-removed' : 'diff-added'),
      })
    : empty('The same known issues in both.');
  return h('div', { class: 'diff-section', dataset: { section: 'known' } }, section(title, body));
}

export function renderCompare(input, place, actions) {
  const cmp = input.pair;
  if (!cmp) return empty('Open two reports to compare them.');
  if (cmp.pending) return empty(cmp.pending);
  const { a, b, sections } = cmp;
  const choose = h(
    'div',
    { class: 'compare-choice' },
    reportChoice('Before', input.labels, a, (i) => actions.chooseCompare({ a: i })),
    reportChoice('After', input.labels, b, (i) => actions.chooseCompare({ b: i })),
    h(
      'label',
      null,
      h('input', {
        type: 'checkbox',
        class: 'show-same',
        checked: cmp.showSame,
        on: { change: (e) => actions.chooseCompare({ showSame: e.target.checked }) },
      }),
      ' Show unchanged items',
    ),
  );
  const jump = (s) =>
    actionLink(s.label, () => document.getElementById(`diff-${s.id}`)?.scrollIntoView());
  const columns = [
    { label: 'Section', get: jump, text: (s) => s.label },
    ...['added', 'removed', 'changed', 'volatile', 'same'].map((k, i) => ({
      label: ['Added', 'Removed', 'Changed', 'Change every run', 'Unchanged'][i],
      num: true,
      get: (s) => s.counts[k],
    })),
  ];
  const { file, columns: pair } = pairExport(cmp, input, 'compare');
  const summary = table([...columns, ...pair], sections, {
    cls: 'diff-summary',
    file,
    rowData: (s) => ({ section: s.id }),
  });
  const title = msg`Compare ${r(input.labels[a])} with ${r(input.labels[b])}`;
  return h(
    'div',
    { class: 'compare' },
    section(title, choose, summary),
    knownChanges(input),
    sections.map((s) => sectionDetails(s, input)),
  );
}
