'use strict';
// The log-in form: the session cookie comes back with the answer, then on to the calls.
document.getElementById('login').addEventListener('submit', async (event) => {
  event.preventDefault();
  const message = document.getElementById('login-message');
  const button = document.getElementById('login-button');
  message.textContent = '';
  button.disabled = true;
  try {
    const body = new URLSearchParams(new FormData(event.target));
    const response = await fetch('/api/login', { method: 'POST', body, credentials: 'same-origin' });
    if (response.ok) {
      location.replace('/calls');
      return;
    }
    const answer = await response.json().catch(() => ({}));
    message.textContent = answer.error || ('The server answered ' + response.status + '.');
  } catch (error) {
    message.textContent = 'The server cannot be reached: ' + error.message;
  } finally {
    button.disabled = false;
  }
});
