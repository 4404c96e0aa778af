// The findings of one report, each with a link that opens its evidence. Many findings of
// one rule are one line with their count, which opens to the list.
import { h, section, empty, actionLink } from './dom.js';

export const COLLAPSE_FROM = 3;

function item(f, ctx) {
  const props = { class: 'evidence', address: () => ctx.hrefOf(f.place) };
  const show = actionLink('show', () => ctx.open(f.place), props);
  return h(
    'li',
    { dataset: { rule: f.rule, severity: f.severity } },
    h('span', { class: `sev ${f.severity}` }, f.severity),
    f.text,
    ' ',
    show,
  );
}

function group(list, ctx) {
  const [first, ...rest] = list;
  const li = item(first, ctx);
  li.classList.add('group');
  li.dataset.count = list.length;
  const inner = h(
    'ul',
    { class: 'findings-list', hidden: true },
    rest.map((f) => item(f, ctx)),
  );
  const label = `${rest.length} more like this`;
  const toggle = h('button', { type: 'button', class: 'expand', 'aria-expanded': 'false' }, label);
  toggle.addEventListener('click', () => {
    const opening = inner.hidden;
    inner.hidden = !opening;
    toggle.setAttribute('aria-expanded', String(opening));
  });
  li.append(' ', toggle, inner);
  return li;
}

export function findingsList(findings, ctx) {
  if (!findings.length) return empty('Nothing stands out in this report.');
  const byRule = new Map();
  for (const f of findings) {
    const k = `${f.rule} ${f.severity}`;
    if (!byRule.has(k)) byRule.set(k, []);
    byRule.get(k).push(f);
  }
  return h(
    'ul',
    { class: 'findings-list' },
    [...byRule.values()].map((list) =>
      list.length >= COLLAPSE_FROM ? group(list, ctx) : list.map((f) => item(f, ctx)),
    ),
  );
}

export function renderFindings(model, place, ctx) {
  const found = ctx.findings();
  return h(
    'div',
    { class: 'findings' },
    section('Findings', found ? findingsList(found, ctx) : empty(ctx.pendingText())),
  );
}
