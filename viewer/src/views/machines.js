// Every open report as one row: the machine, its Windows, memory, the free space of its
// system drive, the maker's products, its findings by severity and when it was written.
// A chosen product shows which machine has which version, a chosen finding which machines
// have it: the value most machines share is plain, the others are marked, and a line
// counts each. Any two rows can be picked and sent to Compare.
import { h, rt, section, goLink, dateView } from './dom.js';
import { table } from './table.js';
import { versionsOf, productNames, spread } from '../lib/machines.js';
import { bytesText, counted } from '../lib/format.js';
import { msg, r } from '../lib/text.js';

const ruleTitle = (rule) =>
  rule.replace(/[A-Z]/g, (c) => ` ${c.toLowerCase()}`).replace(/^./, (c) => c.toUpperCase());

function chooser(label, options, chosen, onChange) {
  const select = h(
    'select',
    { 'aria-label': label },
    h('option', { value: '' }, '(none)'),
    options.map(([value, text]) => h('option', { value, selected: value === chosen }, text)),
  );
  select.addEventListener('change', () => onChange(select.value));
  return h('label', null, `${label} `, select);
}

// A column of one value per machine, those that differ from the most common one marked.
function spreadColumn(label, valueOf, rows, describe) {
  const counts = spread(rows.map(valueOf));
  const common = counts[0]?.[0];
  const column = {
    label,
    get: (m) => {
      const v = valueOf(m);
      return h('span', { class: v === common ? null : 'differs' }, rt(describe(v)));
    },
    text: (m) => describe(valueOf(m)),
    sort: valueOf,
  };
  const parts = counts.flatMap(([v, n], i) => [
    i ? '; ' : '',
    r(describe(v)),
    ` on ${counted(n, 'machine')}`,
  ]);
  return { column, summary: h('p', { class: 'spread' }, msg`${r(label)}: `, parts) };
}

export function renderMachines({ rows, choice }, place, actions) {
  const { product, rule } = choice;
  let picked = choice.picked;
  const compare = h(
    'button',
    { type: 'button', class: 'compare-picked', on: { click: actions.comparePicked } },
    'Compare the two picked',
  );
  const count = h('span', { class: 'picked', 'aria-live': 'polite' });
  const showPicked = () => {
    compare.disabled = picked.length !== 2;
    count.textContent = `${picked.length} of 2 picked`;
  };
  const pick = (m) => {
    const box = h('input', {
      type: 'checkbox',
      checked: picked.includes(m.i),
      'aria-label': `Pick ${m.label} for Compare`,
    });
    box.addEventListener('change', () => {
      picked = actions.pickMachine(m.i, box.checked);
      for (const other of t.querySelectorAll('tbody input[type=checkbox]'))
        other.checked = picked.includes(Number(other.closest('tr').dataset.row));
      showPicked();
    });
    return box;
  };
  const f = (m) => m.facts;
  const columns = [
    {
      label: 'Pick',
      get: pick,
      text: (m) => (picked.includes(m.i) ? 'picked' : ''),
      export: false,
    },
    {
      label: 'Report',
      get: (m) => goLink(rt(m.label), { view: 'overview' }, m.i),
      text: (m) => m.label,
    },
    { label: 'Computer', get: (m) => f(m).computer },
    { label: 'Windows', get: (m) => f(m).windows },
    { label: 'Version', nowrap: true, get: (m) => f(m).version },
    { label: 'Build', num: true, get: (m) => f(m).build },
    {
      label: 'Memory',
      num: true,
      get: (m) => bytesText(f(m).memory),
      sort: (m) => f(m).memory,
      bytes: (m) => f(m).memory,
    },
    {
      label: 'System drive free',
      num: true,
      get: (m) => (f(m).drive ? `${bytesText(f(m).free)} on ${f(m).drive}` : ''),
      sort: (m) => f(m).free,
      bytes: (m) => f(m).free,
    },
    {
      label: 'Products',
      get: (m) =>
        f(m)
          .products.map((p) => `${p.name} ${p.version}`.trim())
          .join('; '),
    },
    ...['problem', 'warning', 'note'].map((severity) => ({
      label: `${severity[0].toUpperCase()}${severity.slice(1)}s`,
      num: true,
      get: (m) => f(m).counts[severity],
    })),
    { label: 'Known issues', num: true, get: (m) => f(m).known.count },
    {
      label: 'Written',
      get: (m) => (f(m).written ? dateView(f(m).written) : ''),
      text: (m) => f(m).written?.shown ?? '',
      sort: (m) => f(m).written?.ms,
    },
  ];
  const summaries = [];
  if (product) {
    const versions = spreadColumn(
      `Version of ${product}`,
      (m) => versionsOf(f(m), product),
      rows,
      (v) => v || 'not installed',
    );
    columns.push(versions.column);
    summaries.push(versions.summary);
  }
  // A known issue goes by its id and title, a built-in finding by its rule's name.
  const titles = new Map(rows.flatMap((m) => [...f(m).known.titles]));
  const titleOf = (x) => titles.get(x) ?? ruleTitle(x);
  if (rule) {
    const has = spreadColumn(
      titleOf(rule),
      (m) => f(m).rules.get(rule) ?? 0,
      rows,
      (n) => (n ? counted(n, 'finding') : 'none'),
    );
    columns.push(has.column);
    summaries.push(has.summary);
  }
  const products = productNames(rows.map(f)).map((name) => [name, name]);
  const rules = [...new Set(rows.flatMap((m) => [...f(m).rules.keys()]))].map((x) => [
    x,
    titleOf(x),
  ]);
  const choices = h(
    'div',
    { class: 'compare-choice' },
    chooser('Product', products, product, (v) => actions.chooseSpread({ product: v })),
    chooser('Finding', rules, rule, (v) => actions.chooseSpread({ rule: v })),
    compare,
    count,
  );
  showPicked();
  const t = table(columns, rows, {
    name: 'machines',
    filter: 'Filter machines',
    cls: 'machines',
    sorted: choice.sorted,
    onSort: actions.sortMachines,
  });
  return section(`Machines (${rows.length})`, choices, summaries, t);
}
