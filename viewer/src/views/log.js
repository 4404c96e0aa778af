// One embedded file (a log, a text, an XML file): every line with its number, a page of
// lines at a time; the cut banner and a search hit are marked, and a hit is shown with
// its words marked however long its line. Each line's number is a link to it.
import { h, empty } from './dom.js';
import { table } from './table.js';
import { CUT_BANNER } from '../lib/model.js';

export const LINES_PER_PAGE = 500;

// lineLink(n) makes the link of line n; path is the file's folder.
export function logPane(file, line, query, lineLink, path) {
  // A carriage return before a line feed ends a line as the line feed does.
  const lines = file.content.split('\n').map((l) => (l.endsWith('\r') ? l.slice(0, -1) : l));
  // A final line feed ends the last line; it does not start another.
  if (lines.length > 1 && lines[lines.length - 1] === '') lines.pop();
  const columns = [
    { label: 'Line', num: true, get: (_, i) => lineLink(i + 1), text: (_, i) => i + 1 },
    { label: 'Text', get: (l) => l, tabs: true },
  ];
  const banner = (l) => (l.includes(CUT_BANNER) ? 'banner' : null);
  const t = table(columns, lines, {
    pageSize: LINES_PER_PAGE,
    filter: 'Filter lines',
    name: `${path}\\${file.name}`,
    rowClass: banner,
    cls: 'log',
  });
  if (line != null) requestAnimationFrame(() => t.showRow(line - 1, query));
  const cut = file.cut
    ? empty('This file was cut: only its head and its tail are in the report (see the banner).')
    : null;
  return h('div', { class: 'content' }, cut, t);
}
