// The overview: who wrote the report, and the machine at a glance.
import { h, section, empty, bar, dateView, goLink, placeLink } from './dom.js';
import { table, linkColumn } from './table.js';
import { nodeAt } from '../lib/model.js';
import { machineOf, freeText } from '../lib/facts.js';
import { msg, r } from '../lib/text.js';
import { findingsList } from './findings.js';

// A line of the overview; one with an anchor is an item, with its link.
function line(label, value, anchor = null, linked = false) {
  const props = { class: 'kv', dataset: anchor ? { anchor } : null };
  const link =
    linked && placeLink({ view: 'overview', anchor }, 'Link', 'Copy a link to this line');
  return h(
    'div',
    props,
    h('span', { class: 'k' }, label),
    h('span', { class: 'v' }, value, link && [' ', link]),
  );
}

// Report values joined with the page's own words between them: each stays isolated.
function joined(values, separator = ', ') {
  const present = values.filter((v) => v);
  if (!present.length) return 'not in the report';
  return present
    .flatMap((v, i) => [i ? separator : null, typeof v === 'string' ? r(v) : v])
    .filter(Boolean);
}

function machine(m) {
  const { windows: os, processor: cpu, memory: mem, locale } = m;
  return section(
    'Machine',
    line(
      'Operating system',
      joined([
        os.caption,
        os.version && msg`version ${r(os.version)}`,
        os.build && msg`build ${r(os.build)}`,
        os.architecture,
      ]),
    ),
    line('Maker and model', joined([m.maker, m.model], ' ')),
    line(
      'Processor',
      joined([
        cpu.name,
        cpu.cores && msg`${r(cpu.cores)} cores`,
        cpu.logical && msg`${r(cpu.logical)} logical processors`,
      ]),
    ),
    line(
      'Memory',
      !mem
        ? 'not in the report'
        : mem.free != null
          ? bar((mem.total - mem.free) / mem.total, freeText(mem))
          : freeText(mem),
      'memory',
    ),
    line(
      'Monitors',
      joined(
        m.monitors.map(
          (d) =>
            msg`${r(`${d.width}×${d.height}`)} ${r(d.monitordesc ?? '')}${d.primary === 'yes' ? ' (primary)' : ''}`,
        ),
        '; ',
      ),
    ),
    line(
      'Locale',
      joined([locale.language, locale.country, locale.lcid && msg`LCID ${r(locale.lcid)}`]),
    ),
    line('Time zone', joined([m.timeZone])),
  );
}

function drives(m) {
  const facts = m.drives;
  if (!facts.length) return section('Fixed drives', empty('No fixed drives in the report.'));
  return section(
    'Fixed drives',
    facts.map((d, i) => {
      const shown = d.total
        ? bar(1 - d.share, freeText(d))
        : msg`${freeText(d)}; the report does not give the drive's size`;
      return line(r(d.drive), shown, `drive-${i}`, true);
    }),
  );
}

function products(model) {
  const list = model.products;
  if (!list?.length)
    return h(
      'div',
      { dataset: { anchor: 'products' } },
      section('Products of the maker', empty('No products of the maker in the report.')),
    );
  const labelAt = (p) =>
    nodeAt(model.registry, p.registryAt, 'keys').values.findIndex((v) => v.name === 'ProductLabel');
  const place = (p) => ({ view: 'registry', key: p.registryAt, value: labelAt(p) });
  const found = (p) => (p.registryAt ? goLink(r(p.source), place(p)) : p.source);
  const columns = [
    { label: 'Name', get: (p) => p.name },
    { label: 'Version', nowrap: true, get: (p) => p.version },
    { label: 'Build label', nowrap: true, get: (p) => p.buildLabel ?? '' },
    { label: 'Location', get: (p) => p.location },
    { label: 'Found in', get: found, text: (p) => p.source },
    linkColumn((_, i) => ({ view: 'overview', anchor: `product-${i}` })),
  ];
  // Rows carry their anchor, so that a finding or a compare item can point at one.
  const t = table(columns, list, {
    name: 'products',
    rowData: (_, i) => ({ anchor: `product-${i}` }),
  });
  return h('div', { dataset: { anchor: 'products' } }, section('Products of the maker', t));
}

function written({ time, written: date }) {
  if (!time) return 'not in the report';
  return date ? dateView(date) : msg`${r(`${time.date} ${time.time}`)} (${r(time.tz)})`;
}

export function renderOverview({ model, findings, pending }, place) {
  const m = machineOf(model);
  const report = section(
    'Report',
    line('File', r(model.fileName)),
    line(
      'Written by',
      msg`VitascanCmd ${r(model.versionDisplay || '(no version)')} (version ${r(model.version)})`,
    ),
    line('Written at', written(m)),
  );
  const net = section(
    'Network adapters',
    model.networking?.length
      ? model.networking.map((a, i) =>
          line(
            r(a.description),
            joined([a.address, ...a.ips.map((ip) => `${ip.address}/${ip.mask}`)], '  '),
            `adapter-${i}`,
            true,
          ),
        )
      : empty('No network adapters in the report.'),
  );
  const found = findings;
  const top = h(
    'div',
    { class: 'findings' },
    found
      ? section(`Findings (${found.length})`, findingsList(found))
      : section('Findings', empty(pending)),
  );
  const name = m.computer;
  const heading = h(
    'h2',
    { class: 'computer-name' },
    name ? msg`Computer ${r(name)}` : 'Computer name not in the report',
  );
  return h(
    'div',
    { class: 'overview' },
    heading,
    top,
    report,
    machine(m),
    drives(m),
    net,
    products(model),
  );
}
