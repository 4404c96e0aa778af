// The overview: who wrote the report, and the machine at a glance.
import { h, section, empty, bar, bytesText } from './dom.js';
import { wmiFirst } from './model.js';
import { findingsList } from './findingsView.js';

export function memoryFigures(model) {
  const os = wmiFirst(model, 'Win32_OperatingSystem');
  const totalKb = Number(os.TotalVisibleMemorySize);
  const freeKb = Number(os.FreePhysicalMemory);
  if (totalKb > 0 && freeKb >= 0 && os.FreePhysicalMemory !== '' && os.FreePhysicalMemory !== undefined) return { total: totalKb * 1024, free: freeKb * 1024 };
  const ram = Number(model.system?.memory?.rambytes);
  return ram > 0 ? { total: ram, free: null } : null;
}

const ARCHITECTURES = { 0: 'x86', 5: 'ARM', 6: 'Itanium', 9: 'x64', 12: 'ARM64' };

function line(label, ...value) {
  return h('div', { class: 'kv' }, h('span', { class: 'k' }, label), h('span', { class: 'v' }, ...value));
}

export function renderOverview(model, place, { open, findings }) {
  const os = wmiFirst(model, 'Win32_OperatingSystem');
  const cs = wmiFirst(model, 'Win32_ComputerSystem');
  const cpu = wmiFirst(model, 'Win32_Processor');
  const sys = model.system;
  const time = sys?.time;
  const mem = memoryFigures(model);
  const arch = sys?.processors ? ARCHITECTURES[sys.processors.architecture] ?? `code ${sys.processors.architecture}` : '';
  const report = section('Report',
    line('File', model.fileName),
    line('Written by', `VitascanCmd ${model.versionDisplay || '(no version)'} (version ${model.version})`),
    line('Written at', time ? `${time.date} ${time.time} (${time.tz})` : 'not in the report'));
  const machine = section('Machine',
    line('Operating system', [os.Caption, os.Version && `version ${os.Version}`, os.BuildNumber && `build ${os.BuildNumber}`, os.OSArchitecture || arch].filter(Boolean).join(', ') || 'not in the report'),
    line('Computer', [cs.Manufacturer, cs.Model].filter(Boolean).join(' ') || 'not in the report'),
    line('Processor', [cpu.Name, cpu.NumberOfCores && `${cpu.NumberOfCores} cores`, (cpu.NumberOfLogicalProcessors || sys?.processors?.count) && `${cpu.NumberOfLogicalProcessors || sys.processors.count} logical processors`].filter(Boolean).join(', ') || 'not in the report'),
    h('div', { class: 'kv', dataset: { anchor: 'memory' } }, h('span', { class: 'k' }, 'Memory'), h('span', { class: 'v' }, mem ? (mem.free != null ? bar((mem.total - mem.free) / mem.total, `${bytesText(mem.free)} free of ${bytesText(mem.total)}`) : `${bytesText(mem.total)} (free memory not in the report)`) : 'not in the report')),
    line('Monitors', (sys?.monitors ?? []).map((m) => `${m.width}×${m.height} ${m.monitordesc ?? ''}${m.primary === 'yes' ? ' (primary)' : ''}`).join('; ') || 'none listed'),
    line('Locale', sys?.locale ? [sys.locale.LOCALE_SENGLANGUAGE, sys.locale.LOCALE_SENGCOUNTRY, sys.locale.LCID && `LCID ${sys.locale.LCID}`].filter(Boolean).join(', ') : 'not in the report'),
    line('Time zone', time?.tz || 'not in the report'));
  const drives = section('Fixed drives', model.disks?.length ? model.disks.map((d, i) => h('div', { class: 'kv', dataset: { anchor: `drive-${i}` } },
    h('span', { class: 'k' }, d.drive),
    h('span', { class: 'v' }, d.totalBytes ? bar((d.totalBytes - d.freeBytes) / d.totalBytes, `${bytesText(d.freeBytes)} free of ${bytesText(d.totalBytes)}`) : `${bytesText(d.freeBytes)} free (${d.free}); the report does not give the drive's size`))) : empty('No fixed drives in the report.'));
  const net = section('Network adapters', model.networking?.length ? model.networking.map((a, i) => h('div', { class: 'kv', dataset: { anchor: `adapter-${i}` } },
    h('span', { class: 'k' }, a.description), h('span', { class: 'v' }, [a.address, ...a.ips.map((ip) => `${ip.address}/${ip.mask}`)].join('  ')))) : empty('No network adapters in the report.'));
  const products = h('div', { dataset: { anchor: 'products' } }, section('Products of the maker', model.products?.length ? h('table', { class: 'grid' },
    h('thead', null, h('tr', null, ['Name', 'Version', 'Build label', 'Location', 'Found in'].map((t) => h('th', null, t)))),
    h('tbody', null, model.products.map((p, i) => h('tr', { dataset: { anchor: `product-${i}` } },
      h('td', null, p.name), h('td', null, p.version), h('td', null, p.buildLabel ?? ''), h('td', null, p.location),
      h('td', null, p.registryPath ? h('a', { href: '#', on: { click: (e) => { e.preventDefault(); open({ view: 'registry', path: p.registryPath, value: 'ProductLabel' }); } } }, p.source) : p.source))))) : empty('No products of the maker in the report.')));
  const found = findings();
  const top = h('div', { class: 'findings' }, found ? section(`Findings (${found.length})`, findingsList(found, open)) : section('Findings', empty('Reading the files section…')));
  return h('div', { class: 'overview' }, top, report, machine, drives, net, products);
}
