// Entry point of the page.
import { start } from './page.js';

start(document.getElementById('app'));
