// Entry point of the page.
import { start } from './app.js';

start(document.getElementById('app'));
