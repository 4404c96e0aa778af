// The two trees: registry keys and the files listing. Keys and folders are built only
// when opened, so a listing of 100,000 files costs nothing until it is browsed, and a
// folder's files are a paged table, so a hit on its last file shows at once. A place
// names a key or folder by its position ([2, 0, 5]), as names repeat.
import { h, rt, section, empty, lazyNode, showHit, dateView, placeLink } from './dom.js';
import { table, linkColumn } from './table.js';
import { copyButton } from './value.js';
import { counted } from '../lib/format.js';
import { fileDate } from '../lib/dates.js';
import { pathText, unreadNote } from '../lib/model.js';
import { logPane } from './log.js';

function onPath(node, place, atKey) {
  const at = place[atKey];
  return Array.isArray(at) && node.at.length <= at.length && node.at.every((p, i) => at[i] === p);
}

// A key's or folder's path, to copy, and its link.
function nodeTools(node, place) {
  const path = pathText(node);
  return h(
    'div',
    { class: 'node-tools' },
    copyButton('Copy path', path),
    ' ',
    placeLink(place, 'Copy link', 'Copy a link to this place'),
  );
}

// The node of a tree that the place names, labelled with its name and what it holds;
// marks its summary when the hit is the node. A node that was not read says why in its
// label and when opened, set apart from an empty one: the first means its content is
// unknown, the second that there is none.
function treeNode(node, place, { atKey, cls, counts, fill }) {
  const wanted = onPath(node, place, atKey);
  const target = wanted && node.at.length === place[atKey].length;
  const query = target ? place.query : null;
  const note = unreadNote(node);
  const small = note
    ? h('small', { class: 'unread' }, rt(note, query))
    : h('small', null, counts ?? 'empty');
  const label = h('span', { class: cls }, rt(node.name, query), ' ', small);
  const details = lazyNode(
    label,
    (d) => {
      fill(d, target);
      if (note) d.appendChild(h('p', { class: 'empty unread' }, note));
      else if (counts == null) d.appendChild(empty('Empty: it holds nothing.'));
    },
    { open: wanted },
  );
  details.dataset.at = node.at.join('.');
  if (target && place.value == null && place.file == null)
    showHit(details.querySelector('summary'));
  return details;
}

function keyNode(key, place) {
  return treeNode(key, place, {
    atKey: 'key',
    cls: 'key',
    counts:
      key.keys.length || key.values.length || key.cutDeeper
        ? `${counted(key.keys.length, 'key')}, ${counted(key.values.length, 'value')}`
        : null,
    fill: (details, target) => {
      details.appendChild(nodeTools(key, { view: 'registry', key: key.at, value: null }));
      if (key.values.length) {
        const columns = [
          { label: 'Name', get: (v) => v.name },
          { label: 'Type', get: (v) => v.type || '(other type)' },
          { label: 'Value', get: (v) => v.value ?? '' },
          linkColumn((_, value) => ({ view: 'registry', key: key.at, value })),
        ];
        const name = `values-${pathText(key)}`;
        const t = table(columns, key.values, { pageSize: 200, cls: 'values', name });
        details.appendChild(t);
        if (target && place.value != null)
          requestAnimationFrame(() => t.showRow(place.value, place.query));
      }
      for (const k of key.keys) details.appendChild(keyNode(k, place));
      if (key.cutDeeper)
        details.appendChild(empty('Deeper keys are not shown: the viewer reads 200 levels.'));
    },
  });
}

export function renderRegistry({ model }, place) {
  if (!model.registry) return empty('The report has no registry section.');
  if (!model.registry.keys.length)
    return empty('The registry section is empty: none of the keys exists on that machine.');
  return section(
    'Registry',
    h(
      'div',
      { class: 'tree' },
      model.registry.keys.map((k) => keyNode(k, place)),
    ),
  );
}

const fileColumns = (dir, showContent) => [
  {
    label: 'Name',
    get: (f, i) =>
      f.content != null
        ? h(
            'button',
            { type: 'button', class: 'link', on: { click: () => showContent(dir, i, null) } },
            rt(f.name),
          )
        : f.name,
    text: (f) => f.name,
  },
  { label: 'Bytes', num: true, get: (f) => f.bytes ?? '' },
  { label: 'Size', get: (f) => f.size, sort: (f) => f.bytes },
  {
    label: 'Modified',
    get: (f) => {
      const date = fileDate(f.date);
      return date ? dateView(date) : f.date;
    },
    text: (f) => fileDate(f.date)?.shown ?? f.date,
    sort: (f) => fileDate(f.date)?.ms ?? f.date,
  },
  { label: 'Version', nowrap: true, get: (f) => f.version ?? '' },
  { label: 'Cut', get: (f) => (f.cut ? 'cut' : '') },
  {
    label: 'Link',
    get: (f, file) =>
      h(
        'span',
        null,
        copyButton('Copy path', `${pathText(dir)}\\${f.name}`),
        ' ',
        placeLink({ view: 'files', at: dir.at, file, line: null }),
      ),
    text: () => '',
    export: false,
  },
];

// The subfolders of a folder that the program did not go into, with why: the table a
// support engineer exports to ask for them.
const NOT_LISTED_COLUMNS = [
  { label: 'Folder', get: (d) => d.name },
  { label: 'Not listed', get: (d) => unreadNote(d) },
  linkColumn((d) => ({ view: 'files', at: d.at, file: null, line: null })),
];

function folderNode(dir, place, showContent) {
  return treeNode(dir, place, {
    atKey: 'at',
    cls: 'folder',
    counts:
      dir.dirs.length || dir.files.length || dir.cutDeeper
        ? `${counted(dir.dirs.length, 'folder')}, ${counted(dir.files.length, 'file')}`
        : null,
    fill: (details, target) => {
      details.appendChild(nodeTools(dir, { view: 'files', at: dir.at, file: null, line: null }));
      for (const d of dir.dirs) details.appendChild(folderNode(d, place, showContent));
      const notListed = dir.dirs.filter((d) => unreadNote(d));
      if (notListed.length) {
        const name = `not-listed-${pathText(dir)}`;
        const caption = 'Folders not listed';
        details.appendChild(
          table(NOT_LISTED_COLUMNS, notListed, { cls: 'not-listed', name, caption }),
        );
      }
      if (dir.cutDeeper)
        details.appendChild(empty('Deeper folders are not shown: the viewer reads 200 levels.'));
      if (!dir.files.length) return;
      const t = table(fileColumns(dir, showContent), dir.files, {
        filter: 'Filter files',
        cls: 'files',
        name: `files-${pathText(dir)}`,
      });
      details.appendChild(t);
      if (!target || place.file == null) return;
      const file = dir.files[place.file];
      requestAnimationFrame(() => t.showRow(place.file, place.line == null ? place.query : null));
      if (file?.content != null) showContent(dir, place.file, place.line);
    },
  });
}

export function renderFiles({ model }, place) {
  if (!model.filesystem) return empty('The report has no files section.');
  const pane = h('div', { class: 'file-pane' });
  // The text of a dir's file, from its line, if given; each line links to its place.
  const showContent = (dir, file, line) => {
    const placeAt = (n) => ({ view: 'files', at: dir.at, file, line: n });
    const { name } = dir.files[file];
    pane.textContent = '';
    pane.append(
      h(
        'h3',
        null,
        rt(name),
        ' ',
        copyButton('Copy path', `${pathText(dir)}\\${name}`),
        ' ',
        placeLink(placeAt(null), 'Copy link', 'Copy a link to this file'),
      ),
      logPane(
        dir.files[file],
        line,
        line == null ? null : place.query,
        (n) => placeLink(placeAt(n), String(n), `Link to line ${n}`),
        pathText(dir),
      ),
    );
    if (line == null) requestAnimationFrame(() => pane.scrollIntoView({ block: 'start' }));
  };
  const root = model.filesystem;
  const tree = root.dirs.length
    ? root.dirs.map((d) => folderNode(d, place, showContent))
    : empty('The files section is empty.');
  return section(
    'Files',
    h('div', { class: 'files-layout' }, h('div', { class: 'tree' }, tree), pane),
  );
}
