// Tables as CSV text (RFC 4180): every field quoted, quotes doubled, records ended by CR LF.
// A value that a spreadsheet would run as a formula (it starts with =, +, -, @, a tab or a
// carriage return) is prefixed with an apostrophe, so that it is read as text; a plain
// number such as -5 is left a number. The text itself is the report's: format characters
// are kept, as a spreadsheet shows them as they are.

const FORMULA_START = /^[=+\-@\t\r]/;
const PLAIN_NUMBER = /^-?\d+(\.\d+)?$/;

export function csvField(value) {
  let text = String(value ?? '');
  if (FORMULA_START.test(text) && !PLAIN_NUMBER.test(text)) text = `'${text}`;
  return `"${text.replace(/"/g, '""')}"`;
}

// records: arrays of values, the first one the headings.
export function csvText(records) {
  return records.map((fields) => `${fields.map(csvField).join(',')}\r\n`).join('');
}
