// Two reports side by side: a summary of differences per section, then each section's
// added, removed and changed items, each linked to its place in both reports.
import { h, section, empty, pagedTable } from './dom.js';
import { differenceCount } from './compare.js';

function reportChoice(label, reports, selected, onChange) {
  const select = h('select', { 'aria-label': label, on: { change: () => onChange(Number(select.value)) } },
    reports.map((r, i) => h('option', { value: String(i), selected: i === selected ? 'selected' : null }, r.model.fileName)));
  return h('label', null, `${label} `, select);
}

function placeLink(text, reportIndex, place, ctx) {
  if (!place) return '';
  return h('a', { href: '#', on: { click: (e) => { e.preventDefault(); ctx.openIn(reportIndex, place); } } }, text);
}

export function renderCompare(model, place, ctx) {
  const cmp = ctx.comparison();
  if (!cmp) return empty('Open two reports to compare them.');
  const { a, b, sections, showSame } = cmp;
  const choose = h('div', { class: 'compare-choice' },
    reportChoice('Before', ctx.reports, a, (i) => ctx.setCompare({ a: i })),
    reportChoice('After', ctx.reports, b, (i) => ctx.setCompare({ b: i })),
    h('label', null, h('input', { type: 'checkbox', class: 'show-same', checked: showSame ? 'checked' : null, on: { change: (e) => ctx.setCompare({ showSame: e.target.checked }) } }), ' Show unchanged items'));
  const summary = h('table', { class: 'grid diff-summary' },
    h('thead', null, h('tr', null, ['Section', 'Added', 'Removed', 'Changed', 'Unchanged'].map((t) => h('th', null, t)))),
    h('tbody', null, sections.map((s) => h('tr', { dataset: { section: s.id } }, h('td', null, h('a', { href: `#diff-${s.id}`, on: { click: (e) => { e.preventDefault(); document.getElementById(`diff-${s.id}`)?.scrollIntoView(); } } }, s.label)),
      h('td', { class: 'num' }, s.counts.added), h('td', { class: 'num' }, s.counts.removed), h('td', { class: 'num' }, s.counts.changed), h('td', { class: 'num' }, s.counts.same)))));
  const details = sections.map((s) => {
    const rows = s.items.filter((i) => showSame || i.status !== 'same');
    const body = rows.length ? pagedTable([
      { label: 'Status', get: (i) => i.status },
      { label: 'Item', get: (i) => i.key },
      { label: 'Before', get: (i) => i.before ?? '' },
      { label: 'After', get: (i) => i.after ?? '' },
      { label: 'Open', get: (i) => h('span', null, placeLink('before', a, i.placeA, ctx), ' ', placeLink('after', b, i.placeB, ctx)) },
    ], rows, { pageSize: 50, filterLabel: `Filter ${s.label.toLowerCase()}`, rowClass: (i) => `diff-${i.status}` }) : empty(differenceCount(s) ? '' : 'No differences.');
    return h('div', { id: `diff-${s.id}`, class: 'diff-section', dataset: { section: s.id } }, section(`${s.label}: ${differenceCount(s)} differences`, body));
  });
  return h('div', { class: 'compare' }, section(`Compare ${ctx.reports[a].model.fileName} with ${ctx.reports[b].model.fileName}`, choose, summary), details);
}
