// What a view says before its content about the parts it shows: that the file ends inside
// or before them, and where they do not match the report format. And the "Other content"
// view: elements the format does not have where they stand, with their place.
import { h, section, empty } from './dom.js';
import { table } from './table.js';
import { partCut, cutText, incompleteParts } from '../lib/model.js';
import { msg, r } from '../lib/text.js';

// The parts each view shows.
const VIEW_PARTS = {
  overview: ['networking', 'system', 'disks', 'products'],
  system: ['system'],
  environment: ['system'],
  registry: ['registry'],
  files: ['filesystem'],
  processes: ['processes'],
  events: ['events'],
  groups: ['groups'],
};
// When each view has nothing of its own to show: a cut report then shows only its note,
// never that the report has no such section.
const NOTHING = {
  system: (m) => !m.system,
  environment: (m) => !m.system?.environment,
  registry: (m) => !m.registry,
  files: (m) => !m.filesystem,
  processes: (m) => !m.processes?.length,
  events: (m) => !m.events,
  groups: (m) => !m.groups.length,
};
const SHOWN_PROBLEMS = 3;

function note(kind, text) {
  return h('p', { class: `note ${kind}`, role: 'note' }, text);
}

// "line 10: <time> is out of its place; 2 more."
function problemsText(problems, count) {
  const parts = [];
  problems
    .slice(0, SHOWN_PROBLEMS)
    .forEach((p, i) => parts.push(...msg`${i ? '; ' : ''}line ${p.line}: ${r(p.message)}`));
  if (count > SHOWN_PROBLEMS) parts.push(`; ${count - SHOWN_PROBLEMS} more`);
  return [...parts, '.'];
}

// The schema's verdict on a report, for the message shown when it is opened; null when it
// matches.
export function schemaText(model) {
  const s = model.schema;
  if (!s?.count) return null;
  const n = s.count === 1 ? '1 problem' : `${s.count} problems`;
  return msg`${r(model.fileName)} does not match the report format (${n}): ${problemsText(s.problems, s.count)}`;
}

// The notes of a view: { notes, instead }, instead when the view has nothing read to show.
export function viewNotes(model, view) {
  const notes = [];
  let instead = false;
  const parts = VIEW_PARTS[view] ?? [];
  if (view === 'findings' || view === 'compare' || view === 'overview') {
    const incomplete = incompleteParts(model);
    if (incomplete.length)
      notes.push(
        note(
          'cut',
          msg`${r(model.fileName)} is incomplete: ${incomplete.join('; ')}. Findings and differences cover only what was read.`,
        ),
      );
  } else {
    for (const part of parts) {
      const cut = partCut(model, part);
      if (!cut) continue;
      notes.push(note('cut', cutText(cut)));
      if (NOTHING[view]?.(model)) instead = true;
    }
  }
  const problems = (model.schema?.problems ?? []).filter((p) => parts.includes(p.part));
  if (problems.length) {
    notes.push(
      note(
        'schema',
        msg`Not as the report format has it: ${problemsText(problems, problems.length)}`,
      ),
    );
  }
  return { notes, instead };
}

export function renderOther({ model }) {
  if (!model.otherCount) return empty('The report holds nothing that the format does not have.');
  const columns = [
    { label: 'Element', get: (o) => `<${o.name}>` },
    { label: 'Line', num: true, get: (o) => String(o.line) },
    { label: 'Inside', get: (o) => (o.place.length ? o.place.join(' › ') : 'the report itself') },
  ];
  const t = table(columns, model.other, { filter: 'Filter other content', name: 'other' });
  const more =
    model.otherCount > model.other.length
      ? ` The first ${model.other.length} of ${model.otherCount} are listed.`
      : '';
  return section(
    'Other content',
    h(
      'p',
      null,
      'Elements that the report format does not have where they stand, perhaps written by a newer VitascanCmd. ' +
        `The viewer reads the rest of the report without them.${more}`,
    ),
    t,
  );
}
