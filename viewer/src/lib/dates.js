// Dates as the report writes them, read by the form each one is documented to have, and
// shown as ISO 8601. Nothing is guessed: the report's own dates are day first
// (dd/mm/yyyy for the time it was written, day/month/year in UTC for a file's last write),
// and WMI writes yyyymmddHHMMSS.ffffff with its offset from UTC in minutes. A text in no
// such form is not a date and is shown as it is.

const DAY_FIRST = /^(\d{1,2})\/(\d{1,2})\/(\d{4})(?: (\d{1,2}):(\d{2}):(\d{2}))?$/;
const WMI = /^(\d{4})(\d{2})(\d{2})(\d{2})(\d{2})(\d{2})\.\d{1,6}([+-])(\d{1,3})$/;
const TIME = /^(\d{1,2}):(\d{2}):(\d{2})$/;

// Day, month and year as read, in the order made() takes them.
const ymd = (m) => [m[3], m[2], m[1]];
const two = (n) => String(n).padStart(2, '0');
const offsetText = (min) =>
  `${min < 0 ? '-' : '+'}${two(Math.floor(Math.abs(min) / 60))}:${two(Math.abs(min) % 60)}`;

// { text, at, zone, shown, iso, ms } where at is "2026-12-07 19:47:02", shown that and the
// zone, iso the machine form for a <time> element, ms the instant for sorting (the local
// time taken as UTC when only a zone's name is known); null when the parts make no date.
function made(text, [y, mo, d, h = 0, mi = 0, s = 0], zone, offsetMinutes) {
  const local = Date.UTC(y, mo - 1, d, h, mi, s);
  const back = new Date(local);
  const real = back.getUTCFullYear() === y && back.getUTCMonth() === mo - 1;
  if (!real || back.getUTCDate() !== d || h > 23 || mi > 59 || s > 59) return null;
  const at = `${y}-${two(mo)}-${two(d)} ${two(h)}:${two(mi)}:${two(s)}`;
  return {
    text,
    at,
    zone,
    shown: zone ? `${at} ${zone}` : at,
    iso: `${at.replace(' ', 'T')}${offsetMinutes == null ? '' : offsetText(offsetMinutes)}`,
    ms: local - (offsetMinutes ?? 0) * 60000,
  };
}

// A file's last write: "04/12/2026 9:05:07", in UTC.
export function fileDate(text) {
  const m = DAY_FIRST.exec(text ?? '');
  if (!m || m[4] == null) return null;
  return made(text, [...ymd(m), ...m.slice(4)].map(Number), 'UTC', 0);
}

// A WMI date and time: "20261207194702.279000+060" is 19:47:02 at UTC+01:00.
export function wmiDate(text) {
  const m = WMI.exec(text ?? '');
  if (!m) return null;
  const offset = Number(m[8]) * (m[7] === '-' ? -1 : 1);
  return made(text, m.slice(1, 7).map(Number), offsetText(offset), offset);
}

// When the report was written: its <time> element, local time with the zone's name.
export function writtenDate(time) {
  if (!time) return null;
  const day = DAY_FIRST.exec(time.date ?? '');
  const clock = TIME.exec(time.time ?? '');
  if (!day || day[4] != null || !clock) return null;
  const parts = [...ymd(day), ...clock.slice(1)].map(Number);
  return made(`${time.date} ${time.time}`, parts, time.tz || null, null);
}
