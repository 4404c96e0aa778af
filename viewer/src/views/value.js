// One value from a report, however long. A long value shows its beginning with a button
// for the rest, or all of it at once when the search hit lies past the cut; a list such
// as PATH can be read one entry a line; a long value can be copied whole.
import { h, rt } from './dom.js';
import { matchRanges } from '../lib/text.js';
import { counted } from '../lib/format.js';
import { copy as copyShared } from '../app-state/share.js';

export const MAX_SHOWN = 1000;
const MIN_ENTRIES = 3;

function entriesOf(text) {
  const parts = text.split(';');
  return parts.filter((p) => p.trim()).length >= MIN_ENTRIES ? parts : null;
}

export function valueView(value, query = null, layout = false) {
  const text = String(value ?? '');
  const entries = entriesOf(text);
  if (text.length <= MAX_SHOWN && !entries) return rt(text, query, layout);
  const box = h('span', { class: 'value' });
  const hitPastCut = matchRanges(text, query).some(([, end]) => end > MAX_SHOWN);
  let mode = text.length > MAX_SHOWN && !hitPastCut ? 'cut' : 'whole';
  const render = () => {
    box.textContent = '';
    if (mode === 'entries') {
      box.append(
        h(
          'ol',
          { class: 'entries' },
          entries.map((e) => h('li', null, rt(e, query))),
        ),
      );
    } else if (mode === 'cut') {
      const more = h(
        'button',
        { type: 'button', class: 'more' },
        `Show all ${counted(text.length, 'character')}`,
      );
      more.addEventListener('click', () => {
        mode = 'whole';
        render();
        box.querySelector('button')?.focus();
      });
      box.append(rt(text.slice(0, MAX_SHOWN), query, layout), '… ', more);
    } else box.append(rt(text, query, layout));
    const tools = h('span', { class: 'value-tools' });
    if (entries) {
      const label = mode === 'entries' ? 'As one line' : 'One entry a line';
      const toggle = h(
        'button',
        { type: 'button', 'aria-pressed': String(mode === 'entries') },
        label,
      );
      toggle.addEventListener('click', () => {
        mode = mode === 'entries' ? 'whole' : 'entries';
        render();
        box.querySelector('.value-tools button')?.focus();
      });
      tools.append(toggle);
    }
    if (text.length > MAX_SHOWN) {
      const copy = h('button', { type: 'button' }, 'Copy');
      copy.addEventListener('click', () => copyShared(text, copy));
      tools.append(copy);
    }
    box.append(tools);
  };
  render();
  return box;
}

// A button that copies a text (a key's or a file's path) with one click.
export function copyButton(label, text) {
  const button = h('button', { type: 'button', class: 'copy' }, label);
  button.addEventListener('click', () => copyShared(text, button));
  return button;
}
