// The System view's rows: each WMI instance's properties, and beside them Windows
// Installer, Internet Explorer, .NET, processors, memory, the time, monitors and the
// locale. Each row has a key that names the same thing in every report
// (Win32_Processor #2.Name, memory.rambytes, .NET Framework 4.8) and a place, which the
// view, search and compare share, so that no row is found by its position or its words.
import { writtenDate } from './dates.js';

const PARTS = [
  ['processors', 'Processors'],
  ['memory', 'Memory'],
  ['time', 'Time'],
];

const pairs = (record) =>
  Object.entries(record)
    .map(([k, v]) => `${k}=${v}`)
    .join(' ');

// Each WMI instance: { cls, instance, suffix (" #2" when the class has several), rows:
// [{ key, prop, value, place }] }.
export function wmiInstances(sys) {
  return (sys?.wmi ?? []).flatMap((cls) =>
    cls.instances.map((inst, n) => {
      const suffix = cls.instances.length > 1 ? ` #${n + 1}` : '';
      const rows = Object.entries(inst).map(([prop, value]) => ({
        key: `${cls.name}${suffix}.${prop}`,
        prop,
        value,
        place: { view: 'system', cls: cls.name, instance: n, prop },
      }));
      return { cls: cls.name, instance: n, suffix, rows };
    }),
  );
}

// [{ key, label, value }]; with dates, the time written is one row (time.written, whose
// date is the written date) rather than a date and a time apart.
export function systemRows(sys, { dates = false } = {}) {
  if (!sys) return [];
  const rows = [];
  const add = (key, label, value, date = null) => rows.push({ key, label, value, date });
  if (sys.windowsInstaller != null)
    add('Windows Installer', 'Windows Installer', sys.windowsInstaller);
  if (sys.ie != null) add('Internet Explorer', 'Internet Explorer', sys.ie);
  for (const d of sys.dotnet ?? []) add(`.NET Framework ${d.version}`, '.NET Framework', d.version);
  for (const [part, label] of PARTS) {
    const written = dates && part === 'time' ? writtenDate(sys.time) : null;
    if (written) add('time.written', `${label}: written`, written.shown, written);
    for (const [k, v] of Object.entries(sys[part] ?? {}))
      if (!written || (k !== 'time' && k !== 'date')) add(`${part}.${k}`, `${label}: ${k}`, v);
  }
  (sys.monitors ?? []).forEach((m, i) => add(`monitor.${i + 1}`, 'Monitor', pairs(m)));
  if (sys.locale) add('locale', 'Locale', pairs(sys.locale));
  return rows;
}

// The row a place names: by its key, or (in links made before rows had keys) the first row
// of a part such as "memory".
export function systemRowAt(rows, key) {
  if (!key) return -1;
  const exact = rows.findIndex((row) => row.key === key);
  return exact >= 0 ? exact : rows.findIndex((row) => row.key.startsWith(`${key}.`));
}
