// The plain-text summary for a ticket: the overview's key lines and the findings of one
// report, each with its place in words; on the Compare page, both reports, the findings
// that are new in After and those resolved, and the real differences; on the Machines
// page, one line per machine. Kept short enough to paste; format characters from a
// report are written as visible markers.
import { machineOf, freeText } from './facts.js';
import { realDifferences } from './compare.js';
import { findingChanges } from './findings.js';
import { plain, visible } from './text.js';
import { placeWords } from './address.js';
import { bytesText, counted } from './format.js';

export const MAX_DIFFERENCE_LINES = 15;

function reportLines(model) {
  const m = machineOf(model);
  const t = m.time;
  const { caption, version, build, architecture } = m.windows;
  const windows = [caption, version, build && `build ${build}`, architecture];
  const cpus = m.processor.logical ? `, ${m.processor.logical} logical processors` : '';
  const lines = [
    `Computer ${m.computer || 'name not in the report'}`,
    `Vitascan report ${model.fileName} (VitascanCmd ${model.versionDisplay || model.version})` +
      (t ? `, written ${m.written?.shown ?? `${t.date} ${t.time} ${t.tz}`}` : ''),
    `Windows: ${windows.filter(Boolean).join(', ') || 'not in the report'}`,
    `Maker and model: ${[m.maker, m.model].filter(Boolean).join(' ') || '?'}; ${m.processor.name || 'processor ?'}${cpus}`,
  ];
  if (m.memory) lines.push(`Memory: ${freeText(m.memory)}`);
  if (m.drives.length)
    lines.push(`Drives: ${m.drives.map((d) => `${d.drive} ${freeText(d)}`).join('; ')}`);
  if (model.products) {
    const names = model.products.map((p) => `${p.name} ${p.version}`.trim()).join('; ');
    lines.push(`Products: ${names || 'none found'}`);
  }
  if (model.broken)
    lines.push(`The report is broken at line ${model.broken.line}: ${model.broken.message}`);
  return lines.map(visible);
}

function findingLines(title, findings, model) {
  if (!findings.length) return [`${title}: none`];
  return [
    `${title} (${findings.length}):`,
    ...findings.map(
      (f) =>
        `- [${f.severity}] ${plain(f.text)} (${placeWords(model, f.place)})` +
        // A known issue cites its article.
        (f.known?.link ? `; see ${visible(f.known.link)}` : ''),
    ),
  ];
}

export function reportTicket(model, findings) {
  return `${[...reportLines(model), '', ...findingLines('Findings', findings, model)].join('\n')}\n`;
}

// rows: [{ label, facts }] with facts from machineFacts.
export function machinesTicket(rows) {
  const lines = rows.map(({ label, facts: f }) => {
    const windows = [f.windows, f.version, f.build && `build ${f.build}`].filter(Boolean);
    const products = f.products.map((p) => `${p.name} ${p.version}`.trim()).join(', ');
    const { problem, warning, note } = f.counts;
    return [
      `- ${label}: ${f.computer || 'computer ?'}`,
      windows.join(' ') || 'Windows ?',
      f.memory ? `memory ${bytesText(f.memory)}` : 'memory ?',
      f.drive ? `${f.drive} ${bytesText(f.free)} free` : 'system drive ?',
      `products: ${products || 'none'}`,
      `${counted(problem, 'problem')}, ${counted(warning, 'warning')}, ${counted(note, 'note')}`,
      ...(f.known?.count ? [`known issues ${[...f.known.titles.keys()].join(', ')}`] : []),
      `written ${f.written?.shown ?? '?'}`,
    ].join('; ');
  });
  return `${[`Machines (${rows.length}):`, ...lines.map(visible)].join('\n')}\n`;
}

// before and after: { model, findings }; sections: compareModels of the two.
export function pairTicket(before, after, sections) {
  const changes = findingChanges(before.findings, after.findings);
  const lines = [
    `Compared: Before ${visible(before.model.fileName)}, After ${visible(after.model.fileName)}`,
    '',
    'Before:',
    ...reportLines(before.model),
    '',
    'After:',
    ...reportLines(after.model),
    '',
    ...findingLines('Findings new in After', changes.added, after.model),
    ...findingLines('Findings resolved in After', changes.resolved, before.model),
    '',
    `Differences from ${visible(before.model.fileName)} to ${visible(after.model.fileName)}:`,
    sections
      .map((s) => `${s.label} +${s.counts.added} -${s.counts.removed} ~${s.counts.changed}`)
      .join('; '),
  ];
  const diffs = sections.flatMap((s) =>
    realDifferences(s).map((i) => {
      const change = i.status === 'changed' ? `: ${visible(i.before)} -> ${visible(i.after)}` : '';
      return `- ${s.label}: ${i.status} ${visible(i.key)}${change}`;
    }),
  );
  lines.push(...diffs.slice(0, MAX_DIFFERENCE_LINES));
  if (diffs.length > MAX_DIFFERENCE_LINES) {
    lines.push(`- … and ${diffs.length - MAX_DIFFERENCE_LINES} more (${diffs.length} in all)`);
  }
  const quiet = sections.reduce((n, s) => n + s.counts.volatile, 0);
  if (quiet)
    lines.push(
      `(${quiet} values that change on every run, such as free memory and times, not listed)`,
    );
  return `${lines.join('\n')}\n`;
}
