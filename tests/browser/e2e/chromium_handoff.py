"""The extension in Debian's chromium, headless, driven through the DevTools protocol: the
handlers a click runs, evaluated in the extension's service worker, hand addresses through the
quillet host to the stand-in program; the entry points follow Quillet's settings."""

import json
import os
import shutil
import sys
import time
import urllib.request

from handoff import (ACTION_URL, BROWSER_COOKIES, COOKIE_PAGE_URL, LINK_URL, PAGE_URL, REFUSED_REASON, REFUSED_URL,
                     SKIP, Checks, HandOff, arguments, check_cookies_handed, check_launches,
                     check_program_wrote_manifest, wait_for_file)

CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--remote-debugging-port=0"]

# What the extension has built, read back from the browser itself: a menu item exists when the
# browser can update it.
PROBE = """(async () => {
  const exists = (id) => new Promise((done) => menus.update(id, {}, () => done(!chrome.runtime.lastError)));
  await Refresh();
  return {page: await exists("tarnwick-page"), link: await exists("tarnwick-link"),
          tools: await exists("tarnwick-tools"), action: await chrome.action.isEnabled()};
})()"""


class ServiceWorker:
    def __init__(self, websocket, url):
        self.socket = websocket.create_connection(url, timeout=30, suppress_origin=True)
        self.next_id = 0

    def evaluate(self, expression):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": "Runtime.evaluate", "params": {
            "expression": expression, "awaitPromise": True, "returnByValue": True}}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") != self.next_id:
                continue
            result = message.get("result", {})
            if "exceptionDetails" in result or "error" in message:
                raise RuntimeError(f"{expression[:60]}...: {message}")
            return result["result"].get("value")

    def wait_until_loaded(self, seconds=20):
        """The worker's target is listed before its script has run; evaluations must wait."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.evaluate("typeof Refresh") == "function":
                return True
            time.sleep(0.1)
        return False


def find_worker(port, extension_id, process, seconds=20):
    deadline = time.monotonic() + seconds
    prefix = f"chrome-extension://{extension_id}/"
    while time.monotonic() < deadline and process.poll() is None:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=5) as answer:
            for target in json.load(answer):
                if target["type"] == "service_worker" and target["url"].startswith(prefix):
                    return target["webSocketDebuggerUrl"]
        time.sleep(0.1)
    return None


def main():
    bin_dir, recorder, enabler = arguments()[0], arguments()[2], arguments()[3]
    extension = os.path.join(arguments()[1], "chromium")
    chromium = shutil.which("chromium")
    if chromium is None:
        print("SKIP: Debian's chromium is not installed")
        return SKIP
    try:
        import websocket
    except ImportError:
        print("SKIP: python3-websocket is not installed")
        return SKIP

    checks = Checks()
    handoff = HandOff(bin_dir, recorder, enabler)
    try:
        # The browser's default user data folder, which a Chromium never started lacks: the
        # program finds the browser by its program on PATH and makes the folder.
        user_data = os.path.join(handoff.config, "chromium")
        checks.equal("program started and ended", handoff.start_program_switched_on(bin_dir) is not None, True)
        manifest = check_program_wrote_manifest(
            checks, os.path.join(user_data, "NativeMessagingHosts", "ostrand.tarnwick.quillet.json"),
            os.path.join(handoff.install, "quillet"))
        if manifest is None:
            return checks.result()
        origin = manifest["allowed_origins"][0]
        checks.equal("registrar enables all", handoff.enable(1, 1, 1, 1), "applied=1 state=2 entries=111")
        extension_id = origin[len("chrome-extension://"):].strip("/")

        process = handoff.start_browser([chromium] + CHROMIUM_FLAGS + [
            f"--user-data-dir={user_data}", f"--load-extension={extension}", "about:blank"], "chromium.log")
        if not wait_for_file(os.path.join(user_data, "DevToolsActivePort"), 30, process):
            print(handoff.browser_log("chromium.log"))
            checks.equal("chromium started", False, True)
            return checks.result()
        with open(os.path.join(user_data, "DevToolsActivePort")) as file:
            port = int(file.readline())
        target = find_worker(port, extension_id, process)
        # The id the registrar allows is the one the fixed key gives the unpacked copy.
        checks.equal("extension running under the registrar's id", target is not None, True)
        if target is None:
            print(handoff.browser_log("chromium.log"))
            return checks.result()
        worker = ServiceWorker(websocket, target)
        checks.equal("extension's script loaded", worker.wait_until_loaded(), True)

        checks.equal("all on: entry points built", worker.evaluate(PROBE),
                     {"page": True, "link": True, "tools": False, "action": True})
        results = [
            worker.evaluate(f"OnMenuClicked({{menuItemId: 'tarnwick-page', pageUrl: {json.dumps(PAGE_URL)}}}, "
                            f"{{url: {json.dumps(PAGE_URL)}}})"),
            worker.evaluate(f"OnMenuClicked({{menuItemId: 'tarnwick-link', linkUrl: {json.dumps(LINK_URL)}, "
                            f"pageUrl: {json.dumps(PAGE_URL)}}}, {{url: {json.dumps(PAGE_URL)}}})"),
            worker.evaluate(f"OnActionClicked({{url: {json.dumps(ACTION_URL)}}})"),
        ]
        checks.equal("hand-offs answered without error", results, ["", "", ""])
        check_launches(checks, handoff, [PAGE_URL, LINK_URL, ACTION_URL], "page item, link item, toolbar")

        checks.equal("context items off", handoff.enable(1, 0, 1, 0), "applied=1 state=1 entries=010")
        checks.equal("context items no longer built", worker.evaluate(PROBE),
                     {"page": False, "link": False, "tools": False, "action": True})
        # The Tools item was already off: switching it off again fails that step.
        checks.equal("toolbar off, context on", handoff.enable(1, 1, 0, 0), "applied=0 state=1 entries=100")
        checks.equal("toolbar button disabled", worker.evaluate(PROBE),
                     {"page": True, "link": True, "tools": False, "action": False})
        checks.equal("disabled button says why", worker.evaluate("chrome.action.getTitle({})"),
                     "Download Video (switched off in Tarnwick's Options)")

        # A refusal of the host shows on the toolbar button.
        handoff.remove_program()
        error = worker.evaluate(f"OnActionClicked({{url: {json.dumps(ACTION_URL)}}})")
        checks.equal("missing program reported", "is not installed in" in error, True)
        checks.equal("badge shows the error", worker.evaluate("chrome.action.getBadgeText({})"), "!")
        checks.equal("title shows the error", worker.evaluate("chrome.action.getTitle({})"),
                     f"Download Video: {error}")
        handoff.restore_program()

        # A refused address is told in a notification, from a context item as from the toolbar.
        notices = "new Promise((done) => chrome.notifications.getAll(done))"

        def clear_notices():
            for notice in worker.evaluate(notices) or {}:
                worker.evaluate(f"new Promise((done) => chrome.notifications.clear({json.dumps(notice)}, done))")

        clear_notices()
        refused = worker.evaluate(f"OnMenuClicked({{menuItemId: 'tarnwick-link', linkUrl: {json.dumps(REFUSED_URL)}}}, "
                                  f"{{url: {json.dumps(PAGE_URL)}}})")
        checks.equal("refused address: the host's reason", refused, REFUSED_REASON)
        checks.equal("refused address: one notification shown", len(worker.evaluate(notices) or {}), 1)
        worker.evaluate(f"OnActionClicked({{url: {json.dumps(ACTION_URL)}}})")
        checks.equal("badge cleared after a hand-off that works",
                     worker.evaluate("chrome.action.getBadgeText({})"), "")
        check_launches(checks, handoff, [PAGE_URL, LINK_URL, ACTION_URL, ACTION_URL], "after the error")

        # The site's cookies, set in the browser, go with the page while the switch is on.
        handoff.enable(1, 1, 1, 0)
        checks.equal("cookies set in the browser", worker.evaluate(
            f"Promise.all({json.dumps(BROWSER_COOKIES)}.map((c) => Call((done) => chrome.cookies.set(c, done))))"
            ".then((set) => set.filter(Boolean).length)"), len(BROWSER_COOKIES))
        check_cookies_handed(
            checks, handoff, lambda: worker.evaluate(f"OnActionClicked({{url: {json.dumps(COOKIE_PAGE_URL)}}})"),
            lambda: worker.evaluate("Refresh().then(() => chrome.action.getTitle({}))"))
        handoff.enable(1, 1, 0, 0)  # the entry points as they were

        # Extension off: the manifests go, the host cannot be reached, nothing is built.
        # Removing the toolbar button that is not there fails its step; the rest goes.
        checks.equal("extension off", handoff.enable(0, 1, 1, 1), "applied=0 state=0 entries=000")
        clear_notices()
        checks.equal("without a host nothing is built", worker.evaluate(PROBE),
                     {"page": False, "link": False, "tools": False, "action": False})
        checks.equal("greyed button says the host is missing",
                     worker.evaluate("chrome.action.getTitle({})").startswith("Download Video: Tarnwick cannot be reached"),
                     True)
        worker.evaluate(PROBE)
        checks.equal("missing host told once", len(worker.evaluate(notices) or {}), 1)
        return checks.result()
    finally:
        handoff.close()


if __name__ == "__main__":
    sys.exit(main())
