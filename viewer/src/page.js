// The page: the header with the file button, search and the ticket (it stays in view),
// the report switcher, the section navigation, messages, and the view of the place the
// state names. Controls are built once and updated in place, so focus stays where the
// user put it. Keys: "/" goes to the search box, Enter and Shift+Enter step through hits,
// Escape closes the ticket panel.
import { h, empty } from './views/dom.js';
import { state, update, currentReport } from './app-state/state.js';
import { openReport, findingsOf, comparisonOf, pendingText } from './app-state/reports.js';
import { ReportError } from './import/report.js';
import { search, MAX_HITS } from './lib/search.js';
import { reportTicket, pairTicket } from './lib/ticket.js';
import { msg, r } from './lib/text.js';
import { renderOverview } from './views/overview.js';
import { renderFindings } from './views/findings.js';
import {
  renderSystem,
  renderEnvironment,
  renderProcesses,
  renderEvents,
  renderGroups,
} from './views/sections.js';
import { renderRegistry, renderFiles } from './views/trees.js';
import { renderCompare } from './views/compare.js';

const VIEWS = [
  ['overview', 'Overview', renderOverview],
  ['findings', 'Findings', renderFindings],
  ['system', 'System', renderSystem],
  ['environment', 'Environment', renderEnvironment],
  ['registry', 'Registry', renderRegistry],
  ['files', 'Files', renderFiles],
  ['processes', 'Processes', renderProcesses],
  ['events', 'Events', renderEvents],
  ['groups', 'Groups', renderGroups],
  ['compare', 'Compare', renderCompare],
];
// Views that wait for a deferred files section, and those shown again once it is read.
const WAIT_FOR_FILES = new Set(['files', 'findings']);
const SHOW_AGAIN = new Set([...WAIT_FOR_FILES, 'compare', 'overview']);

const ui = {};

function views() {
  return state.reports.length > 1 ? VIEWS : VIEWS.filter(([id]) => id !== 'compare');
}

function message(text, kind = 'error') {
  const role = kind === 'error' ? 'alert' : 'status';
  return ui.messages.appendChild(h('div', { class: `message ${kind}`, role }, text));
}

function brokenMessage(model) {
  const at = model.broken.line
    ? ` at line ${model.broken.line}, column ${model.broken.column}`
    : '';
  message(
    msg`${r(model.fileName)} is broken${at} (${r(model.broken.message)}). Showing what was read before that point.`,
    'warning',
  );
}

// The chosen pair, compared once both are read.
function comparison() {
  const { a, b, showSame } = state.compare;
  const [before, after] = [state.reports[a], state.reports[b]];
  if (!before || !after) return null;
  const waiting = [before, after].find((rep) => rep.reading);
  if (waiting) return { pending: pendingText(waiting) };
  const started = performance.now();
  const sections = comparisonOf(before, after);
  ui.root.dataset.compareMs = String(Math.round(performance.now() - started));
  return { a, b, showSame, sections };
}

function context(report, query) {
  return {
    open: (place) => show(place),
    openIn: (i, place) => selectReport(i, place),
    reports: state.reports,
    query,
    findings: () => findingsOf(report),
    pendingText: () => pendingText(report),
    comparison,
    setCompare: (change) => {
      update({ compare: change });
      show({ view: 'compare' });
    },
  };
}

function renderNav() {
  const wanted = views()
    .map(([id]) => id)
    .join();
  if (ui.nav.dataset.views !== wanted) {
    ui.nav.dataset.views = wanted;
    ui.nav.textContent = '';
    for (const [id, label] of views()) {
      ui.nav.appendChild(
        h(
          'button',
          { type: 'button', dataset: { view: id }, on: { click: () => show({ view: id }) } },
          label,
        ),
      );
    }
  }
  for (const b of ui.nav.children) {
    const current = b.dataset.view === state.place.view;
    b.classList.toggle('current', current);
    if (current) b.setAttribute('aria-current', 'page');
    else b.removeAttribute('aria-current');
  }
}

function renderSwitcher() {
  if (ui.switcher.children.length !== state.reports.length) {
    ui.switcher.textContent = '';
    state.reports.forEach((rep, i) => {
      ui.switcher.appendChild(
        h(
          'button',
          { type: 'button', on: { click: () => selectReport(i) } },
          r(rep.model.fileName),
        ),
      );
    });
  }
  [...ui.switcher.children].forEach((b, i) => {
    b.classList.toggle('current', i === state.current);
    b.setAttribute('aria-pressed', String(i === state.current));
  });
}

// Shows a place of the current report; query marks the words of a search hit.
function show(place, query = null) {
  const report = currentReport();
  if (!report) return;
  update({ place });
  renderNav();
  const view = views().find(([id]) => id === place.view);
  const focusInMain = ui.main.contains(document.activeElement);
  ui.main.textContent = '';
  if (!view) ui.main.appendChild(empty('Unknown view.'));
  else if (report.reading && WAIT_FOR_FILES.has(place.view))
    ui.main.appendChild(empty(pendingText(report)));
  else ui.main.appendChild(view[2](report.model, place, context(report, query)));
  if (place.anchor) {
    const el = ui.main.querySelector(`[data-anchor="${CSS.escape(place.anchor)}"]`);
    el?.classList.add('hit');
    el?.scrollIntoView({ block: 'center' });
  }
  if (focusInMain) ui.main.focus({ preventScroll: true });
  ui.root.dataset.view = place.view;
  ui.root.dataset.filesPending = report.reading ? 'yes' : 'no';
}

function selectReport(i, place = { view: 'overview' }) {
  update({ current: i, search: { query: '', hits: [], hit: -1 } });
  ui.searchStatus.textContent = '';
  renderSwitcher();
  show(place);
}

// A deferred files section has been read: views that waited for it are shown again.
function filesRead(report, ms) {
  ui.root.dataset.filesMs = String(Math.round(ms));
  if (report.model.broken) brokenMessage(report.model);
  const current = currentReport();
  const waiting = current === report || state.place.view === 'compare';
  if (waiting && SHOW_AGAIN.has(state.place.view)) show(state.place);
  else ui.root.dataset.filesPending = current?.reading ? 'yes' : 'no';
}

async function openFiles(files) {
  const opened = performance.now();
  ui.messages.textContent = '';
  const before = state.reports.length;
  for (const file of files) {
    // Large reports take a while: say so, and let that be painted before reading starts.
    const reading =
      file.size > 2 * 1048576
        ? message(msg`Reading ${r(file.name)} (${(file.size / 1048576).toFixed(0)} MB)…`, 'status')
        : null;
    if (reading) await new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));
    try {
      const report = await openReport(file, filesRead);
      update({ reports: [...state.reports, report] });
      if (report.model.broken) brokenMessage(report.model);
    } catch (e) {
      message(
        e instanceof ReportError
          ? e.message
          : msg`${r(file.name)} could not be opened: ${r(e.message)}`,
      );
    }
    reading?.remove();
  }
  const n = state.reports.length;
  if (n > 1 && n > before) update({ compare: { a: n - 2, b: n - 1 } });
  if (n > before) selectReport(n - 1);
  // For the benchmark: from choosing the files to the frame that shows the overview.
  requestAnimationFrame(
    () => (ui.root.dataset.overviewMs = String(Math.round(performance.now() - opened))),
  );
}

// Every search command uses the text in the box: a new text starts a new search.
async function find(direction) {
  const report = currentReport();
  if (!report) return;
  const query = ui.search.value;
  const s = state.search;
  if (query !== s.query || !s.hits.length) {
    if (report.reading) {
      ui.searchStatus.replaceChildren(h('span', null, pendingText(report)));
      await report.reading;
    }
    const started = performance.now();
    const hits = search(report.model, query);
    ui.root.dataset.searchMs = String(Math.round(performance.now() - started));
    update({ search: { query, hits, hit: direction > 0 ? -1 : 0 } });
  }
  const { hits } = state.search;
  ui.searchStatus.textContent = '';
  if (!hits.length) {
    ui.searchStatus.textContent = query.trim() ? 'No hits' : '';
    return;
  }
  const hit = (state.search.hit + direction + hits.length) % hits.length;
  update({ search: { hit } });
  const more = hits.length >= MAX_HITS ? '+' : '';
  const found = hits[hit];
  ui.searchStatus.append(
    h('span', null, `${hit + 1} of ${hits.length}${more}: `, found.label, ': ', r(found.snippet)),
  );
  show(found.place, query);
}

function copyForTicket() {
  const report = currentReport();
  if (!report) return;
  let text;
  const cmp = state.place.view === 'compare' ? comparison() : null;
  if (cmp?.sections) {
    const side = (i) => ({ model: state.reports[i].model, findings: findingsOf(state.reports[i]) });
    text = pairTicket(side(cmp.a), side(cmp.b), cmp.sections);
  } else text = reportTicket(report.model, findingsOf(report) ?? []);
  const area = h('textarea', {
    class: 'ticket-text',
    readonly: true,
    'aria-label': 'Summary for a ticket',
  });
  area.value = text;
  const close = h('button', { type: 'button', on: { click: closeTicket } }, 'Close');
  ui.ticket.textContent = '';
  ui.ticket.append(
    h(
      'div',
      { class: 'ticket', role: 'region', 'aria-label': 'Ticket text' },
      h('p', null, 'Copied to the clipboard (Escape closes this): ', close),
      area,
    ),
  );
  area.select();
  navigator.clipboard?.writeText(text).catch(() => document.execCommand('copy'));
}

function closeTicket() {
  if (!ui.ticket.firstChild) return false;
  ui.ticket.textContent = '';
  ui.copy.focus();
  return true;
}

function onKey(e) {
  const typing = /^(INPUT|TEXTAREA|SELECT)$/.test(e.target.tagName) || e.target.isContentEditable;
  if (e.key === '/' && !typing && !e.ctrlKey && !e.metaKey && !e.altKey) {
    e.preventDefault();
    ui.search.focus();
    ui.search.select();
  } else if (e.key === 'Escape' && closeTicket()) e.preventDefault();
}

export function start(root) {
  ui.root = root;
  const input = h('input', {
    type: 'file',
    multiple: true,
    accept: '.vitascan,.xml',
    id: 'open-reports',
  });
  input.addEventListener('change', () => openFiles([...input.files]));
  ui.search = h('input', {
    type: 'search',
    placeholder: 'Search (press /)',
    'aria-label': 'Search the report',
    'aria-keyshortcuts': '/',
  });
  ui.search.addEventListener('keydown', (e) => {
    if (e.key !== 'Enter') return;
    e.preventDefault();
    find(e.shiftKey ? -1 : 1);
  });
  ui.searchStatus = h('div', { class: 'search-status', 'aria-live': 'polite' });
  ui.switcher = h('div', { class: 'switcher', role: 'group', 'aria-label': 'Open reports' });
  ui.nav = h('nav', { 'aria-label': 'Sections' });
  ui.messages = h('div', { class: 'messages' });
  ui.copy = h(
    'button',
    { type: 'button', class: 'copy-ticket', on: { click: copyForTicket } },
    'Copy for a ticket',
  );
  ui.ticket = h('div');
  ui.main = h(
    'main',
    { tabindex: '-1' },
    h(
      'div',
      { class: 'welcome' },
      h('h2', null, 'Drop Vitascan reports here'),
      h(
        'p',
        null,
        'or choose them with the button above. Reports are read in this browser only: ' +
          'nothing is uploaded and nothing is fetched.',
      ),
    ),
  );
  const searchBox = h(
    'span',
    { class: 'search', role: 'search' },
    ui.search,
    h('button', { type: 'button', on: { click: () => find(1) } }, 'Find next'),
    h('button', { type: 'button', on: { click: () => find(-1) } }, 'Previous'),
  );
  const header = h(
    'header',
    null,
    h(
      'div',
      { class: 'bar-line' },
      h('h1', null, 'Vitascan report viewer'),
      h('label', { for: 'open-reports', class: 'open' }, 'Open reports '),
      input,
      searchBox,
      h('span', { class: 'tools' }, ui.copy),
    ),
    ui.searchStatus,
    ui.switcher,
    ui.nav,
  );
  root.append(header, ui.messages, ui.ticket, ui.main);
  document.addEventListener('keydown', onKey);
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    openFiles([...(e.dataTransfer?.files ?? [])]);
  });
  ui.root.dataset.ready = 'yes';
}
