// The page: converts the text as it is typed, shows the per-word decisions,
// converts chosen or dropped files, and registers the service worker that
// keeps the page working offline. All conversion happens in vexo.wasm.
'use strict';

const kMaxDecisionRows = 2000;
const kNoMemory = 'Xotira yetmadi; matn yoki fayl juda katta';

const $ = (id) => document.getElementById(id);
let vexo = null;

// Calls into the module. A module that ran out of memory cannot be used
// again: a fresh one replaces it and the call reports the failure.
function call(name, ...args) {
  try {
    return vexo[name](...args);
  } catch (failure) {
    console.error(`vexo: ${failure}`);
    vexo = null;
    createVexo().then((module) => { vexo = module; window.vexo = module; });
    return { error: kNoMemory };
  }
}

// Messages and labels from the converter are written in the old spelling.
const shownCache = new Map();
function shown(message) {
  if (!vexo) return message;
  if (!shownCache.has(message)) shownCache.set(message, call('convert', message, true).text || message);
  return shownCache.get(message);
}

function direction() {
  return document.querySelector('input[name=direction]:checked').value;
}

function convertText(text) {
  text = text.toWellFormed ? text.toWellFormed() : text;
  switch (direction()) {
    case 'old': return call('toOld', text, $('ascii').checked);
    case 'cyr': return call('toCyrillic', text);
    default:
      return $('show-decisions').checked ? call('explain', text, $('guard').checked)
                                         : call('convert', text, $('guard').checked);
  }
}

function update() {
  if (!vexo) return;
  const result = convertText($('input').value);
  $('output').value = result.error ? shown(result.error) : result.text;
  $('output').classList.toggle('error', Boolean(result.error));
  showDecisions(result);
}

function showDecisions(result) {
  const box = $('decisions');
  box.hidden = !$('show-decisions').checked;
  if (box.hidden) return;
  const marked = $('marked');
  const body = document.querySelector('#decision-table tbody');
  marked.replaceChildren();
  body.replaceChildren();
  const words = result.words;
  $('decision-table').hidden = !words;
  $('decisions-more').hidden = !words || words.length <= kMaxDecisionRows;
  if (!words) {
    marked.textContent = 'Qarorlar faqat yangi alifboga ögirişda körsatiladi.';
    return;
  }
  const text = document.createDocumentFragment();
  const rows = document.createDocumentFragment();
  words.forEach((w, i) => {
    const changed = w.converted !== w.word;
    const label = shown(w.label);
    text.append(w.before);
    if (changed) {
      const mark = document.createElement('mark');
      mark.textContent = w.converted;
      mark.title = `${w.word} → ${w.converted}: ${label}`;
      text.append(mark);
    } else {
      text.append(w.converted);
    }
    if (i >= kMaxDecisionRows) return;
    const row = document.createElement('tr');
    row.classList.toggle('changed', changed);
    for (const [value, cls] of [[w.word], [w.converted], [label], [(Math.abs(w.score) < 0.005 ? 0 : w.score).toFixed(2), 'score']]) {
      const cell = document.createElement('td');
      cell.textContent = value;
      if (cls) cell.className = cls;
      row.append(cell);
    }
    rows.append(row);
  });
  text.append(result.tail);
  marked.append(text);
  body.append(rows);
}

// Converting is quick, but a long text is converted again only after a pause.
let timer = 0;
function scheduleUpdate() {
  clearTimeout(timer);
  timer = setTimeout(update, Math.min(400, 60 + $('input').value.length / 2000));
}

async function copyResult() {
  const status = $('copy-status');
  try {
    await navigator.clipboard.writeText($('output').value);
    status.textContent = 'Nusxa olindi';
  } catch {
    $('output').select();
    status.textContent = 'Nusxa olib bölmadi: natijani belgilab, özingiz nusxa oling';
  }
  setTimeout(() => { status.textContent = ''; }, 3000);
}

// One line per file: the output name with a download link and the number of
// changes, or the file's error.
async function convertFiles(files) {
  const list = $('file-results');
  const old = direction() === 'old';
  for (const file of files) {
    const item = document.createElement('li');
    const bytes = new Uint8Array(await file.arrayBuffer());
    const result = vexo ? call('convertFile', file.name, bytes, old, $('ascii').checked)
                        : { error: 'Sahifani yuklab bölmadi' };
    if (result.error) {
      item.className = 'error';
      item.textContent = `${file.name}: ${shown(result.error)}`;
    } else {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(new Blob([result.bytes], { type: file.type }));
      link.download = result.name;
      link.textContent = result.name;
      link.setAttribute('aria-label', `Yuklab oliş: ${result.name}`);
      item.append(`${file.name} → `, link, ` (${result.changes} ta özgariş)`);
    }
    list.prepend(item);
  }
}

function setUp() {
  $('input').addEventListener('input', scheduleUpdate);
  for (const control of document.querySelectorAll('#options input, #show-decisions')) {
    control.addEventListener('change', () => {
      const dir = direction();
      $('ascii').disabled = dir !== 'old';
      $('guard').disabled = dir !== 'new';
      update();
    });
  }
  $('ascii').disabled = true;
  $('copy').addEventListener('click', copyResult);
  $('files').addEventListener('change', async (event) => {
    await convertFiles([...event.target.files]);
    event.target.value = '';
  });
  const drop = $('drop');
  drop.addEventListener('dragover', (event) => { event.preventDefault(); drop.classList.add('over'); });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    convertFiles([...event.dataTransfer.files]);
  });
  createVexo().then((module) => {
    vexo = module;
    window.vexo = module;  // for the browser test and the curious
    $('loading').hidden = true;
    document.body.dataset.ready = '1';
    update();
  }, (failure) => {
    console.error(failure);
    $('loading').textContent = 'Sahifani yuklab bölmadi';
    $('loading').classList.add('error');
  });
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js');
}

setUp();
