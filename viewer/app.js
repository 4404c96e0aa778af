// The page: opening files, the section navigation, search, and the report switcher.
import { h, empty } from './dom.js';
import { readReport, parseErrorOf, ReportError, splitFilesSection, addFilesSection } from './model.js';

import { buildIndex, search, MAX_HITS } from './search.js';
import { renderOverview } from './overview.js';
import { renderSystem, renderEnvironment, renderProcesses, renderEvents, renderGroups } from './sections.js';
import { renderRegistry, renderFiles } from './trees.js';
import { runFindings } from './findings.js';
import { compareModels } from './compare.js';
import { ticketSummary } from './summary.js';
import { renderFindings } from './findingsView.js';
import { renderCompare } from './compareView.js';

// Above this size the files section is parsed after the overview is on screen.
export const DEFER_FILES_BYTES = 2 * 1024 * 1024;

// Beyond this a tab risks running out of memory while the browser parses the document.
export const MAX_REPORT_BYTES = 768 * 1024 * 1024;

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
];

export function parseXmlInBrowser(text) {
  const doc = new DOMParser().parseFromString(text, 'application/xml');
  const err = doc.getElementsByTagName('parsererror')[0];
  return { doc, error: err ? parseErrorOf(err.textContent) : null };
}

const state = { reports: [], current: -1, view: 'overview', hits: [], hit: -1, query: '', compare: { a: 0, b: 1, showSame: false }, comparisons: new Map() };
const ui = {};

function views() {
  return state.reports.length > 1 ? VIEWS.concat([['compare', 'Compare', renderCompare]]) : VIEWS;
}

function brokenMessage(model) {
  const at = model.broken.line ? ` at line ${model.broken.line}, column ${model.broken.column}` : '';
  message(`${model.fileName} is broken${at} (${model.broken.message}). Showing what was read before that point.`, 'warning');
}

// Parses a deferred files section now; every use of the whole model calls this first.
function complete(report) {
  if (!report.pendingFiles) return report;
  const { files, firstLine } = report.pendingFiles;
  report.pendingFiles = null;
  const started = performance.now();
  addFilesSection(report.model, parseXmlInBrowser(files), firstLine);
  ui.root.dataset.filesMs = String(Math.round(performance.now() - started));
  if (report.model.broken) brokenMessage(report.model);
  report.findings = null;
  report.index = null;
  return report;
}

function findingsOf(report) {
  report.findings ??= runFindings(complete(report).model);
  return report.findings;
}

// The comparison of the chosen pair, kept until another pair is chosen.
function comparison() {
  const { a, b, showSame } = state.compare;
  if (state.reports.length < 2 || !state.reports[a] || !state.reports[b]) return null;
  const key = `${a}:${b}`;
  if (!state.comparisons.has(key)) {
    const before = complete(state.reports[a]).model;
    const after = complete(state.reports[b]).model;
    const started = performance.now();
    state.comparisons.set(key, compareModels(before, after));
    ui.root.dataset.compareMs = String(Math.round(performance.now() - started));
  }
  return { a, b, showSame, sections: state.comparisons.get(key), before: state.reports[a].model.fileName, after: state.reports[b].model.fileName };
}

function setCompare(change) {
  Object.assign(state.compare, change);
  open({ view: 'compare' });
}

function openIn(i, place) {
  select(i, place);
}

function copyForTicket() {
  const report = currentReport();
  if (!report) return;
  const text = ticketSummary(report.model, findingsOf(report), state.view === 'compare' ? comparison() : null);
  const area = h('textarea', { class: 'ticket-text', readonly: 'readonly', 'aria-label': 'Summary for a ticket' });
  area.value = text;
  ui.ticket.textContent = '';
  ui.ticket.append(h('div', { class: 'ticket' }, h('p', null, 'Copied to the clipboard: ', h('button', { type: 'button', on: { click: () => { ui.ticket.textContent = ''; } } }, 'Close')), area));
  area.select();
  const fallback = () => document.execCommand('copy');
  if (navigator.clipboard?.writeText) navigator.clipboard.writeText(text).catch(fallback);
  else fallback();
}

export function currentReport() {
  return state.reports[state.current] ?? null;
}

function message(text, kind = 'error') {
  return ui.messages.appendChild(h('div', { class: `message ${kind}`, role: kind === 'error' ? 'alert' : 'status' }, text));
}

async function openFiles(files) {
  const opened = performance.now();
  ui.messages.textContent = '';
  for (const file of files) {
    if (file.size > MAX_REPORT_BYTES) {
      message(`${file.name} is ${(file.size / 1048576).toFixed(0)} MB: the viewer opens reports of up to ${MAX_REPORT_BYTES / 1048576} MB, so that the browser tab does not run out of memory.`);
      continue;
    }
    // Large reports take a while: say so, and let that be painted before parsing starts.
    const reading = file.size > DEFER_FILES_BYTES ? message(`Reading ${file.name} (${(file.size / 1048576).toFixed(0)} MB)…`, 'status') : null;
    if (reading) await new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));
    try {
      const text = await file.text();
      const split = text.length > DEFER_FILES_BYTES ? splitFilesSection(text) : null;
      const model = readReport(split ? split.outer : text, file.name, parseXmlInBrowser);
      const report = { model, index: null, findings: null, pendingFiles: null };
      if (split && !model.broken) {
        model.filesystem = null;
        report.pendingFiles = split;
      } else if (split) {
        // The rest is broken: read the whole document the plain way.
        report.model = readReport(text, file.name, parseXmlInBrowser);
      }
      state.reports.push(report);
      if (report.model.broken) brokenMessage(report.model);
    } catch (e) {
      message(e instanceof ReportError ? e.message : `${file.name} could not be opened: ${e.message}`);
    }
    reading?.remove();
  }
  if (state.reports.length > 1) {
    // The newest report is compared with the one opened before it.
    state.compare = { a: state.reports.length - 2, b: state.reports.length - 1, showSame: false };
  }
  if (state.reports.length) select(state.reports.length - 1);
  // For the benchmark: from choosing the files to the frame that shows the overview.
  requestAnimationFrame(() => { ui.root.dataset.overviewMs = String(Math.round(performance.now() - opened)); });
}

function select(i, place = { view: 'overview' }) {
  state.current = i;
  state.hits = [];
  state.hit = -1;
  ui.searchStatus.textContent = '';
  renderSwitcher();
  open(place);
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
  // The overview shows at once; the files section and the findings follow.
  const deferred = place.view === 'overview' && report.pendingFiles;
  if (!deferred) complete(report);
  const findings = () => (report.pendingFiles ? null : findingsOf(report));
  ui.main.textContent = '';
  ui.main.appendChild(view ? view[2](report.model, place, { open, reports: state.reports, current: state.current, findings, comparison, setCompare, openIn }) : empty('Unknown view.'));
  if (deferred) {
    // After the next paint, so that the overview is on screen while the files are read;
    // then the other open reports, ready for compare.
    requestAnimationFrame(() => setTimeout(() => {
      if (!report.pendingFiles) return;
      complete(report);
      if (currentReport() === report && state.view === 'overview') open(place);
      state.reports.filter((r) => r.pendingFiles).forEach((r) => setTimeout(() => complete(r), 0));
    }, 0));
  }
  if (place.anchor) {
    const el = ui.main.querySelector(`[data-anchor="${CSS.escape(place.anchor)}"]`);
    el?.classList.add('hit');
    el?.scrollIntoView({ block: 'center' });
  }
  ui.root.dataset.view = place.view;
  ui.root.dataset.filesPending = report.pendingFiles ? 'yes' : 'no';
}

function runSearch() {
  const report = currentReport();
  if (!report) return;
  const q = ui.search.value;
  if (q !== state.query || !state.hits.length) {
    report.index ??= buildIndex(complete(report).model);
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
  ui.tools = h('span', { class: 'tools' }, h('button', { type: 'button', class: 'copy-ticket', on: { click: copyForTicket } }, 'Copy for a ticket'));
  ui.ticket = h('div');
  ui.main = h('main', null, h('div', { class: 'welcome' },
    h('h2', null, 'Drop Vitascan reports here'),
    h('p', null, 'or choose them with the button above. Reports are read in this browser only: nothing is uploaded and nothing is fetched.')));
  root.append(
    h('header', null, h('h1', null, 'Vitascan report viewer'), input,
      h('span', { class: 'search' }, ui.search, h('button', { type: 'button', on: { click: runSearch } }, 'Find next'), h('button', { type: 'button', on: { click: () => step(-1) } }, 'Previous')), ui.tools),
    ui.searchStatus, ui.switcher, ui.messages, ui.ticket, ui.nav, ui.main);
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    openFiles([...(e.dataTransfer?.files ?? [])]);
  });
  ui.root.dataset.ready = 'yes';
}
