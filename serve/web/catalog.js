// The catalog page. The server holds the catalog, filters and sorts it;
// the page asks for the window of rows in view and draws only those, so a
// collection of 100,000 files costs the browser what a screenful does.
// Text from files only ever reaches the page through textContent.
(function () {
  'use strict';

  const TOKEN_KEY = 'zolehead-token';
  const COLUMNS_KEY = 'zolehead-columns';
  const BLOCK = 100;          // rows per request, aligned to blocks
  const OVERSCAN = 3;         // rows drawn above and below the view (drawing is redone on every scroll frame)
  const POLL_SCANNING = 250;  // ms between status polls while a scan runs
  const DEFAULT_FIELDS = ['Title', 'Genre', 'Composer', 'Lyricist', 'Arranger', 'Artist', 'ComposedYear', 'DataDate'];

  const $ = (id) => document.getElementById(id);
  const el = (tag, className, text) => {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  };
  const count = (n) => Number(n).toLocaleString('en-US');

  // --- The token: from the address the server printed, then kept for this tab.
  const token = (() => {
    const params = new URLSearchParams(location.search);
    const given = params.get('token');
    if (given) {
      sessionStorage.setItem(TOKEN_KEY, given);
      history.replaceState(null, '', location.pathname);  // out of the address bar and history
      return given;
    }
    return sessionStorage.getItem(TOKEN_KEY) || '';
  })();

  class ApiError extends Error {
    constructor(status, message) {
      super(message);
      this.status = status;
    }
  }

  async function api(path, body, signal) {
    const options = { method: body === undefined ? 'GET' : 'POST', headers: { 'X-ZoleHead-Token': token }, signal };
    if (body !== undefined) {
      options.headers['Content-Type'] = 'application/json';
      options.body = JSON.stringify(body);
    }
    const response = await fetch(path, options);
    let data = null;
    try {
      data = await response.json();
    } catch (e) {
      data = null;
    }
    if (!response.ok) {
      const message = data && data.error ? data.error : 'the server answered ' + response.status;
      if (response.status === 403) showNotice('The access token is missing or wrong: ' + message);
      throw new ApiError(response.status, message);
    }
    return data;
  }

  function showNotice(text) {
    const notice = $('notice');
    notice.textContent = text;
    notice.hidden = !text;
  }

  // --- State
  const state = {
    fields: [],            // [{keyword, label}] from the server
    visible: [],           // keywords of the field columns shown, in order
    version: -1,           // catalog version of the rows held
    filter: '',
    sort: null,            // null (walk order), 'path' or a keyword
    descending: false,
    query: 0,              // bumped whenever the view changes
    matched: 0,
    total: 0,
    errors: 0,
    skipped: 0,
    blocks: new Map(),     // block index -> rows, for the current query
    pending: new Set(),    // block indices asked for
    active: { pos: 0, col: 0 },
    detailRow: null,       // the row object shown in the detail panel
    scanning: false,
    // Sizes read from the layout only when they can change (a resize, new
    // columns), never while drawing: a forced layout of the table costs more
    // than the drawing itself.
    rowHeight: 30,
    rowMeasured: false,
    headHeight: 0,
    viewHeight: 0,
    scrollTop: 0,
  };

  function scrollTo(top) {
    // Setting scrollTop lays the page out first: skip it when nothing moves.
    if (Math.max(0, top) === state.scrollTop) return;
    $('scroller').scrollTop = top;
    state.scrollTop = Math.max(0, top);
  }

  function measure() {
    state.viewHeight = $('scroller').clientHeight;
    state.headHeight = $('head').getBoundingClientRect().height || 0;
    state.rowMeasured = false;
  }

  function columns() {
    return [{ key: 'path', keyword: 'Path', label: '' }].concat(
      state.visible.map((k) => state.fields.find((f) => f.keyword === k)).filter(Boolean)
        .map((f) => ({ key: f.keyword, keyword: f.keyword, label: f.label })));
  }

  // --- Column choice, kept in this browser.
  function loadColumnChoice() {
    let saved = null;
    try {
      saved = JSON.parse(localStorage.getItem(COLUMNS_KEY) || 'null');
    } catch (e) {
      saved = null;
    }
    const known = new Set(state.fields.map((f) => f.keyword));
    const chosen = Array.isArray(saved) ? saved.filter((k) => known.has(k)) : DEFAULT_FIELDS;
    state.visible = state.fields.map((f) => f.keyword).filter((k) => chosen.includes(k));
  }

  function buildColumnChooser() {
    const list = $('column-list');
    list.querySelectorAll('label').forEach((n) => n.remove());
    for (const field of state.fields) {
      const label = el('label');
      const box = el('input');
      box.type = 'checkbox';
      box.value = field.keyword;
      box.checked = state.visible.includes(field.keyword);
      box.addEventListener('change', () => {
        const chosen = new Set(Array.from(list.querySelectorAll('input:checked')).map((b) => b.value));
        state.visible = state.fields.map((f) => f.keyword).filter((k) => chosen.has(k));
        localStorage.setItem(COLUMNS_KEY, JSON.stringify(state.visible));
        state.active.col = Math.min(state.active.col, state.visible.length);
        buildHead();
        render();
      });
      label.append(box, ' ' + field.keyword + ' ', el('span', 'label-ja', field.label));
      label.lastChild.lang = 'ja';
      list.append(label);
    }
  }

  // --- The head: one sort button per column.
  function buildHead() {
    const head = $('head');
    const cols = $('cols');
    head.replaceChildren();
    cols.replaceChildren();
    const all = columns();
    all.forEach((column, index) => {
      const col = el('col');
      col.style.width = index === 0 ? '28%' : 'auto';
      cols.append(col);
      const th = el('th');
      th.scope = 'col';
      th.setAttribute('role', 'columnheader');
      const sorted = state.sort === column.key;
      th.setAttribute('aria-sort', sorted ? (state.descending ? 'descending' : 'ascending') : 'none');
      const button = el('button');
      button.type = 'button';
      button.dataset.key = column.key;
      button.title = 'Sort by ' + column.keyword + (sorted ? (state.descending ? ' (now descending)' : ' (now ascending)') : '');
      button.append(el('span', '', column.keyword));
      if (column.label) {
        const ja = el('span', 'label-ja', column.label);
        ja.lang = 'ja';
        button.append(ja);
      }
      button.append(el('span', 'arrow', sorted ? (state.descending ? '\u25BC' : '\u25B2') : ''));
      button.addEventListener('click', () => cycleSort(column.key));
      th.append(button);
      head.append(th);
    });
    $('grid').style.minWidth = (12 + 9 * (all.length - 1)) + 'rem';
    $('grid').setAttribute('aria-colcount', String(all.length));
    measure();
  }

  function cycleSort(key) {
    if (state.sort !== key) {
      state.sort = key;
      state.descending = false;
    } else if (!state.descending) {
      state.descending = true;
    } else {
      state.sort = null;
      state.descending = false;
    }
    buildHead();
    newQuery();
  }

  // --- Rows: asked for by block, drawn when they arrive.
  let aborter = new AbortController();

  function newQuery() {
    // Answers to the old view are of no more use: stop waiting for them.
    aborter.abort();
    aborter = new AbortController();
    state.query += 1;
    state.blocks.clear();
    state.pending.clear();
    state.active.pos = 0;
    scrollTo(0);
    render();
  }

  async function fetchBlock(block) {
    const query = state.query;
    state.pending.add(block);
    try {
      const data = await api('/api/rows', {
        filter: state.filter,
        sort: state.sort,
        descending: state.descending,
        offset: block * BLOCK,
        limit: BLOCK,
      }, aborter.signal);
      if (query !== state.query) return;  // the view changed meanwhile
      state.pending.delete(block);
      if (data.version !== state.version) {
        // A scan ended: every block held is stale.
        state.version = data.version;
        state.blocks.clear();
        state.pending.clear();
      }
      state.blocks.set(block, data.rows);
      state.matched = data.matched;
      state.total = data.total;
      draw();
    } catch (e) {
      if (query === state.query) state.pending.delete(block);
      if (e.name === 'AbortError') return;
      if (!(e instanceof ApiError)) showNotice('Cannot reach the catalog server: ' + e.message);
    }
  }

  function rowAt(pos) {
    const rows = state.blocks.get(Math.floor(pos / BLOCK));
    return rows ? rows[pos % BLOCK] : undefined;
  }

  // [first row drawn, end, rows in a page]
  function viewRange() {
    const room = Math.max(state.rowHeight, state.viewHeight - state.headHeight);
    const first = Math.max(0, Math.floor(state.scrollTop / state.rowHeight) - OVERSCAN);
    const shown = Math.ceil(room / state.rowHeight) + 2 * OVERSCAN;
    return [first, Math.min(state.matched, first + shown), Math.max(1, Math.floor(room / state.rowHeight))];
  }

  let frame = 0;
  function render() {
    if (!frame) frame = requestAnimationFrame(() => {
      frame = 0;
      draw();
    });
  }

  function draw() {
    const haveFirst = state.blocks.has(0);
    if (!haveFirst) {
      if (!state.pending.has(0) && state.version >= 0) fetchBlock(0);
      updateCounts();
      return;
    }
    const [start, end] = viewRange();
    for (let b = Math.floor(start / BLOCK); b * BLOCK < end; b++) {
      if (!state.blocks.has(b) && !state.pending.has(b)) fetchBlock(b);
    }
    const all = columns();
    const body = $('rows');
    const out = [];
    if (state.matched === 0) {
      const tr = el('tr', 'none');
      const td = el('td', 'empty', state.filter ? 'No file matches the filter.' : 'No files.');
      td.colSpan = all.length;
      tr.append(td);
      out.push(tr);
    }
    out.push(spacer(start * state.rowHeight, all.length));
    let complete = true;
    for (let pos = start; pos < end; pos++) {
      const row = rowAt(pos);
      if (!row) complete = false;
      out.push(drawRow(row, pos, all));
    }
    out.push(spacer((state.matched - end) * state.rowHeight, all.length));
    body.replaceChildren(...out);
    // Rows are as tall as the font makes them: measure the first drawn.
    const sample = state.rowMeasured ? null : body.querySelector('tr.row');
    if (sample) {
      state.rowMeasured = true;
      const height = sample.getBoundingClientRect().height;
      if (height && Math.abs(height - state.rowHeight) > 0.5) {
        state.rowHeight = height;
        render();
      }
    }
    $('grid').setAttribute('aria-rowcount', String(state.matched + 1));
    $('waiting').hidden = true;
    updateActive();
    updateCounts();
    if (complete) {
      // For measuring: when the page first became usable, and each drawing after.
      if (!performance.getEntriesByName('catalog-first-rows').length) performance.mark('catalog-first-rows');
      document.dispatchEvent(new CustomEvent('catalog-rendered', {
        detail: { filter: state.filter, sort: state.sort, matched: state.matched, version: state.version, rows: end - start },
      }));
    }
  }

  function spacer(height, span) {
    const tr = el('tr', 'spacer');
    tr.setAttribute('aria-hidden', 'true');
    const td = el('td');
    td.colSpan = span;
    td.style.height = Math.max(0, height) + 'px';
    tr.append(td);
    return tr;
  }

  function drawRow(row, pos, all) {
    const tr = el('tr', 'row');
    tr.id = 'row-' + pos;
    tr.setAttribute('role', 'row');
    tr.setAttribute('aria-rowindex', String(pos + 2));
    tr.dataset.pos = pos;
    if (!row) {
      for (let c = 0; c < all.length; c++) tr.append(el('td'));
      return tr;
    }
    if (row.error) tr.classList.add('error');
    all.forEach((column, c) => {
      if (row.error && c === 1) {
        const td = cell(pos, c, 'error-text', row.error);
        td.colSpan = all.length - 1;
        tr.append(td);
        return;
      }
      if (row.error && c > 1) return;
      if (c === 0) {
        const td = cell(pos, c, 'path', row.path);
        td.title = row.path + (row.error ? '\nCould not be read: ' + row.error : '');
        tr.append(td);
        return;
      }
      const index = state.fields.findIndex((f) => f.keyword === column.key);
      const td = cell(pos, c, '');
      fillField(td, row.fields[index]);
      tr.append(td);
    });
    return tr;
  }

  function cell(pos, c, className, text) {
    const td = el('td', className, text);
    td.id = 'cell-' + pos + '-' + c;
    td.setAttribute('role', 'gridcell');
    return td;
  }

  // A value with its form as a small tag (drawn by the stylesheet from
  // data-form), and marks for an empty or lossy value. One text node per
  // cell: thousands of cells are drawn at every keystroke.
  function fillField(td, field) {
    if (!field) return;
    const [value, form, lossy] = field;
    td.dataset.form = form;
    if (value === '') td.classList.add('empty-value');
    else td.textContent = value;
    if (lossy) td.classList.add('lossy');
    td.title = (value === '' ? '(empty)' : value) + ' \u2014 form ' + form +
      (form === 'A' ? ' (a label line)' : ' (a starred keyword)') +
      (lossy ? '; some bytes are not code page 932 text and show as \uFFFD' : '');
  }

  function updateCounts() {
    const parts = [];
    if (state.version <= 0 && state.scanning) {
      parts.push('Scanning\u2026');
    } else if (state.filter) {
      parts.push(count(state.matched) + ' of ' + count(state.total) + ' files');
    } else {
      parts.push(count(state.total) + ' files');
    }
    if (state.errors) parts.push(count(state.errors) + ' unreadable');
    if (state.skipped) parts.push(count(state.skipped) + ' passed over');
    $('counts').textContent = parts.join(' \u00B7 ');
  }

  // --- Keyboard: the grid has one active cell.
  function updateActive() {
    const grid = $('grid');
    document.querySelectorAll('tr.row.active').forEach((n) => n.classList.remove('active'));
    document.querySelectorAll('td.active-cell').forEach((n) => n.classList.remove('active-cell'));
    const tr = $('row-' + state.active.pos);
    if (!tr) {
      grid.removeAttribute('aria-activedescendant');
      return;
    }
    tr.classList.add('active');
    const row = rowAt(state.active.pos);
    let col = state.active.col;
    if (row && row.error && col > 1) col = 1;  // an error row's message spans the fields
    const td = $('cell-' + state.active.pos + '-' + col);
    if (td) {
      td.classList.add('active-cell');
      grid.setAttribute('aria-activedescendant', td.id);
    }
  }

  function moveTo(pos, col) {
    if (state.matched === 0) return;
    state.active.pos = Math.max(0, Math.min(state.matched - 1, pos));
    state.active.col = Math.max(0, Math.min(columns().length - 1, col));
    const top = state.active.pos * state.rowHeight;
    const room = state.viewHeight - state.headHeight;
    if (top < state.scrollTop) scrollTo(top);
    else if (top + state.rowHeight > state.scrollTop + room) scrollTo(top + state.rowHeight - room);
    draw();
  }

  function onGridKey(event) {
    const page = viewRange()[2];
    const { pos, col } = state.active;
    const keys = {
      ArrowDown: () => moveTo(pos + 1, col),
      ArrowUp: () => moveTo(pos - 1, col),
      ArrowRight: () => moveTo(pos, col + 1),
      ArrowLeft: () => moveTo(pos, col - 1),
      PageDown: () => moveTo(pos + page, col),
      PageUp: () => moveTo(pos - page, col),
      Home: () => moveTo(0, col),
      End: () => moveTo(state.matched - 1, col),
      Enter: () => openDetail(rowAt(pos)),
    };
    const action = keys[event.key];
    if (!action) return;
    event.preventDefault();
    action();
  }

  // --- The detail panel: one file, read now by the server.
  async function openDetail(row) {
    if (!row) return;
    state.detailRow = row;
    const panel = $('detail');
    const body = $('detail-body');
    $('detail-title').textContent = row.path.split('/').pop() || row.path;
    body.replaceChildren(el('p', 'explain', 'Reading\u2026'));
    panel.hidden = false;
    panel.focus();
    // A name that is not UTF-8 cannot travel back as text: ask by row.
    const ask = row.path_lossy ? { row: row.row, version: state.version } : { path: row.path };
    try {
      const detail = await api('/api/file', ask);
      if (state.detailRow !== row) return;
      body.replaceChildren(...detailSections(detail));
    } catch (e) {
      if (state.detailRow !== row) return;
      body.replaceChildren(el('p', 'path-full', row.path), el('p', 'problem', 'Cannot show this file: ' + e.message));
    }
  }

  function closeDetail() {
    if ($('detail').hidden) return;
    $('detail').hidden = true;
    state.detailRow = null;
    $('grid').focus();
  }

  // Each section of the panel is drawn by one function, in this order.
  const DETAIL_SECTIONS = [pathSection, fieldsSection, linesSection];

  function detailSections(detail) {
    return DETAIL_SECTIONS.flatMap((section) => section(detail));
  }

  function pathSection(detail) {
    const path = el('p', 'path-full', detail.path);
    path.lang = 'en';
    return [path, el('p', 'explain', count(detail.size) + ' bytes, ' + count(detail.line_count) + ' lines')];
  }

  function fieldsSection(detail) {
    const table = el('table', 'fields');
    const head = el('tr');
    for (const name of ['Field', '', 'Value', 'Form']) {
      const th = el('th', '', name);
      th.scope = 'col';
      head.append(th);
    }
    const thead = el('thead');
    thead.append(head);
    const tbody = el('tbody');
    for (const field of detail.fields) {
      const tr = el('tr', field.form ? '' : 'absent');
      const name = el('th', '', field.keyword);
      name.scope = 'row';
      name.lang = 'en';
      tr.append(name, el('td', '', field.label));
      const value = el('td');
      if (field.form === null) value.textContent = '\u2014';
      else if (field.value === '') value.append(el('span', 'empty', '(empty)'));
      else value.append(el('span', field.lossy ? 'lossy' : '', field.value));
      tr.append(value, el('td', '', field.form || ''));
      tbody.append(tr);
    }
    table.append(thead, tbody);
    return [el('h3', '', 'Fields'), table];
  }

  function linesSection(detail) {
    const box = el('div', 'lines');
    let next = 1;
    for (const line of detail.lines) {
      if (line.number > next) box.append(gap(next, line.number - 1));
      const item = el('div', 'line' + (line.fields.length ? ' changed' : ''));
      item.append(el('span', 'number', String(line.number)));
      const text = el('span', 'text' + (line.lossy ? ' lossy' : ''), line.text + (line.cut ? ' \u2026' : ''));
      item.append(text);
      if (line.fields.length) item.append(el('span', 'chips', 'sets ' + line.fields.join(', ')));
      box.append(item);
      next = line.number + 1;
    }
    if (detail.lines_dropped) box.append(note('More lines that set fields follow; they are not shown.'));
    else if (next <= detail.line_count) box.append(gap(next, detail.line_count));
    if (detail.end_mark_line !== null) {
      box.append(note('End mark (0x1A) on line ' + count(detail.end_mark_line) + ': nothing after it is read.'));
    }
    if (!detail.lines.length) box.append(note('The file is empty.'));
    return [
      el('h3', '', 'Header lines'),
      el('p', 'explain', 'The top of the file down to the last line that sets a field, and any later line that ' +
        'sets one. Highlighted lines are where a reader stored, replaced or emptied a field.'),
      box,
    ];
  }

  function gap(from, to) {
    return note(from === to ? 'line ' + count(from) + ' not shown' : 'lines ' + count(from) + '\u2013' + count(to) + ' not shown');
  }

  function note(text) {
    const item = el('div', 'line note');
    item.append(el('span', 'number', '\u22EF'), el('span', 'text', text));
    return item;
  }

  // --- Status: scan progress, and a new catalog when a scan ends.
  let pollTimer = 0;
  async function pollStatus() {
    clearTimeout(pollTimer);
    let status;
    try {
      status = await api('/api/status');
    } catch (e) {
      if (!(e instanceof ApiError)) {
        showNotice('Cannot reach the catalog server: ' + e.message);
        pollTimer = setTimeout(pollStatus, 2000);
      }
      return;
    }
    if (!state.fields.length) {
      state.fields = status.fields;
      loadColumnChoice();
      buildColumnChooser();
      buildHead();
    }
    state.scanning = status.scan.running;
    state.errors = status.errors;
    state.skipped = status.scan.skipped;
    state.total = status.files;
    $('scan').hidden = !status.scan.running;
    $('scan-text').textContent = status.scan.running ? 'Scanning\u2026 ' + count(status.scan.read) + ' files read' : '';
    $('rescan').disabled = status.scan.running;
    if (status.scan.failure) showNotice('The scan failed: ' + status.scan.failure);
    if (status.version !== state.version && status.version > 0) {
      performance.mark('catalog-version-' + status.version);
      state.version = status.version;
      state.query += 1;
      state.blocks.clear();
      state.pending.clear();
      render();
      if (state.detailRow) openDetail(state.detailRow);
    } else if (status.version === 0) {
      $('waiting').textContent = status.scan.running ? 'Scanning the collection\u2026' : 'No catalog yet.';
    }
    updateCounts();
    if (status.scan.running) pollTimer = setTimeout(pollStatus, POLL_SCANNING);
  }

  async function rescan() {
    $('rescan').disabled = true;
    try {
      await api('/api/rescan', {});
    } catch (e) {
      $('rescan').disabled = false;
      return;
    }
    pollStatus();
  }

  // --- Wiring
  function start() {
    if (!token) {
      showNotice('This page needs the access token: open the address that zolehead serve printed.');
    }
    const filter = $('filter');
    filter.addEventListener('input', () => {
      state.filter = filter.value;
      newQuery();
    });
    filter.addEventListener('keydown', (event) => {
      if (event.key === 'ArrowDown' || event.key === 'Enter') {
        event.preventDefault();
        $('grid').focus();
      }
    });
    $('scroller').addEventListener('scroll', () => {
      state.scrollTop = $('scroller').scrollTop;
      render();
    }, { passive: true });
    new ResizeObserver(() => {
      measure();
      render();
    }).observe($('scroller'));
    $('grid').addEventListener('keydown', onGridKey);
    $('grid').addEventListener('focus', () => {
      if (!$('row-' + state.active.pos)) moveTo(state.active.pos, state.active.col);
    });
    $('rows').addEventListener('click', (event) => {
      const td = event.target.closest('td[id^="cell-"]');
      if (!td) return;
      const [, pos, col] = td.id.split('-').map(Number);
      state.active = { pos, col };
      updateActive();
      openDetail(rowAt(pos));
    });
    $('detail-close').addEventListener('click', closeDetail);
    $('rescan').addEventListener('click', rescan);
    document.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') {
        if (!$('detail').hidden) {
          event.preventDefault();
          closeDetail();
        } else if ($('columns').open) {
          $('columns').open = false;
          $('columns').querySelector('summary').focus();
        }
      } else if (event.key === '/' && !event.target.closest('input, textarea')) {
        event.preventDefault();
        filter.focus();
      }
    });
    pollStatus();
  }

  start();
})();
