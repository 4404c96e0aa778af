// The page: opening files, the section navigation, search, and the report switcher.
import { h, empty } from './dom.js';
import { readReport, parseErrorOf, ReportError } from './model.js';
import { buildIndex, search, MAX_HITS } from './search.js';
import { renderOverview } from './overview.js';
import { renderSystem, renderEnvironment, renderProcesses, renderEvents, renderGroups } from './sections.js';
import { renderRegistry, renderFiles } from './trees.js';

// Beyond this a tab risks running out of memory while the browser parses the document.
export const MAX_REPORT_BYTES = 768 * 1024 * 1024;

const VIEWS = [
  ['overview', 'Overview', renderOverview],
  ['system', 'System', renderSystem],
  ['environment', 'Environment', renderEnvironment],
  ['registry', 'Registry', renderRegistry],
  ['files', 'Files', renderFiles],
  ['processes', 'Processes', renderProcesses],
  ['events', 'Events', renderEvents],
  ['groups', 'Groups', renderGroups],
];

export function parseXmlInBrowser(text) {
  const doc = new DOMParser().parseFromString(text, 'application/xml');
  const err = doc.getElementsByTagName('parsererror')[0];
  return { doc, error: err ? parseErrorOf(err.textContent) : null };
}

const state = { reports: [], current: -1, view: 'overview', hits: [], hit: -1, query: '', extraViews: [] };
const ui = {};

// Other modules (findings, compare) add their views and overview parts here.
export function addView(id, label, render, { needsTwo = false } = {}) {
  state.extraViews.push([id, label, render, needsTwo]);
}

function views() {
  return VIEWS.concat(state.extraViews.filter((v) => !v[3] || state.reports.length > 1));
}

export function currentReport() {
  return state.reports[state.current] ?? null;
}

export function allReports() {
  return state.reports;
}

function message(text, kind = 'error') {
  ui.messages.appendChild(h('div', { class: `message ${kind}`, role: kind === 'error' ? 'alert' : 'status' }, text));
}

async function openFiles(files) {
  ui.messages.textContent = '';
  for (const file of files) {
    if (file.size > MAX_REPORT_BYTES) {
      message(`${file.name} is ${(file.size / 1048576).toFixed(0)} MB: the viewer opens reports of up to ${MAX_REPORT_BYTES / 1048576} MB, so that the browser tab does not run out of memory.`);
      continue;
    }
    try {
      const started = performance.now();
      const model = readReport(await file.text(), file.name, parseXmlInBrowser);
      state.reports.push({ model, index: null });
      if (model.broken) {
        const at = model.broken.line ? ` at line ${model.broken.line}, column ${model.broken.column}` : '';
        message(`${file.name} is broken${at} (${model.broken.message}). Showing what was read before that point.`, 'warning');
      }
      ui.root.dataset.loadMs = String(Math.round(performance.now() - started));
    } catch (e) {
      message(e instanceof ReportError ? e.message : `${file.name} could not be opened: ${e.message}`);
    }
  }
  if (state.reports.length) select(state.reports.length - 1);
}

function select(i) {
  state.current = i;
  state.hits = [];
  state.hit = -1;
  ui.searchStatus.textContent = '';
  renderSwitcher();
  open({ view: 'overview' });
}

function renderSwitcher() {
  ui.switcher.textContent = '';
  state.reports.forEach((r, i) => ui.switcher.appendChild(h('button', { type: 'button', class: i === state.current ? 'current' : null, 'aria-pressed': String(i === state.current), on: { click: () => select(i) } }, r.model.fileName)));
}

export function open(place) {
  const report = currentReport();
  if (!report) return;
  state.view = place.view;
  ui.nav.textContent = '';
  for (const [id, label] of views()) {
    ui.nav.appendChild(h('button', { type: 'button', class: id === state.view ? 'current' : null, dataset: { view: id }, on: { click: () => open({ view: id }) } }, label));
  }
  const view = views().find((v) => v[0] === place.view);
  ui.main.textContent = '';
  ui.main.appendChild(view ? view[2](report.model, place, { open, reports: state.reports, current: state.current }) : empty('Unknown view.'));
  if (place.anchor) {
    const el = ui.main.querySelector(`[data-anchor="${CSS.escape(place.anchor)}"]`);
    el?.classList.add('hit');
    el?.scrollIntoView({ block: 'center' });
  }
  ui.root.dataset.view = place.view;
}

function runSearch() {
  const report = currentReport();
  if (!report) return;
  const q = ui.search.value;
  if (q !== state.query || !state.hits.length) {
    report.index ??= buildIndex(report.model);
    state.query = q;
    state.hits = search(report.index, q);
    state.hit = -1;
  }
  step(1);
}

function step(dir) {
  if (!state.hits.length) {
    ui.searchStatus.textContent = state.query.trim() ? 'No hits' : '';
    return;
  }
  state.hit = (state.hit + dir + state.hits.length) % state.hits.length;
  const hit = state.hits[state.hit];
  const more = state.hits.length >= MAX_HITS ? '+' : '';
  ui.searchStatus.textContent = `${state.hit + 1} of ${state.hits.length}${more}: ${hit.label}: ${hit.snippet}`;
  open(hit.place);
}

export function start(root) {
  ui.root = root;
  const input = h('input', { type: 'file', multiple: true, accept: '.vitascan,.xml', 'aria-label': 'Open reports', on: { change: () => openFiles([...input.files]) } });
  ui.search = h('input', { type: 'search', placeholder: 'Search the report', 'aria-label': 'Search the report', on: { keydown: (e) => e.key === 'Enter' && (e.shiftKey ? step(-1) : runSearch()) } });
  ui.searchStatus = h('span', { class: 'search-status', 'aria-live': 'polite' });
  ui.switcher = h('div', { class: 'switcher' });
  ui.nav = h('nav');
  ui.messages = h('div', { class: 'messages' });
  ui.tools = h('span', { class: 'tools' });
  ui.main = h('main', null, h('div', { class: 'welcome' },
    h('h2', null, 'Drop Vitascan reports here'),
    h('p', null, 'or choose them with the button above. Reports are read in this browser only: nothing is uploaded and nothing is fetched.')));
  root.append(
    h('header', null, h('h1', null, 'Vitascan report viewer'), input,
      h('span', { class: 'search' }, ui.search, h('button', { type: 'button', on: { click: runSearch } }, 'Find next'), h('button', { type: 'button', on: { click: () => step(-1) } }, 'Previous')), ui.tools),
    ui.searchStatus, ui.switcher, ui.messages, ui.nav, ui.main);
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    openFiles([...(e.dataTransfer?.files ?? [])]);
  });
  ui.root.dataset.ready = 'yes';
}

export function addTool(el) {
  ui.tools.appendChild(el);
}
