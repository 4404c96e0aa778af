// The stand-in for the browser's DOMParser in Node: xmldom stops at the first fatal
// error, so a broken document reads as a parse error with no content here; what
// Chromium shows of a broken document is checked in the page tests.
import { DOMParser } from '@xmldom/xmldom';
import { readFileSync } from 'node:fs';
import { readReport } from '../../viewer/model.js';

export function parseXml(text) {
  try {
    return { doc: new DOMParser({ onError: () => {} }).parseFromString(text, 'application/xml'), error: null };
  } catch (e) {
    const doc = new DOMParser().parseFromString('<parsererror/>', 'application/xml');
    return { doc, error: { message: e.message, line: null, column: null } };
  }
}

export function model(text, name = 'test.vitascan') {
  return readReport(text, name, parseXml);
}

export function modelOfFile(path) {
  return model(readFileSync(path, 'latin1'), path.split('/').pop());
}
