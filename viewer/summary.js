// The plain-text summary for a ticket: the overview's key lines, the findings, and the
// differences when two reports are compared. Kept short enough to paste.
import { wmiFirst } from './model.js';
import { differenceCount } from './compare.js';

export const MAX_DIFFERENCE_LINES = 15;

const GB = 1024 ** 3;

export function ticketSummary(model, findings, comparison = null) {
  const os = wmiFirst(model, 'Win32_OperatingSystem');
  const cs = wmiFirst(model, 'Win32_ComputerSystem');
  const cpu = wmiFirst(model, 'Win32_Processor');
  const t = model.system?.time;
  const lines = [
    `Vitascan report ${model.fileName} (VitascanCmd ${model.versionDisplay || model.version})${t ? `, written ${t.date} ${t.time} ${t.tz}` : ''}`,
    `Windows: ${[os.Caption, os.Version, os.BuildNumber && `build ${os.BuildNumber}`, os.OSArchitecture].filter(Boolean).join(', ') || 'not in the report'}`,
    `Computer: ${[cs.Manufacturer, cs.Model].filter(Boolean).join(' ') || '?'}; ${cpu.Name || 'processor ?'}${cpu.NumberOfLogicalProcessors ? `, ${cpu.NumberOfLogicalProcessors} logical processors` : ''}`,
  ];
  if (os.TotalVisibleMemorySize) lines.push(`Memory: ${(Number(os.FreePhysicalMemory) / 1048576).toFixed(1)} GB free of ${(Number(os.TotalVisibleMemorySize) / 1048576).toFixed(1)} GB`);
  if (model.disks?.length) lines.push(`Drives: ${model.disks.map((d) => `${d.drive} ${((d.freeBytes ?? 0) / GB).toFixed(1)} GB free`).join('; ')}`);
  if (model.products) lines.push(`Products: ${model.products.map((p) => `${p.name} ${p.version}`.trim()).join('; ') || 'none found'}`);
  if (model.broken) lines.push(`The report is broken at line ${model.broken.line}: ${model.broken.message}`);
  lines.push('', findings.length ? `Findings (${findings.length}):` : 'Findings: none');
  for (const f of findings) lines.push(`- [${f.severity}] ${f.text}`);
  if (comparison) {
    lines.push('', `Differences from ${comparison.before} to ${comparison.after}:`);
    lines.push(comparison.sections.map((s) => `${s.label} +${s.counts.added} -${s.counts.removed} ~${s.counts.changed}`).join('; '));
    const diffs = comparison.sections.flatMap((s) => s.items.filter((i) => i.status !== 'same').map((i) => `- ${s.label}: ${i.status} ${i.key}${i.status === 'changed' ? `: ${i.before} -> ${i.after}` : ''}`));
    lines.push(...diffs.slice(0, MAX_DIFFERENCE_LINES));
    if (diffs.length > MAX_DIFFERENCE_LINES) lines.push(`- … and ${diffs.length - MAX_DIFFERENCE_LINES} more (${comparison.sections.reduce((n, s) => n + differenceCount(s), 0)} in all)`);
  }
  return `${lines.join('\n')}\n`;
}
