// The rule packs loaded: each with its version, its rule count and where it came from, a
// button that removes it, and the switch that remembers the opened packs in this browser.
import { h, rt } from './dom.js';
import { counted } from '../lib/format.js';

export function packsPanel(list, remember, { remove, setRemember }) {
  const items = list.map(({ pack, origin }, i) =>
    h(
      'li',
      { dataset: { pack: pack.name } },
      rt(pack.name),
      pack.version ? [' ', rt(pack.version)] : null,
      `: ${counted(pack.rules.length, 'rule')}, ${origin} `,
      h(
        'button',
        {
          type: 'button',
          class: 'remove-pack',
          'aria-label': `Remove the pack ${pack.name}`,
          on: { click: () => remove(i) },
        },
        'Remove',
      ),
    ),
  );
  const box = h('input', { type: 'checkbox', class: 'remember-packs', checked: remember });
  box.addEventListener('change', () => setRemember(box.checked));
  const rules = list.reduce((n, p) => n + p.pack.rules.length, 0);
  return h(
    'details',
    { class: 'packs' },
    h('summary', null, `Rule packs (${list.length}, ${counted(rules, 'rule')})`),
    items.length
      ? h('ul', null, items)
      : h('p', null, 'No rule pack is loaded: open one, or drop it beside the reports.'),
    h('label', { title: 'Kept in this browser only' }, box, ' Remember packs in this browser'),
  );
}
