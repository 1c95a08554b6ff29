'use strict';
// The search page: every name from the catalogue goes in as text
// (textContent), never as markup, and every address is built by
// encodeURIComponent or taken whole from the API's Url field.

const $ = (id) => document.getElementById(id);

function el(tag, text, cls) {
  const e = document.createElement(tag);
  if (text !== undefined && text !== null) e.textContent = String(text);
  if (cls) e.className = cls;
  return e;
}

// Control characters and the marks that turn text's direction round are
// shown as their code, so that "\u202Egnp.exe" cannot pass for "exe.png".
const hidden = /[\u0000-\u001f\u007f-\u009f\u061c\u200e\u200f\u202a-\u202e\u2066-\u2069]/g;
function visible(text) {
  return String(text).replace(hidden, (c) => '\\u' + c.charCodeAt(0).toString(16).toUpperCase().padStart(4, '0'));
}

// A name isolated from the text around it.
function nameText(text) {
  return el('bdi', visible(text));
}

function sizeText(bytes) {
  if (bytes === null || bytes === undefined) return '';
  const units = ['B', 'K', 'M', 'G', 'T'];
  let n = Number(bytes), u = 0;
  while (n >= 1024 && u < units.length - 1) { n /= 1024; ++u; }
  return (u === 0 ? String(n) : n.toFixed(1)) + ' ' + units[u];
}

async function getJson(path, params) {
  const query = new URLSearchParams();
  for (const [k, v] of Object.entries(params || {}))
    if (v !== '' && v !== null && v !== undefined) query.set(k, v);
  const answer = await fetch(path + (query.toString() ? '?' + query : ''), { headers: { Accept: 'application/json' } });
  if (answer.status === 401) { window.location.assign('/login'); throw new Error('This server needs its token'); }
  const body = await answer.json();
  if (!answer.ok) throw new Error(body.error || ('The server answered ' + answer.status));
  return body;
}

function folderLink(path, text) {
  const a = el('a');
  a.href = '#folder=' + encodeURIComponent(path);
  a.append(nameText(text === undefined ? path : text));
  return a;
}

function folderOf(path) {
  const cut = path.lastIndexOf('/');
  return cut > 0 ? path.slice(0, cut) : path;
}

// One result: its path (the folder a link into the tree), size, date and ftp:// link.
function resultItem(row) {
  const li = el('li', null, row.ext === '<DIR>' ? 'row folder' : 'row');
  const path = el('div', null, 'path');
  if (row.ext === '<DIR>') path.append(folderLink(row.Path));
  else path.append(folderLink(folderOf(row.Path), folderOf(row.Path) + '/'), nameText(row.Path.slice(folderOf(row.Path).length + 1)));
  const facts = el('div', null, 'facts');
  facts.append(el('span', sizeText(row.Size), 'size'), el('span', row.Date ? row.Date.replace('T', ' ').replace('Z', '') : '', 'date'));
  if (typeof row.Url === 'string' && row.Url.startsWith('ftp://')) {
    const a = el('a', 'ftp://', 'url');
    a.href = row.Url;
    a.rel = 'noreferrer';
    facts.append(a);
  }
  li.append(path, facts);
  return li;
}

function pager(listId, moreId, statusId, load) {
  let next = null;
  const more = $(moreId);
  async function page(first, params) {
    const status = $(statusId);
    status.textContent = 'Searching…';
    try {
      const body = await load(Object.assign({}, params, first ? {} : { after: next }));
      if (first) $(listId).replaceChildren();
      for (const row of body.results) $(listId).append(resultItem(row));
      next = body.next;
      more.hidden = !next;
      const shown = $(listId).children.length;
      status.textContent = shown ? shown + (next ? '+' : '') + ' found' : 'Nothing found';
    } catch (e) {
      status.textContent = e.message;
      more.hidden = true;
    }
  }
  return page;
}

// The form's terms as /api/search takes them; a plain word is found anywhere in names.
function searchParams() {
  const p = {};
  for (const id of ['q', 'type', 'kind', 'min_size', 'max_size', 'newer', 'older', 'host', 'under', 'sort', 'order'])
    p[id] = $(id).value.trim();
  p.regex = $('regex').checked ? '1' : '';
  if (p.q && !p.regex && !/[%_]/.test(p.q)) p.q = '%' + p.q + '%';
  return p;
}

let lastSearch = {};
const searchPage = pager('results', 'search-more', 'search-status', (params) => getJson('/api/search', params));
let lastFolder = '';
const folderPage = pager('folder', 'folder-more', 'folder-status', (params) => getJson('/api/folder', params));

function show(view) {
  for (const v of ['search', 'hosts', 'folder', 'dupes']) $('view-' + v).hidden = v !== view;
}

// A host's first folders, as links into its tree.
async function topFolders(host, into) {
  try {
    const body = await getJson('/api/folder', { path: host, limit: 12 });
    for (const row of body.results)
      if (row.ext === '<DIR>') into.append(folderLink(row.Path, row.Path.slice(host.length + 1)));
  } catch (e) {
    into.textContent = e.message;
  }
}

async function showHosts() {
  show('hosts');
  $('hosts-status').textContent = 'Counting…';
  try {
    const body = await getJson('/api/hosts');
    $('hosts').replaceChildren();
    for (const h of body.hosts) {
      const li = el('li', null, 'row folder');
      const facts = el('div', null, 'facts');
      facts.append(el('span', h.Rows + ' entries'), el('span', sizeText(h.TotalSize), 'size'));
      const path = el('div', null, 'path');
      path.append(folderLink(h.Host));
      const top = el('div', null, 'top');
      li.append(path, facts, top);
      $('hosts').append(li);
      if ($('hosts').children.length <= 50) topFolders(h.Host, top);
    }
    $('hosts-status').textContent = body.hosts.length ? body.hosts.length + ' hosts' : 'The catalogue is empty';
  } catch (e) {
    $('hosts-status').textContent = e.message;
  }
}

function showFolder(path) {
  show('folder');
  const crumbs = $('folder-path');
  crumbs.replaceChildren();
  const steps = path.split('/');
  steps.forEach((step, i) => {
    if (i) crumbs.append('/');
    crumbs.append(folderLink(steps.slice(0, i + 1).join('/'), step));
  });
  lastFolder = path;
  folderPage(true, { path });
}

let dupesNext = null;
async function findDupes(event) {
  const more = event && event.type === 'click';
  if (event) event.preventDefault();
  show('dupes');
  const status = $('dupes-status');
  status.textContent = 'Looking for copies…';
  try {
    const params = { min_size: $('dupes-min').value.trim(), by: $('dupes-by').value };
    if (more) params.after = dupesNext;
    const body = await getJson('/api/dupes', params);
    if (!more) $('dupes').replaceChildren();
    dupesNext = body.next;
    $('dupes-more').hidden = !dupesNext;
    for (const g of body.groups) {
      const li = el('li', null, 'group');
      li.append(el('div', sizeText(g.Size) + ', ' + g.Copies + ' copies', 'facts'));
      const copies = el('ol', null, 'rows');
      for (const row of g.results) copies.append(resultItem(row));
      li.append(copies);
      $('dupes').append(li);
    }
    const shown = $('dupes').children.length;
    status.textContent = shown ? shown + (dupesNext ? '+' : '') + ' groups' : 'No copies found';
  } catch (e) {
    status.textContent = e.message;
  }
}

function route() {
  const hash = window.location.hash;
  if (hash === '#hosts') return showHosts();
  if (hash === '#dupes') return show('dupes');
  if (hash.startsWith('#folder=')) {
    try { return showFolder(decodeURIComponent(hash.slice(8))); } catch (e) { /* a broken address: the search */ }
  }
  show('search');
}

document.addEventListener('DOMContentLoaded', () => {
  $('search-form').addEventListener('submit', (event) => {
    event.preventDefault();
    lastSearch = searchParams();
    if (window.location.hash !== '#search' && window.location.hash !== '') window.location.hash = '#search';
    show('search');
    searchPage(true, lastSearch);
  });
  $('search-more').addEventListener('click', () => searchPage(false, lastSearch));
  $('folder-more').addEventListener('click', () => folderPage(false, { path: lastFolder }));
  $('dupes-form').addEventListener('submit', findDupes);
  $('dupes-more').addEventListener('click', findDupes);
  window.addEventListener('hashchange', route);
  route();
});
