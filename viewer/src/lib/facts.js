// The machine's name, memory and drives as the report gives them, read once for the overview,
// the findings, compare and the ticket. Sizes are in bytes.
import { wmiFirst } from './model.js';
import { bytesText, percentText } from './format.js';

// The computer's name as Windows gives it, or "".
export function computerName(model) {
  const os = wmiFirst(model, 'Win32_OperatingSystem');
  const cs = wmiFirst(model, 'Win32_ComputerSystem');
  const cpu = wmiFirst(model, 'Win32_Processor');
  const env = model.system?.environment?.find((v) => v.name.toUpperCase() === 'COMPUTERNAME');
  return os.CSName || cs.Name || cs.DNSHostName || cpu.SystemName || env?.value || '';
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
