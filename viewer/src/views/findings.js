// The findings of one report, each with a link that opens its evidence. Many findings of
// one rule are one line with their count, which opens to the list. A known issue of a rule
// pack also shows its advice, its article's link (opened only when clicked) and a link to
// each place that made it match; the known issues are a table too.
import { h, rt, section, empty, goLink } from './dom.js';
import { table } from './table.js';
import { placeWords } from '../lib/address.js';

export const COLLAPSE_FROM = 3;

const showLink = (place, text = 'show') => goLink(text, place, undefined, { class: 'evidence' });

// An article's address, checked again where it becomes a link: http and https only.
export const articleLink = (link) =>
  /^https?:\/\/\S+$/i.test(link ?? '')
    ? h(
        'a',
        { href: link, target: '_blank', rel: 'noopener noreferrer', class: 'kb-link' },
        rt(link),
      )
    : null;

function knownDetails(f, model) {
  const { advice, link, evidence } = f.known;
  const places = evidence.map((p) => h('li', null, showLink(p, rt(placeWords(model, p)))));
  return h(
    'div',
    { class: 'known' },
    advice ? h('p', { class: 'advice' }, 'Advice: ', rt(advice)) : null,
    link ? h('p', null, 'Article: ', articleLink(link)) : null,
    places.length ? h('ul', { class: 'evidence-list', 'aria-label': 'Evidence' }, places) : null,
  );
}

function item(f, model) {
  return h(
    'li',
    { dataset: { rule: f.rule, severity: f.severity, known: f.known ? 'yes' : null } },
    h('span', { class: `sev ${f.severity}` }, f.severity),
    f.text,
    ' ',
    showLink(f.place),
    f.known && model ? knownDetails(f, model) : null,
  );
}

// The known issues as a table: sorted, filtered and exported as every table.
function knownTable(found, model) {
  const rows = found.filter((f) => f.known);
  if (!rows.length) return null;
  const words = (f) => f.known.evidence.map((p) => placeWords(model, p)).join('; ');
  const columns = [
    { label: 'Id', get: (f) => f.rule },
    { label: 'Severity', get: (f) => f.severity },
    { label: 'Title', get: (f) => f.known.title },
    { label: 'Advice', get: (f) => f.known.advice },
    {
      label: 'Article',
      get: (f) => articleLink(f.known.link) ?? '',
      text: (f) => f.known.link ?? '',
    },
    { label: 'Evidence', get: words },
    { label: 'Pack', get: (f) => f.known.pack },
    { label: 'Open', get: (f) => showLink(f.place), text: () => '', export: false },
  ];
  return section(
    `Known issues (${rows.length})`,
    table(columns, rows, {
      name: 'known-issues',
      filter: 'Filter known issues',
      cls: 'known-issues',
    }),
  );
}

function group(list, model) {
  const [first, ...rest] = list;
  const li = item(first, model);
  li.classList.add('group');
  li.dataset.count = list.length;
  const inner = h(
    'ul',
    { class: 'findings-list', hidden: true },
    rest.map((f) => item(f, model)),
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

// model, when given, lets a known issue name its places in words.
export function findingsList(findings, model = null) {
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
      list.length >= COLLAPSE_FROM ? group(list, model) : list.map((f) => item(f, model)),
    ),
  );
}

export function renderFindings({ model, findings: found, pending }, place) {
  return h(
    'div',
    { class: 'findings' },
    section('Findings', found ? findingsList(found, model) : empty(pending)),
    found ? knownTable(found, model) : null,
  );
}
