#!/usr/bin/env python3
"""pell-web in a real headless Chromium, driven over its DevTools pipe (no network, no driver
download): log in, find the call by number, play it, seek, let it reach its end, set a
bookmark, protect it; the recorders page over a recorder's status.json, fresh and stale;
screenshots at desktop and phone width. The audit trail is read back with pell-catalogue.

usage: browser_test.py PELL_WEB PELL_CATALOGUE SCREENSHOT_FOLDER
Exit 0 passed, 1 failed, 77 skipped (no chromium, lame or sox)."""

import base64
import datetime
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

PASSWORD = "listen to the calls"
NUMBER = "5551234"
TIMEOUT = 20.0


def fail(message):
    print("FAILED: " + message, file=sys.stderr)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_status(folder, state, age_seconds):
    """status.json as the recorder writes it every 5 seconds, aged by its modification time."""
    now = datetime.datetime.now().replace(microsecond=0)
    stamp = now.isoformat()
    text = ('{\n  "version": "1.4",\n  "written": "%s",\n  "state": "%s",\n  "box_present": true,\n'
            '  "sound_present": true,\n  "disk_free_bytes": 41000000000,\n  "lines": [\n'
            '    {"line": 1, "state": "recording", "call_start": "%s", "last_call": null, "last_file": "", '
            '"last_number": "", "last_problem": ""},\n'
            '    {"line": 2, "state": "box_missing", "call_start": null, "last_call": "%s", '
            '"last_file": "/srv/rec/x.mp3", "last_number": "0123456", "last_problem": "The line box is missing"}\n'
            '  ],\n  "last_problem": "The line box is missing",\n  "last_problem_at": "%s",\n'
            '  "alarms": ["The line box has been missing for more than a minute"]\n}\n'
            % (stamp, state, stamp, stamp, stamp))
    path = os.path.join(folder, "status.json")
    with open(path, "w") as f:
        f.write(text)
    when = time.time() - age_seconds
    os.utime(path, (when, when))


def make_recording(folder, seconds):
    """A real MP3 as the recorder files it: 8 kHz mono, with its 128-byte tag."""
    wav = os.path.join(folder, "tone.wav")
    mp3 = os.path.join(folder, "tone.mp3")
    subprocess.run(["sox", "-n", "-r", "8000", "-c", "1", "-b", "16", wav, "synth", str(seconds), "sine", "440",
                    "vol", "0.3"], check=True)
    subprocess.run(["lame", "--quiet", "-b", "24", "-m", "m", wav, mp3], check=True)
    tag = bytearray(128)
    tag[0:3] = b"TAG"
    tag[3:3 + len(NUMBER)] = NUMBER.encode()
    tag[33:39] = b"Line 1"
    tag[95] = ord("I")
    tag[96] = 1
    tag[127] = 0x65
    with open(mp3, "rb") as f:
        audio = f.read()
    os.remove(wav)
    os.remove(mp3)
    return audio + bytes(tag)


class DevTools:
    """Chromium's DevTools protocol over --remote-debugging-pipe: JSON messages ended by NUL."""

    def __init__(self, chromium, profile):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()

        def wire():
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)

        self.process = subprocess.Popen(
            [chromium, "--headless=new", "--no-sandbox", "--remote-debugging-pipe", "--user-data-dir=" + profile,
             "--no-first-run", "--disable-gpu", "--disable-extensions", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--autoplay-policy=no-user-gesture-required",
             "--mute-audio", "about:blank"],
            preexec_fn=wire, close_fds=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b""
        self.next_id = 0
        self.session = None

    def close(self):
        try:
            self.call("Browser.close", session=False)
        except Exception:  # noqa: BLE001 - the browser may be gone already
            pass
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def read_message(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_browser, 65536)
            if not chunk:
                fail("chromium closed its DevTools pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=True):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        while True:
            answer = self.read_message()
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    fail(method + ": " + json.dumps(answer["error"]))
                return answer.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True})
        if "exceptionDetails" in result:
            fail(expression + ": " + json.dumps(result["exceptionDetails"])[:500])
        return result["result"].get("value")

    def wait_for(self, expression, what, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.evaluate(expression):
                return
            time.sleep(0.1)
        fail("waited in vain for " + what + " (" + expression + ")")

    def screen(self, width, height, mobile):
        self.call("Emulation.setDeviceMetricsOverride", {"width": width, "height": height, "deviceScaleFactor": 1,
                                                          "mobile": mobile})

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))
        print("screenshot " + path)


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    pell_web, catalogue, shots = (os.path.abspath(a) for a in sys.argv[1:4])
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium or not shutil.which("lame") or not shutil.which("sox"):
        print("SKIPPED: needs chromium, lame and sox (scripts/install-deps.sh)")
        return 77
    os.makedirs(shots, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="pell-web-browser-") as work:
        root = os.path.join(work, "records")
        day = os.path.join(root, datetime.date.today().strftime("%d.%m.%Y"))
        os.makedirs(day)
        recording = os.path.join(day, "in-5551234.mp3")
        with open(recording, "wb") as f:
            f.write(make_recording(work, 3))
        with open(os.path.join(day, "in-0123456.mp3"), "wb") as f:
            f.write(make_recording(work, 2).replace(NUMBER.encode(), b"0123456"))
        recorder = os.path.join(work, "recorder")
        os.makedirs(recorder)
        with open(os.path.join(recorder, "settings.ini"), "w") as f:
            f.write("[channel1]\ndescription=Line 1\n[channel2]\ndescription=Line 2\n")
        write_status(recorder, "recording", 2)
        port = free_port()
        config = os.path.join(work, "web.ini")
        with open(config, "w") as f:
            f.write("[web]\nlisten=127.0.0.1\nport=%d\nusers=users\nroot=%s\nindex=index.sqlite\n"
                    "recorder=recorder\nrefresh_seconds=3600\n" % (port, root))
        subprocess.run([pell_web, "--config", config, "user", "add", "anna", "--role", "admin"],
                       input=PASSWORD + "\n", text=True, check=True, capture_output=True)
        log = open(os.path.join(work, "server.log"), "w")
        server = subprocess.Popen([pell_web, "--config", config], stderr=log, env={**os.environ, "HOME": work})
        browser = None
        try:
            deadline = time.monotonic() + TIMEOUT
            while True:
                try:
                    socket.create_connection(("127.0.0.1", port), timeout=1).close()
                    break
                except OSError:
                    if server.poll() is not None or time.monotonic() > deadline:
                        fail("pell-web did not start: " + open(log.name).read())
                    time.sleep(0.1)
            base = "http://127.0.0.1:%d" % port
            browser = DevTools(chromium, os.path.join(work, "profile"))
            target = browser.call("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
            browser.session = browser.call("Target.attachToTarget", {"targetId": target, "flatten": True},
                                           session=False)["sessionId"]
            browser.call("Page.enable")
            browser.call("Runtime.enable")
            browser.screen(1280, 800, False)

            browser.call("Page.navigate", {"url": base + "/calls"})
            browser.wait_for("location.pathname === '/login' && document.readyState === 'complete'",
                             "the log-in page for a visitor without a session")
            browser.evaluate("document.getElementById('name').value = 'anna';"
                             "document.getElementById('password').value = 'wrong password';"
                             "document.getElementById('login').requestSubmit(); true")
            browser.wait_for("document.getElementById('login-message').textContent.includes('Wrong name')",
                             "a refused log-in")
            browser.screenshot(os.path.join(shots, "web-login-refused.png"))
            browser.evaluate("document.getElementById('password').value = %s;"
                             "document.getElementById('login').requestSubmit(); true" % json.dumps(PASSWORD))
            browser.wait_for("location.pathname === '/calls' && document.querySelectorAll('#calls tbody tr')"
                             ".length === 2", "both calls listed after log-in")

            browser.evaluate("document.querySelector('#search [name=number]').value = '555';"
                             "document.getElementById('search').requestSubmit(); true")
            browser.wait_for("document.querySelectorAll('#calls tbody tr').length === 1 && "
                             "document.querySelector('#calls tbody td.number').textContent === '%s'" % NUMBER,
                             "the call found by its number")

            browser.evaluate("document.querySelector('#calls tbody tr').click(); true")
            browser.wait_for("document.getElementById('audio').currentTime > 0.3", "playback under way")
            duration = browser.evaluate("document.getElementById('audio').duration")
            if not duration or abs(duration - 3.0) > 0.3:
                fail("the audio element reads %r seconds, not about 3" % duration)
            # Seek back to the start and forward again: each is a range request.
            browser.evaluate("const a = document.getElementById('audio'); a.currentTime = 0.2; true")
            browser.wait_for("document.getElementById('audio').currentTime < 1.0", "the seek back")
            browser.evaluate("document.getElementById('audio').currentTime = 2.0; true")
            browser.wait_for("document.getElementById('audio').currentTime >= 2.0", "the seek forward")
            browser.wait_for("document.getElementById('audio').ended", "the end of the recording", timeout=10)
            browser.wait_for("document.querySelector('#calls tbody td.flag').textContent === '✓'",
                             "the played mark in the table")
            with open(recording, "rb") as f:
                if f.read()[-128:][94] != 1:
                    fail("the recording's tag does not carry the played mark")

            browser.evaluate("document.getElementById('bookmark-text').value = 'refund promised';"
                             "document.getElementById('bookmark-form').requestSubmit(); true")
            browser.wait_for("document.getElementById('player-message').textContent === 'Bookmark saved.'",
                             "the bookmark saved")
            with open(recording, "rb") as f:
                if not f.read()[-128:][97:127].startswith(b"refund promised"):
                    fail("the bookmark is not in the recording's tag")
            browser.evaluate("document.getElementById('protect').click(); true")
            browser.wait_for("document.getElementById('player-message').textContent.startsWith('Protected')",
                             "the call protected")
            browser.wait_for("document.querySelector('#calls tbody td.held').textContent === '✓'",
                             "the hold in the table")
            with open(os.path.join(day, "protected.list")) as f:
                if "in-5551234.mp3" not in f.read().splitlines():
                    fail("protected.list does not name the protected call")
            browser.screenshot(os.path.join(shots, "web-protected.png"))
            browser.evaluate("document.querySelector('#search [name=number]').value = '';"
                             "document.getElementById('search').requestSubmit(); true")
            browser.wait_for("document.querySelectorAll('#calls tbody tr').length === 2", "both calls again")
            browser.screenshot(os.path.join(shots, "web-calls-desktop.png"))

            browser.screen(390, 844, True)
            browser.evaluate("window.scrollTo(0, 0); true")
            time.sleep(0.3)
            browser.screenshot(os.path.join(shots, "web-calls-phone.png"))

            browser.screen(1280, 800, False)
            browser.call("Page.navigate", {"url": base + "/recorders"})
            browser.wait_for("document.querySelectorAll('#recorders .recorder').length === 1 && "
                             "document.querySelector('#recorders').textContent.includes('box missing')",
                             "the recorder's card with its lines")
            card = browser.evaluate("document.querySelector('#recorders .recorder').textContent")
            for shown in ("recording", "Line 1", "Line 2", "0123456",
                          "The line box has been missing for more than a minute"):
                if shown not in card:
                    fail("the recorder's card does not show %r: %s" % (shown, card))
            if card.count("Sound input") != 1 or card.count("Free disk") != 1:
                fail("the recorder's facts are not shown once each: " + card)
            browser.screenshot(os.path.join(shots, "web-recorders.png"))
            browser.screen(390, 844, True)
            time.sleep(0.3)
            browser.screenshot(os.path.join(shots, "web-recorders-phone.png"))
            browser.screen(1280, 800, False)
            write_status(recorder, "recording", 120)
            browser.call("Page.reload")
            browser.wait_for("document.querySelector('#recorders .recorder') && document.querySelector("
                             "'#recorders .recorder').textContent.includes('not running or not writing its status')",
                             "the stale status told")
            browser.screenshot(os.path.join(shots, "web-recorders-stale.png"))

            trail = subprocess.run([catalogue, "audit", root], capture_output=True, text=True)
            if trail.returncode != 0:
                fail("the audit trail does not verify: " + trail.stderr)
            done = [line.split("\t")[1:5] for line in trail.stdout.splitlines()[1:]]
            for action in ("play", "bookmark", "protect"):
                if ["anna", "pell-web", action, recording] not in done:
                    fail("no audit entry for the %s:\n%s" % (action, trail.stdout))
        finally:
            if browser:
                browser.close()
            server.terminate()
            try:
                server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                server.kill()
                server.wait()
            log.close()
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
