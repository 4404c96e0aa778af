// The machine a report describes, as the report gives it: one summary (its name, Windows,
// maker, processor, memory, drives, locale, when the report was written) that the overview,
// the ticket, the Machines view and redaction all read, so that they never disagree. The
// memory and drive facts serve the findings and compare too. Sizes are in bytes; a value
// the report does not give is "" (texts) or null.
import { wmiFirst } from './model.js';
import { writtenDate } from './dates.js';
import { bytesText, percentText } from './format.js';

const ARCHITECTURES = { 0: 'x86', 5: 'ARM', 6: 'Itanium', 9: 'x64', 12: 'ARM64' };

const same = (a, b) => a.toLowerCase() === b.toLowerCase();

export function machineOf(model) {
  const os = wmiFirst(model, 'Win32_OperatingSystem');
  const cs = wmiFirst(model, 'Win32_ComputerSystem');
  const cpu = wmiFirst(model, 'Win32_Processor');
  const sys = model.system;
  const env = sys?.environment?.find((v) => v.name.toUpperCase() === 'COMPUTERNAME');
  const arch = sys?.processors
    ? (ARCHITECTURES[sys.processors.architecture] ?? `code ${sys.processors.architecture}`)
    : '';
  const drives = driveFacts(model);
  // The system drive as Windows names it ("C:"), else C:.
  const systemDrive = (os.SystemDrive || 'C:').slice(0, 2);
  const locale = sys?.locale;
  return {
    computer: os.CSName || cs.Name || cs.DNSHostName || cpu.SystemName || env?.value || '',
    windows: {
      caption: os.Caption ?? '',
      version: os.Version ?? '',
      build: os.BuildNumber ?? '',
      architecture: os.OSArchitecture || arch,
    },
    maker: cs.Manufacturer ?? '',
    model: cs.Model ?? '',
    processor: {
      name: cpu.Name ?? '',
      cores: cpu.NumberOfCores ?? '',
      logical: cpu.NumberOfLogicalProcessors || sys?.processors?.count || '',
    },
    memory: memoryFacts(model),
    drives,
    systemDrive: drives.find((d) => same(d.drive.slice(0, 2), systemDrive)) ?? null,
    monitors: sys?.monitors ?? [],
    locale: {
      language: locale?.LOCALE_SENGLANGUAGE ?? '',
      country: locale?.LOCALE_SENGCOUNTRY ?? '',
      lcid: locale?.LCID ?? '',
    },
    timeZone: sys?.time?.tz ?? '',
    // The time written as a date (null when the report's time is no date), and as written.
    written: writtenDate(sys?.time),
    time: sys?.time ?? null,
    products: (model.products ?? []).map((p) => ({ name: p.name, version: p.version })),
  };
}

// { total, free } (free null when the report does not give it), or null.
export function memoryFacts(model) {
  const os = wmiFirst(model, 'Win32_OperatingSystem');
  const totalKb = Number(os.TotalVisibleMemorySize);
  const freeKb = /^\d+$/.test(os.FreePhysicalMemory ?? '') ? Number(os.FreePhysicalMemory) : null;
  if (totalKb > 0) return { total: totalKb * 1024, free: freeKb === null ? null : freeKb * 1024 };
  const ram = Number(model.system?.memory?.rambytes);
  return ram > 0 ? { total: ram, free: null } : null;
}

// One entry per fixed drive: { drive, free, total, share } where share is the free part
// of the size, null when the size is not in the report.
export function driveFacts(model) {
  return (model.disks ?? []).map((d) => ({
    drive: d.drive,
    free: d.freeBytes,
    total: d.totalBytes || null,
    share: d.totalBytes && d.freeBytes != null ? d.freeBytes / d.totalBytes : null,
  }));
}

// "6.0 GB free of 16.0 GB (38 %)" or "80.0 GB free".
export function freeText({ free, total }) {
  if (free == null) return total ? `${bytesText(total)}, free part not in the report` : '';
  if (!total) return `${bytesText(free)} free`;
  return `${bytesText(free)} free of ${bytesText(total)} (${percentText(free / total)})`;
}
