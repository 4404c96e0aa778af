// The page: the header with the file buttons, search, the ticket, the link and the redact
// switch (it stays in view), the report switcher, the section navigation, messages, and
// the view of the place the state names. The place is kept in the address's fragment, so
// Back and Forward move between views and a copied link opens the same place once its
// report is open. Controls are built once and updated in place, so focus stays where the
// user put it. Keys: "/" goes to the search box, Enter and Shift+Enter step through hits,
// Escape closes the panel under the header.
import { h, rt, empty, linkedPlace } from './views/dom.js';
import {
  openReport,
  findingsOf,
  labelOf,
  pendingText,
  yieldToPage,
  findAgain,
} from './app-state/reports.js';
import { viewInput } from './app-state/inputs.js';
import { MANY, addressOf, addressed } from './app-state/places.js';
import {
  state,
  currentReport,
  onAction,
  chooseCompare,
  chooseSpread,
  pickMachine,
  comparePicked,
  sortMachines,
  showPlace,
  selectReport,
  addReport,
  closeReport,
  pairReports,
  awaitAddress,
  searched,
  stepHit,
  setRedact,
} from './app-state/state.js';
import {
  packs,
  addPack,
  removePack,
  rememberPacks,
  startPacks,
  PACK_FILE,
} from './app-state/packs.js';
import { PackError, LIMITS } from './lib/rules/pack.js';
import { packsPanel } from './views/packs.js';
import { shared, ticketText, copy, reportsChanged, savePlaceholders } from './app-state/share.js';
import { ReportError } from './import/report.js';
import { search, cutDeeper, MAX_HITS } from './lib/search.js';
import { parseAddress, placeWords, VIEW_TITLES } from './lib/address.js';
import { msg, r, plain, shortened } from './lib/text.js';
import { csvText } from './lib/csv.js';
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
import { renderMachines } from './views/machines.js';
import { viewNotes, schemaText, renderOther } from './views/notes.js';

const RENDER = {
  machines: renderMachines,
  overview: renderOverview,
  findings: renderFindings,
  system: renderSystem,
  environment: renderEnvironment,
  registry: renderRegistry,
  files: renderFiles,
  processes: renderProcesses,
  events: renderEvents,
  groups: renderGroups,
  compare: renderCompare,
  other: renderOther,
};
// Views that wait for a deferred files section, and those shown again once it is read.
const WAIT_FOR_FILES = new Set(['files', 'processes', 'findings']);
const SHOW_AGAIN = new Set([...WAIT_FOR_FILES, 'compare', 'overview', 'machines']);
// Above this many reports the switcher is a list to choose from.
const SWITCHER_BUTTONS = 8;
const REPORT_FILE = /\.(vitascan|xml)$/i;
// A dropped folder is read this deep and up to this many files.
const FOLDER_DEPTH = 8;
const FOLDER_FILES = 1000;
// Said of a search when keys, folders or groups nest deeper than the reader went.
const DEEPER = 'parts nested deeper than 200 levels were not read, so not searched';

const ui = {};

function views() {
  const other = currentReport()?.model.otherCount > 0;
  return Object.keys(RENDER).filter(
    (id) => (state.reports.length > 1 || !MANY.has(id)) && (id !== 'other' || other),
  );
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

// What a report that opens says about itself: broken, newer than the viewer, not as the
// format has it.
function openingMessages(model) {
  if (model.broken) brokenMessage(model);
  if (model.newer)
    message(
      msg`${r(model.fileName)} was written by VitascanCmd ${r(model.version)}, newer than this viewer knows: what it does not know is listed under Other content.`,
      'warning',
    );
  const schema = schemaText(model);
  if (schema) message(schema, 'warning');
}

const hrefOf = (place, i = state.current) => `#${addressOf(place, i)}`;

// Goes to a place and copies its link; the panel under the header shows it in words.
function cite(place, i = state.current) {
  go(place, i);
  const report = state.reports[i];
  const words = placeWords(report.model, place);
  const said = shared(MANY.has(place.view) ? words : `${labelOf(report, state.reports)}: ${words}`);
  // Where this copy of the viewer sits can name its user: a redacted link keeps only the
  // page's file name, which a colleague's own copy answers to as well.
  const page = location.href.split('#')[0];
  const base = state.redact ? page.slice(page.lastIndexOf('/') + 1) : page;
  const url = `${base}#${addressOf(place, i, state.redact)}`;
  copy(url, null, false);
  const field = h('input', {
    class: 'link-url',
    readonly: true,
    value: url,
    'aria-label': 'The link',
  });
  const both = h('button', { type: 'button' }, 'Copy words and link');
  both.addEventListener('click', () => copy(`${said}: ${url}`, both, false));
  const copied = state.redact ? 'Link copied, personal data replaced: ' : 'Link copied: ';
  panel(h('p', null, copied, h('span', { class: 'link-words' }, rt(said)), ' '), field, both);
  field.select();
}

// The named actions the views of many reports call; views of one report only link.
const actions = { chooseCompare, chooseSpread, pickMachine, comparePicked, sortMachines };

// Goes to a place of report i (the current one when not given).
function go(place, i = state.current) {
  if (i === state.current) show(place);
  else showReport(i, place);
}

// Follows the links of the views: a click goes to the place (a cited one also copies its
// link); pointed at, focused or opened in a new tab, a link has the place's address.
function followLinks(main) {
  const linked = (e) => {
    const a = e.target.closest?.('a');
    return a && main.contains(a) ? [a, linkedPlace(a)] : [a, null];
  };
  main.addEventListener('click', (e) => {
    const [, link] = linked(e);
    if (!link || e.ctrlKey || e.metaKey || e.shiftKey) return;
    e.preventDefault();
    if (link.how === 'cite') cite(link.place, link.i);
    else go(link.place, link.i);
  });
  for (const on of ['pointerover', 'focusin', 'contextmenu'])
    main.addEventListener(on, (e) => {
      const [a, link] = linked(e);
      if (link) a.setAttribute('href', hrefOf(link.place, link.i));
    });
}

function renderNav() {
  const wanted = views().join();
  if (ui.nav.dataset.views !== wanted) {
    ui.nav.dataset.views = wanted;
    ui.nav.textContent = '';
    for (const id of views()) {
      const click = () => show({ view: id });
      ui.nav.appendChild(
        h('button', { type: 'button', dataset: { view: id }, on: { click } }, VIEW_TITLES[id]),
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

// The open reports, each with a button to close it; many are a list to choose from.
function renderSwitcher() {
  ui.switcher.textContent = '';
  const label = (rep) => r(labelOf(rep, state.reports));
  if (state.reports.length > SWITCHER_BUTTONS) {
    const select = h(
      'select',
      { 'aria-label': 'Report shown' },
      state.reports.map((rep, i) =>
        h('option', { value: String(i), selected: i === state.current }, plain([label(rep)])),
      ),
    );
    select.addEventListener('change', () => showReport(Number(select.value)));
    const close = () => closeAndShow(state.current);
    ui.switcher.append(
      h('label', null, `Report (${state.reports.length}) `, select),
      h('button', { type: 'button', class: 'close', on: { click: close } }, 'Close this report'),
    );
    return;
  }
  state.reports.forEach((rep, i) => {
    const current = i === state.current;
    const name = labelOf(rep, state.reports);
    ui.switcher.append(
      h(
        'span',
        { class: 'report-tab' },
        h(
          'button',
          {
            type: 'button',
            class: current ? 'current' : null,
            'aria-pressed': String(current),
            on: { click: () => showReport(i) },
          },
          r(name),
        ),
        h(
          'button',
          {
            type: 'button',
            class: 'close',
            'aria-label': plain(msg`Close ${r(name)}`),
            title: 'Close this report',
            on: { click: () => closeAndShow(i) },
          },
          '×',
        ),
      ),
    );
  });
}

// Keeps the address in step with the view: a new place is a new step of the history
// (Back returns to the one before), the first one after opening replaces the empty one.
function remember(place, push) {
  const fragment = `#${addressOf(place)}`;
  ui.remembered = fragment;
  if (fragment === location.hash) return;
  if (push && location.hash) history.pushState(null, '', fragment);
  else history.replaceState(null, '', fragment);
}

// Shows a place of the current report; query marks the words of a search hit.
function show(place, query = null, push = true) {
  const report = currentReport();
  if (!report) return;
  showPlace(place);
  renderNav();
  const render = views().includes(place.view) ? RENDER[place.view] : null;
  const focusInMain = ui.main.contains(document.activeElement);
  ui.main.textContent = '';
  if (!render) ui.main.appendChild(empty('Unknown view.'));
  else if (report.reading && WAIT_FOR_FILES.has(place.view))
    ui.main.appendChild(empty(pendingText(report)));
  else {
    const pair = place.view === 'compare' ? [state.compare.a, state.compare.b] : [state.current];
    const said = pair.map((i) => state.reports[i]).filter((rep) => rep && !rep.reading);
    const notes = said.map((rep) => viewNotes(rep.model, place.view));
    for (const n of notes) ui.main.append(...n.notes);
    if (!notes.some((n) => n.instead)) {
      const started = performance.now();
      const input = viewInput(place.view);
      // For the benchmark: how long comparing the pair took.
      if (place.view === 'compare' && input.pair?.sections)
        ui.root.dataset.compareMs = String(Math.round(performance.now() - started));
      ui.main.appendChild(render(input, query ? { ...place, query } : place, actions));
    }
  }
  if (place.anchor) {
    const el = ui.main.querySelector(`[data-anchor="${CSS.escape(place.anchor)}"]`);
    el?.classList.add('hit');
    el?.scrollIntoView({ block: 'center' });
  }
  if (focusInMain) ui.main.focus({ preventScroll: true });
  ui.root.dataset.view = place.view;
  ui.root.dataset.filesPending = report.reading ? 'yes' : 'no';
  remember(place, push);
}

function showReport(i, place = { view: 'overview' }, push = true) {
  selectReport(i);
  ui.searchStatus.textContent = '';
  renderSwitcher();
  show(place, null, push);
}

function closeAndShow(i) {
  closeReport(i);
  const { reports } = state;
  const shift = (n) => (n > i ? n - 1 : n);
  reportsChanged();
  if (!reports.length) {
    renderSwitcher();
    renderNav();
    ui.main.replaceChildren(welcome());
    history.replaceState(null, '', location.href.split('#')[0]);
    return;
  }
  const many = MANY.has(state.place.view) && reports.length > 1;
  const current = Math.min(shift(state.current), reports.length - 1);
  showReport(current, many ? state.place : { view: reports.length > 1 ? 'machines' : 'overview' });
}

// Goes to the place an address names, once its report is open; says what it cannot find.
function applyAddress(fragment, push = false) {
  const target = addressed(fragment);
  if (!target) return false;
  const { params, i } = target;
  if (target.pair) {
    const [a, b] = target.pair;
    if (a >= 0 && b >= 0) pairReports(a, b);
    show({ view: state.reports.length > 1 ? params.get('view') : 'overview' }, null, push);
    return true;
  }
  if (target.renamed)
    message(
      msg`The link was made in another report named ${r(shortened(params.get('name')))}: showing the same place in this one.`,
      'status',
    );
  if (i < 0) {
    awaitAddress(fragment);
    message(awaited(params), 'status');
    return false;
  }
  awaitAddress(null);
  const { place, missing, badLine, unknownView } = target;
  showReport(i, place, push);
  const file = r(shortened(state.reports[i].model.fileName));
  if (unknownView)
    message(
      msg`The link names a view, ${r(shortened(unknownView, 40))}, that this viewer does not have: showing the overview.`,
      'warning',
    );
  if (missing)
    message(
      msg`${r(shortened(missing))} is not in ${file}: showing ${VIEW_TITLES[place.view]}.`,
      'warning',
    );
  if (badLine)
    message(
      msg`The link names line ${r(shortened(badLine, 20))}, which the file does not have: showing the file.`,
      'warning',
    );
  return true;
}

// What a link waits for: the report it names, or when a redacted link names none, the
// report of its fingerprint.
function awaited(params) {
  const [name, id] = [params.get('name'), params.get('report')];
  if (name) return msg`The link opens a place in ${r(shortened(name))} once that report is open.`;
  if (id)
    return msg`The link opens a place in the report whose fingerprint is ${r(shortened(id, 16))} once it is open; the link leaves the file's name out (it was made with Redact on), so open the report it was made from.`;
  return 'The link names no report: it opens a place in the report shown once one is open.';
}

// A deferred files section has been read: views that waited for it are shown again.
function filesRead(report, ms) {
  ui.root.dataset.filesMs = String(Math.round(ms));
  reportsChanged();
  openingMessages(report.model);
  const current = currentReport();
  const waiting = current === report || MANY.has(state.place.view);
  if (waiting && SHOW_AGAIN.has(state.place.view)) show(state.place, null, false);
  else ui.root.dataset.filesPending = current?.reading ? 'yes' : 'no';
  if (state.pending && applyAddress(state.pending)) awaitAddress(null);
}

// Problems of a refused pack, one a line, each as pack text.
function refused(problems) {
  return message(problems.flatMap((p, i) => [i ? h('br') : null, r(p)]));
}

// Every report's findings found again with the packs as they are now.
async function packsChanged(started = performance.now()) {
  ui.packs.replaceWith((ui.packs = packsPanelOf(ui.packs.open)));
  const progress = state.reports.length > 1 ? message('', 'status') : null;
  const total = state.reports.length;
  await findAgain(state.reports, (n) => {
    if (progress) progress.textContent = `Finding known issues in report ${n + 1} of ${total}…`;
  });
  progress?.remove();
  reportsChanged();
  if (state.reports.length) show(state.place, null, false);
  // For the benchmark and the tests: how long, and how many times.
  ui.root.dataset.knownMs = String(Math.round(performance.now() - started));
  ui.root.dataset.packRuns = String(Number(ui.root.dataset.packRuns ?? 0) + 1);
}

async function openPacks(files) {
  const started = performance.now();
  for (const file of files) {
    try {
      if (file.size > LIMITS.bytes)
        throw new PackError([`${file.name}: a pack is at most ${LIMITS.bytes / 1048576} MB`]);
      const pack = addPack(await file.text(), file.name);
      message(msg`Rule pack ${r(pack.name)} loaded: ${pack.rules.length} rules.`, 'status');
    } catch (e) {
      refused(e instanceof PackError ? e.problems : [`${file.name}: ${e.message}`]);
    }
  }
  await packsChanged(started);
}

function packsPanelOf(open = false) {
  const panel = packsPanel(packs.list, packs.remember, {
    remove: (i) => {
      removePack(i);
      packsChanged();
    },
    setRemember: (on) => rememberPacks(on),
  });
  panel.open = open;
  return panel;
}

async function openFiles(all) {
  const opened = performance.now();
  ui.messages.textContent = '';
  const packFiles = all.filter((f) => PACK_FILE.test(f.name));
  const files = all.filter((f) => !PACK_FILE.test(f.name));
  if (packFiles.length) await openPacks(packFiles);
  if (!files.length) return;
  const before = state.reports.length;
  const progress = files.length > 1 ? message('', 'status') : null;
  let n = 0;
  for (const file of files) {
    n++;
    if (progress) progress.textContent = `Reading report ${n} of ${files.length}…`;
    // Large reports take a while: say so, and let that be painted before reading starts.
    const reading =
      file.size > 2 * 1048576
        ? message(msg`Reading ${r(file.name)} (${(file.size / 1048576).toFixed(0)} MB)…`, 'status')
        : null;
    if (reading) await new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));
    else await yieldToPage();
    try {
      const report = await openReport(file, filesRead);
      if (state.reports.some((o) => o.id === report.id))
        message(msg`${r(file.name)} is open already.`, 'status');
      else {
        addReport(report);
        if (!report.reading) openingMessages(report.model);
        // Findings now, so that the Machines view has them without a long wait.
        if (files.length > 1) findingsOf(report);
      }
    } catch (e) {
      message(
        e instanceof ReportError
          ? e.message
          : msg`${r(file.name)} could not be opened: ${r(e.message)}`,
      );
    }
    reading?.remove();
  }
  progress?.remove();
  reportsChanged();
  const count = state.reports.length;
  if (count > 1 && count > before) pairReports(count - 2, count - 1);
  if (count > before && !(state.pending && applyAddress(state.pending, true)))
    showReport(count - 1, { view: count > 1 ? 'machines' : 'overview' });
  // For the benchmark: from choosing the files to the frame that shows the view; for the
  // tests, how many times files were opened.
  ui.root.dataset.openings = String(Number(ui.root.dataset.openings ?? 0) + 1);
  requestAnimationFrame(
    () => (ui.root.dataset.overviewMs = String(Math.round(performance.now() - opened))),
  );
}

// The files of a dropped folder (where the browser gives folders), read a bounded depth.
async function droppedFiles(transfer) {
  const entries = [...(transfer?.items ?? [])].map((item) => item.webkitGetAsEntry?.());
  if (!entries.some((e) => e?.isDirectory)) return [...(transfer?.files ?? [])];
  const files = [];
  const stack = entries.filter(Boolean).map((entry) => [entry, 0]);
  while (stack.length && files.length < FOLDER_FILES) {
    const [entry, depth] = stack.pop();
    if (entry.isFile && REPORT_FILE.test(entry.name))
      files.push(await new Promise((done, fail) => entry.file(done, fail)));
    if (!entry.isDirectory || depth >= FOLDER_DEPTH) continue;
    const reader = entry.createReader();
    for (;;) {
      const batch = await new Promise((done, fail) => reader.readEntries(done, fail));
      if (!batch.length) break;
      stack.push(...batch.map((e) => [e, depth + 1]));
    }
  }
  return files.sort((a, b) => a.name.localeCompare(b.name));
}

// Every search command uses the text in the box: a new text starts a new search. A link
// pasted in the box is opened.
async function find(direction) {
  const report = currentReport();
  const query = ui.search.value;
  const link = /#(?=.*\bview=)(.*)$/.exec(query.trim());
  if (link) {
    awaitAddress(null);
    applyAddress(link[1], true);
    return;
  }
  if (!report) return;
  const s = state.search;
  if (query !== s.query || !s.hits.length) {
    if (report.reading) {
      ui.searchStatus.replaceChildren(h('span', null, pendingText(report)));
      await report.reading;
    }
    const started = performance.now();
    const hits = search(report.model, query);
    ui.root.dataset.searchMs = String(Math.round(performance.now() - started));
    searched(query, hits, direction);
  }
  const { hits } = state.search;
  ui.searchStatus.textContent = '';
  if (!hits.length) {
    const deeper = cutDeeper(report.model) ? `; ${DEEPER}` : '';
    ui.searchStatus.textContent = query.trim() ? `No hits${deeper}` : '';
    return;
  }
  const found = stepHit(direction);
  const { hit } = state.search;
  const more = hits.length >= MAX_HITS ? '+' : '';
  ui.searchStatus.append(
    h(
      'span',
      null,
      `${hit + 1} of ${hits.length}${more}: `,
      found.label,
      ': ',
      r(found.snippet),
      cutDeeper(report.model) ? ` (${DEEPER})` : null,
    ),
  );
  show(found.place, query);
}

// The panel under the header (the ticket, a copied link); Escape closes it.
function panel(...content) {
  const close = h('button', { type: 'button', on: { click: closePanel } }, 'Close');
  ui.panel.replaceChildren(
    h('div', { class: 'ticket', role: 'region', 'aria-label': 'Copied text' }, ...content, close),
  );
  ui.panelOpener = document.activeElement;
}

function closePanel() {
  if (!ui.panel.firstChild) return false;
  ui.panel.textContent = '';
  (ui.panelOpener?.isConnected ? ui.panelOpener : ui.copy).focus();
  return true;
}

function copyForTicket() {
  if (!currentReport()) return;
  const text = ticketText();
  const area = h('textarea', {
    class: 'ticket-text',
    readonly: true,
    'aria-label': 'Summary for a ticket',
  });
  area.value = text;
  panel(h('p', null, 'Copied to the clipboard (Escape closes this):'), area);
  ui.panelOpener = ui.copy;
  area.select();
  navigator.clipboard?.writeText(text).catch(() => document.execCommand('copy'));
}

function onKey(e) {
  const typing = /^(INPUT|TEXTAREA|SELECT)$/.test(e.target.tagName) || e.target.isContentEditable;
  if (e.key === '/' && !typing && !e.ctrlKey && !e.metaKey && !e.altKey) {
    e.preventDefault();
    ui.search.focus();
    ui.search.select();
  } else if (e.key === 'Escape' && closePanel()) e.preventDefault();
}

function welcome() {
  return h(
    'div',
    { class: 'welcome' },
    h('h2', null, 'Drop Vitascan reports here'),
    h(
      'p',
      null,
      'or choose them (or a folder of them) with the buttons above. Reports are read in ' +
        'this browser only: nothing is uploaded and nothing is fetched.',
    ),
    state.pending ? h('p', { class: 'waiting' }, awaited(parseAddress(state.pending))) : null,
  );
}

// Printing shows the view alone and every row of its tables; with Redact on, the report
// text printed is redacted as every other text that leaves the page, and put back after.
function printWhole(on) {
  for (const [el, children] of ui.printed ?? []) el.replaceChildren(...children);
  ui.printed = null;
  for (const t of ui.main.querySelectorAll('.table')) t.printWhole?.(on);
  if (!on || !state.redact) return;
  ui.printed = [];
  for (const el of ui.main.querySelectorAll('bdi')) {
    const text = el.textContent;
    const out = shared(text);
    if (out === text) continue;
    ui.printed.push([el, [...el.childNodes]]);
    el.textContent = out;
  }
}

function fileButton(label, id, props) {
  const input = h('input', { type: 'file', id, accept: '.vitascan,.xml', ...props });
  input.addEventListener('change', () =>
    openFiles([...input.files].filter((f) => !props.webkitdirectory || REPORT_FILE.test(f.name))),
  );
  return [h('label', { for: id, class: 'open' }, label), input];
}

export function start(root) {
  ui.root = root;
  ui.search = h('input', {
    type: 'search',
    placeholder: 'Search (press /), or paste a link',
    'aria-label': 'Search the report, or open a link',
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
  const copyLink = h(
    'button',
    {
      type: 'button',
      class: 'copy-link',
      on: { click: () => currentReport() && cite(state.place) },
    },
    'Copy link',
  );
  const redact = h('input', { type: 'checkbox', class: 'redact' });
  const placeholders = h(
    'button',
    {
      type: 'button',
      class: 'save-placeholders',
      hidden: true,
      title: 'Save which value each placeholder stands for, to keep (it is not sent anywhere)',
      on: { click: () => savePlaceholders(csvText) },
    },
    'Save placeholders',
  );
  redact.addEventListener('change', () => {
    setRedact(redact.checked);
    placeholders.hidden = !redact.checked;
  });
  ui.panel = h('div');
  // Packs built into this copy of the viewer, then those remembered in this browser.
  const packProblems = startPacks(typeof BAKED_PACKS === 'undefined' ? [] : BAKED_PACKS);
  ui.packs = packsPanelOf();
  ui.main = h('main', { tabindex: '-1' }, welcome());
  followLinks(ui.main);
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
      fileButton('Open reports', 'open-reports', { multiple: true }),
      fileButton('Open a folder', 'open-folder', { webkitdirectory: true }),
      fileButton('Open rule packs', 'open-packs', { multiple: true, accept: '.json' }),
      searchBox,
      h(
        'span',
        { class: 'tools' },
        ui.copy,
        copyLink,
        h(
          'label',
          { title: 'Replace personal data in tickets, links and exports' },
          redact,
          ' Redact',
        ),
        placeholders,
      ),
    ),
    ui.searchStatus,
    ui.packs,
    ui.switcher,
    ui.nav,
  );
  root.append(header, ui.messages, ui.panel, ui.main);
  if (packProblems.length) refused(packProblems);
  document.addEventListener('keydown', onKey);
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', async (e) => {
    e.preventDefault();
    openFiles(await droppedFiles(e.dataTransfer));
  });
  // Back, Forward, and a link followed or typed into the address.
  // Traversing the history gives both events; the second finds the place shown already.
  const follow = () => {
    if (location.hash && location.hash === ui.remembered) return;
    if (location.hash) applyAddress(location.hash);
    else if (state.reports.length)
      show({ view: state.reports.length > 1 ? 'machines' : 'overview' }, null, false);
  };
  window.addEventListener('popstate', follow);
  window.addEventListener('hashchange', follow);
  window.addEventListener('beforeprint', () => printWhole(true));
  window.addEventListener('afterprint', () => printWhole(false));
  if (location.hash) {
    awaitAddress(location.hash);
    ui.main.replaceChildren(welcome());
  }
  onAction((place, push) => show(place, null, push));
  ui.root.dataset.ready = 'yes';
}
