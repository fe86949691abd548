// Keeps the page working offline: every file of the page is stored when the
// worker installs and served from the store first. The store's name changes
// with the files (build-web.sh writes it), so a new build replaces the old
// store.
'use strict';

const kStore = 'vexo-@VERSION@';
const kFiles = ['./', 'index.html', 'style.css', 'app.js', 'vexo.js', 'vexo.wasm'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(kStore).then((store) => store.addAll(kFiles))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n !== kStore).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.match(event.request, { ignoreSearch: true })
    .then((stored) => stored || fetch(event.request)));
});
