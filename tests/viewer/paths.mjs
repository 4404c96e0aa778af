// Where the viewer's tests find the built page and the reports made for them.
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';

const top = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
export const BUILD_DIR = process.env.VITASCAN_BUILD_DIR ?? join(top, 'build', 'mingw');
export const REPORT_DIR = join(BUILD_DIR, 'viewer-tests');
export const VIEWER_HTML = join(BUILD_DIR, 'bin', 'VitascanViewer.html');
export const SCREENSHOT_DIR = join(BUILD_DIR, 'viewer-screenshots');
export const FIXTURE_PRODUCT = { key: 'ViewerFixture', label: 'Viewer Fixture Product', version: '3.1.4' };
