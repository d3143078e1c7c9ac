'use strict';
// The calls and recorders pages: every value from the server goes in as text, never as markup.

const state = { csrf: '', mayProtect: false, sort: 'start', order: 'desc', calls: [], current: null };

const $ = (id) => document.getElementById(id);

async function api(path, options = {}) {
  const response = await fetch(path, { credentials: 'same-origin', ...options });
  if (response.status === 401) {
    location.replace('/login');
    throw new Error('Log in first.');
  }
  const answer = await response.json().catch(() => ({}));
  if (!response.ok) throw new Error(answer.error || ('The server answered ' + response.status + '.'));
  return answer;
}

function change(path, fields = {}) {
  return api(path, {
    method: 'POST',
    headers: { 'X-CSRF-Token': state.csrf },
    body: new URLSearchParams(fields),
  });
}

function cell(row, text, label, className) {
  const td = document.createElement('td');
  td.textContent = text;
  td.dataset.label = label;
  if (className) td.className = className;
  row.appendChild(td);
  return td;
}

function directionText(direction) {
  return { in: 'in', out: 'out' }[direction] || '';
}

function renderCalls() {
  const body = $('calls').tBodies[0];
  body.replaceChildren();
  for (const call of state.calls) {
    const row = document.createElement('tr');
    row.dataset.id = call.id;
    row.tabIndex = 0;
    if (state.current && state.current.id === call.id) row.classList.add('current');
    cell(row, call.line, 'Line');
    cell(row, call.date, 'Start', 'start');
    cell(row, call.durationText, 'Duration', 'num');
    cell(row, call.number, 'Number', 'number');
    cell(row, directionText(call.direction), 'Direction');
    cell(row, call.bookmark, 'Bookmark');
    cell(row, call.played ? '✓' : '', 'Played', 'flag');
    // A hold list that cannot be read keeps the call as if protected: "?" says so.
    const held = cell(row, call.protected ? (call.holdProblem ? '?' : '✓') : '', 'Protected', 'flag held');
    if (call.holdProblem) held.title = 'Treated as protected: ' + call.holdProblem;
    row.addEventListener('click', () => play(call));
    row.addEventListener('keydown', (event) => { if (event.key === 'Enter') play(call); });
    body.appendChild(row);
  }
  for (const th of $('calls').tHead.rows[0].cells) {
    if (th.dataset.sort === state.sort) th.setAttribute('aria-sort', state.order === 'asc' ? 'ascending' : 'descending');
    else th.removeAttribute('aria-sort');
  }
}

async function search() {
  const form = new FormData($('search'));
  const query = new URLSearchParams();
  for (const [key, value] of form) if (value !== '') query.append(key, value);
  query.set('sort', state.sort);
  query.set('order', state.order);
  const message = $('search-message');
  message.textContent = 'Searching…';
  try {
    const answer = await api('/api/calls?' + query.toString());
    state.calls = answer.calls;
    renderCalls();
    const count = answer.calls.length;
    message.textContent = count === 0 ? 'No call meets these criteria.'
      : count + (count === 1 ? ' call' : ' calls') + (answer.truncated ? ' (the first ones: narrow the search for the rest)' : '');
  } catch (error) {
    message.textContent = error.message;
  }
}

function showPlayer(call) {
  $('player').hidden = false;
  $('player-title').textContent = (call.number || 'No number') + ' · ' + call.line;
  $('player-facts').textContent = call.date + ' · ' + call.durationText + (call.direction === 'unknown' ? '' : ' · ' + call.direction);
  $('bookmark-text').value = call.bookmark;
  $('download').href = '/api/calls/' + call.id + '/download';
  const protect = $('protect');
  protect.hidden = !state.mayProtect;
  protect.textContent = call.protected ? 'Unprotect' : 'Protect';
  protect.setAttribute('aria-pressed', call.protected ? 'true' : 'false');
  $('player-message').textContent = '';
}

function play(call) {
  state.current = call;
  showPlayer(call);
  const audio = $('audio');
  audio.src = '/api/calls/' + call.id + '/audio';
  audio.play().catch(() => { /* the browser waits for a click: the controls are there */ });
  renderCalls();
}

function replaceCall(updated) {
  state.calls = state.calls.map((call) => (call.id === updated.id ? updated : call));
  if (state.current && state.current.id === updated.id) state.current = updated;
  renderCalls();
}

function setupCalls() {
  $('search').addEventListener('submit', (event) => { event.preventDefault(); search(); });
  for (const th of $('calls').tHead.rows[0].cells) {
    if (!th.dataset.sort) continue;
    th.querySelector('button').addEventListener('click', () => {
      if (state.sort === th.dataset.sort) state.order = state.order === 'asc' ? 'desc' : 'asc';
      else { state.sort = th.dataset.sort; state.order = th.dataset.sort === 'start' ? 'desc' : 'asc'; }
      search();
    });
  }
  $('audio').addEventListener('playing', () => {
    const call = state.current;
    if (call && !call.played) replaceCall({ ...call, played: true });
  });
  $('audio').addEventListener('error', () => {
    if (state.current) $('player-message').textContent = 'This recording cannot be played: it may have been removed.';
  });
  $('bookmark-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const call = state.current;
    if (!call) return;
    try {
      replaceCall(await change('/api/calls/' + call.id + '/bookmark', { text: $('bookmark-text').value }));
      $('player-message').textContent = 'Bookmark saved.';
    } catch (error) {
      $('player-message').textContent = error.message;
    }
  });
  $('protect').addEventListener('click', async () => {
    const call = state.current;
    if (!call) return;
    try {
      const updated = await change('/api/calls/' + call.id + (call.protected ? '/unprotect' : '/protect'));
      replaceCall(updated);
      showPlayer(updated);
      $('player-message').textContent = updated.protected ? 'Protected: no cleaning or deletion removes it.' : 'No longer protected.';
    } catch (error) {
      $('player-message').textContent = error.message;
    }
  });
}

function lineChoices(lines) {
  const choice = $('line-choice');
  for (const line of lines) {
    const option = document.createElement('option');
    option.value = line;
    option.textContent = line;
    choice.appendChild(option);
  }
}

function fact(list, term, value) {
  const dt = document.createElement('dt');
  dt.textContent = term;
  const dd = document.createElement('dd');
  dd.textContent = value;
  list.append(dt, dd);
}

function gigabytes(bytes) {
  return (bytes / 1e9).toFixed(1) + ' GB';
}

// "box_missing" as "box missing".
function words(key) {
  return (key || '').replace(/_/g, ' ');
}

function recorderState(recorder) {
  switch (recorder.presence) {
    case 'absent': return 'no status yet: not started here, or not writing its status';
    case 'unreadable': return 'status cannot be read: ' + recorder.problem;
    case 'broken': return 'status is damaged: ' + recorder.problem;
    default: break;
  }
  if (recorder.state === 'stopped') return 'stopped' + (recorder.writtenText ? ' at ' + recorder.writtenText : '');
  if (recorder.stale) return 'not running or not writing its status (last written ' + recorder.writtenText + ')';
  return recorder.state ? words(recorder.state) : 'running';
}

async function showRecorders() {
  const holder = $('recorders');
  const message = $('recorders-message');
  try {
    const answer = await api('/api/recorders');
    holder.replaceChildren();
    message.textContent = answer.recorders.length === 0 ? 'No recorder is shown to this account.' : '';
    for (const recorder of answer.recorders) {
      const card = document.createElement('section');
      const down = recorder.stale || recorder.state === 'stopped' || recorder.presence !== 'present';
      card.className = 'recorder ' + (recorder.alarms.length > 0 || down ? 'trouble' : 'fine');
      const title = document.createElement('h2');
      title.textContent = recorder.folder || 'Recorder';
      card.appendChild(title);
      const facts = document.createElement('dl');
      fact(facts, 'State', recorderState(recorder));
      if (recorder.boxPresent !== null) fact(facts, 'Line box', recorder.boxPresent ? 'connected' : 'missing');
      if (recorder.soundPresent !== null) fact(facts, 'Sound input', recorder.soundPresent ? 'open' : 'missing');
      if (recorder.diskFreeBytes !== null) fact(facts, 'Free disk', gigabytes(recorder.diskFreeBytes));
      if (recorder.writtenText) fact(facts, 'Reported', recorder.writtenText);
      if (recorder.lastProblem) fact(facts, 'Last problem', recorder.lastProblem + (recorder.lastProblemText ? ' (' + recorder.lastProblemText + ')' : ''));
      card.appendChild(facts);
      for (const line of recorder.lines) {
        const lineFacts = document.createElement('dl');
        lineFacts.className = 'line';
        fact(lineFacts, 'Line ' + line.line, line.description || '');
        fact(lineFacts, recorder.stale ? 'Last known' : 'Now', words(line.state) + (line.callStartText ? ' since ' + line.callStartText : ''));
        if (line.lastCallText) fact(lineFacts, 'Last call', line.lastCallText + (line.lastCallNumber ? ' · ' + line.lastCallNumber : ''));
        if (line.lastProblem) fact(lineFacts, 'Last problem', line.lastProblem + (line.lastProblemText ? ' (' + line.lastProblemText + ')' : ''));
        card.appendChild(lineFacts);
      }
      if (recorder.alarms.length > 0) {
        const alarms = document.createElement('ul');
        alarms.className = 'alarms';
        for (const alarm of recorder.alarms) {
          const item = document.createElement('li');
          item.textContent = alarm.message + (alarm.sinceText ? ' (since ' + alarm.sinceText + ')' : '');
          alarms.appendChild(item);
        }
        card.appendChild(alarms);
      }
      holder.appendChild(card);
    }
  } catch (error) {
    message.textContent = error.message;
  }
}

async function start() {
  let session;
  try {
    session = await api('/api/session');
  } catch (error) {
    return;
  }
  state.csrf = session.csrf;
  state.mayProtect = session.mayProtect;
  $('user-name').textContent = session.user + ' (' + session.role + ')';
  $('logout').addEventListener('click', async () => {
    try { await change('/api/logout'); } finally { location.replace('/login'); }
  });
  const recorders = location.pathname === '/recorders';
  $('nav-' + (recorders ? 'recorders' : 'calls')).setAttribute('aria-current', 'page');
  if (recorders) {
    $('recorders-view').hidden = false;
    showRecorders();
    setInterval(showRecorders, 15000);
    return;
  }
  $('calls-view').hidden = false;
  setupCalls();
  try { lineChoices((await api('/api/lines')).lines); } catch (error) { $('search-message').textContent = error.message; }
  search();
}

start();
