// The two trees: registry keys and the files listing. Folders and keys are built only
// when opened, so a listing of 100,000 files costs nothing until it is browsed.
import { h, section, empty, lazyNode, flash } from './dom.js';
import { CUT_BANNER } from './model.js';

function keyNode(key, path, place, open) {
  const wanted = Array.isArray(place?.path) && path.length <= place.path.length && path.every((p, i) => place.path[i] === p);
  return lazyNode(h('span', { class: 'key' }, key.name), (details) => {
    if (key.values.length) {
      details.appendChild(h('table', { class: 'props' }, h('tbody', null, key.values.map((v) => h('tr', { class: wanted && path.length === place.path.length && place.value === v.name ? 'hit' : null },
        h('th', null, v.name), h('td', { class: 'type' }, v.type || '(other type)'), h('td', null, v.value ?? ''))))));
    }
    for (const k of key.keys) details.appendChild(keyNode(k, path.concat(k.name), place, open));
  }, { open: wanted || open });
}

export function renderRegistry(model, place) {
  if (!model.registry) return empty('The report has no registry section.');
  if (!model.registry.keys.length) return empty('The registry section is empty: none of the keys exists on that machine.');
  const el = section('Registry', model.registry.keys.map((k) => keyNode(k, [k.name], place, false)));
  requestAnimationFrame(() => flash(el.querySelector('tr.hit') ?? el.querySelector('details[open]:not(:has(details[open])) > summary')));
  return el;
}

// One embedded file: line numbers beside the text, the cut banner marked.
export function contentPane(file, line) {
  const lines = file.content.split('\n');
  // A final line feed ends the last line; it does not start another.
  if (lines.length > 1 && lines[lines.length - 1] === '') lines.pop();
  const gutter = h('pre', { class: 'gutter' }, lines.map((_, i) => i + 1).join('\n'));
  const text = h('pre', { class: 'text' });
  const banner = lines.findIndex((l) => l.includes(CUT_BANNER));
  // Plain text nodes only; the hit and the banner get their own element for marking.
  const marks = [banner, line != null ? line - 1 : -1].filter((n) => n >= 0).sort((a, b) => a - b);
  let from = 0;
  for (const m of [...new Set(marks)]) {
    if (m > from) text.appendChild(document.createTextNode(`${lines.slice(from, m).join('\n')}\n`));
    text.appendChild(h('span', { class: m === banner ? 'banner line' : 'hit line', dataset: { line: m + 1 } }, `${lines[m]}\n`));
    from = m + 1;
  }
  if (from < lines.length) text.appendChild(document.createTextNode(lines.slice(from).join('\n')));
  const pane = h('div', { class: 'content' }, file.cut ? h('p', { class: 'cut' }, 'This file was cut: only its head and its tail are in the report (see the banner).') : null, h('div', { class: 'code' }, gutter, text));
  if (line != null) requestAnimationFrame(() => flash(text.querySelector('span.hit')));
  return pane;
}

function fileRow(file, showContent) {
  return h('tr', { dataset: { file: file.name } },
    h('td', null, file.content != null ? h('a', { href: '#', on: { click: (e) => { e.preventDefault(); showContent(file, null); } } }, file.name) : file.name),
    h('td', { class: 'num' }, file.bytes ?? ''), h('td', null, file.size), h('td', null, file.date), h('td', null, file.version ?? ''),
    h('td', null, file.cut ? 'cut' : ''));
}

function folderNode(dir, place, showContent) {
  const wanted = Array.isArray(place?.path) && dir.path.length <= place.path.length && dir.path.every((p, i) => place.path[i] === p);
  return lazyNode(h('span', { class: 'folder' }, `${dir.name}  `, h('small', null, `${dir.dirs.length} folders, ${dir.files.length} files`)), (details) => {
    for (const d of dir.dirs) details.appendChild(folderNode(d, place, showContent));
    if (dir.files.length) {
      // Very large folders show their files a page at a time.
      const limit = 500;
      const body = h('tbody');
      const more = h('button', { type: 'button' }, 'Show more files');
      let shown = 0;
      const showMore = (upTo) => {
        const end = Math.min(dir.files.length, Math.max(shown + limit, upTo));
        for (; shown < end; shown++) body.appendChild(fileRow(dir.files[shown], showContent));
        more.hidden = shown >= dir.files.length;
        more.textContent = `Show more files (${dir.files.length - shown} left)`;
      };
      more.addEventListener('click', () => showMore(0));
      const at = wanted && place.file != null && dir.path.length === place.path.length ? dir.files.findIndex((f) => f.name === place.file) : -1;
      details.appendChild(h('table', { class: 'grid files' }, h('thead', null, h('tr', null, ['Name', 'Bytes', 'Size', 'Modified (UTC)', 'Version', ''].map((t) => h('th', null, t)))), body));
      details.appendChild(more);
      showMore(at + 1);
      if (at >= 0) {
        const row = body.children[at];
        row.classList.add('hit');
        if (dir.files[at].content != null) showContent(dir.files[at], place.line);
        else requestAnimationFrame(() => flash(row));
      }
    }
  }, { open: wanted });
}

export function renderFiles(model, place) {
  if (!model.filesystem) return empty('The report has no files section.');
  const pane = h('div', { class: 'file-pane' });
  const showContent = (file, line) => {
    pane.textContent = '';
    pane.appendChild(h('h3', null, file.name));
    pane.appendChild(contentPane(file, line));
    if (line == null) requestAnimationFrame(() => pane.scrollIntoView({ block: 'start' }));
  };
  const tree = model.filesystem.dirs.length ? model.filesystem.dirs.map((d) => folderNode(d, place, showContent)) : empty('The files section is empty.');
  return section('Files', h('div', { class: 'files-layout' }, h('div', { class: 'tree' }, tree), pane));
}
