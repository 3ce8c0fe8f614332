"""The extension in Debian's firefox-esr, headless, driven through Marionette: installed as a
temporary add-on with a test page beside it, which calls the background's click handlers; they
hand addresses through the quillet host to the stand-in program. The Tools-menu item exists only
while it is on."""

import json
import os
import shutil
import socket
import sys
import zipfile

from handoff import (ACTION_URL, BROWSER_COOKIES, COOKIE_PAGE_URL, LINK_URL, PAGE_URL, REFUSED_REASON, REFUSED_URL,
                     SKIP, TOOLS_URL, Checks, HandOff, arguments, check_cookies_handed, check_launches,
                     check_program_wrote_manifest, wait_for_file)

EXTENSION_UUID = "6f1c7a52-9d3e-4b8a-a1f0-2c5e7d9b3a41"

PREFERENCES = {
    "marionette.port": 0,
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "datareporting.policy.dataSubmissionEnabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "app.normandy.enabled": False,
    "browser.region.network.url": "",
    "network.connectivity-service.enabled": False,
    "network.captive-portal-service.enabled": False,
}

# The test page's helpers; the Marionette script awaits them. Menu items exist when the
# browser can update them.
TEST_SCRIPT = """
async function Background() { return browser.runtime.getBackgroundPage(); }
async function Exists(id) {
  try { await browser.menus.update(id, {}); return true; } catch (error) { return false; }
}
async function Probe() {
  await (await Background()).Refresh();
  return {page: await Exists("tarnwick-page"), link: await Exists("tarnwick-link"),
          tools: await Exists("tarnwick-tools"), action: await browser.action.isEnabled({})};
}
"""


class Marionette:
    """Marionette's plain TCP protocol: "<length>:<JSON>" packets, commands [0, id, name, params]."""

    def __init__(self, port):
        self.socket = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.buffer = b""
        self.next_id = 0
        self.read()  # the server's greeting

    def read(self):
        while b":" not in self.buffer:
            self.receive()
        length, self.buffer = self.buffer.split(b":", 1)
        while len(self.buffer) < int(length):
            self.receive()
        packet, self.buffer = self.buffer[:int(length)], self.buffer[int(length):]
        return json.loads(packet)

    def receive(self):
        data = self.socket.recv(65536)
        if not data:
            raise ConnectionError("Marionette closed the connection")
        self.buffer += data

    def call(self, name, params=None):
        self.next_id += 1
        packet = json.dumps([0, self.next_id, name, params or {}]).encode()
        self.socket.sendall(str(len(packet)).encode() + b":" + packet)
        while True:
            message = self.read()
            if message[1] == self.next_id:
                if message[2]:
                    raise RuntimeError(f"{name}: {message[2]}")
                return message[3]

    def run(self, body):
        """Runs an async function body on the test page and returns its value."""
        script = ("const done = arguments[arguments.length - 1];"
                  f"(async () => {{ {body} }})().then(done, (error) => done('error: ' + error));")
        return self.call("WebDriver:ExecuteAsyncScript", {"script": script, "args": []})["value"]


def unpack_with_test_page(xpi, folder):
    with zipfile.ZipFile(xpi) as package:
        package.extractall(folder)
    with open(os.path.join(folder, "test.js"), "w") as script:
        script.write(TEST_SCRIPT)
    with open(os.path.join(folder, "test.html"), "w") as page:
        page.write('<!DOCTYPE html><meta charset="utf-8"><script src="test.js"></script>\n')
    with open(os.path.join(folder, "manifest.json")) as file:
        return json.load(file)["browser_specific_settings"]["gecko"]["id"]


def main():
    bin_dir, recorder, enabler = arguments()[0], arguments()[2], arguments()[3]
    xpi = os.path.join(arguments()[1], "tarnwick.xpi")
    firefox = shutil.which("firefox-esr")
    if firefox is None:
        print("SKIP: Debian's firefox-esr is not installed")
        return SKIP

    checks = Checks()
    handoff = HandOff(bin_dir, recorder, enabler)
    try:
        # Firefox has never run for this user, and Firefox ESR would not make ~/.mozilla: the
        # program finds firefox-esr on PATH and writes where Firefox reads.
        checks.equal("program started and ended", handoff.start_program_switched_on(bin_dir) is not None, True)
        manifest = check_program_wrote_manifest(
            checks, os.path.join(handoff.home, ".mozilla", "native-messaging-hosts", "ostrand.tarnwick.quillet.json"),
            os.path.join(handoff.install, "quillet"))
        if manifest is None:
            return checks.result()
        allowed = manifest["allowed_extensions"]
        checks.equal("registrar enables all", handoff.enable(1, 1, 1, 1), "applied=1 state=2 entries=111")
        extension = os.path.join(handoff.root, "extension")
        gecko_id = unpack_with_test_page(xpi, extension)
        checks.equal("host allows the add-on's id", allowed, [gecko_id])

        profile = os.path.join(handoff.root, "profile")
        os.makedirs(profile)
        preferences = dict(PREFERENCES)
        preferences["extensions.webextensions.uuids"] = json.dumps({gecko_id: EXTENSION_UUID})
        with open(os.path.join(profile, "user.js"), "w") as user:
            for name, value in preferences.items():
                user.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")
        # System access lets Marionette open the add-on's own test page.
        process = handoff.start_browser([firefox, "--headless", "--marionette", "-remote-allow-system-access",
                                         "--no-remote", "--profile", profile, "about:blank"], "firefox.log")
        if not wait_for_file(os.path.join(profile, "MarionetteActivePort"), 45, process):
            print(handoff.browser_log("firefox.log"))
            checks.equal("firefox started", False, True)
            return checks.result()
        with open(os.path.join(profile, "MarionetteActivePort")) as file:
            marionette = Marionette(int(file.read().strip()))
        marionette.call("WebDriver:NewSession", {"capabilities": {}})
        installed = marionette.call("Addon:Install", {"path": extension, "temporary": True})
        checks.equal("temporary add-on installed", installed.get("value"), gecko_id)
        marionette.call("WebDriver:Navigate", {"url": f"moz-extension://{EXTENSION_UUID}/test.html"})

        checks.equal("all on: entry points built", marionette.run("return await Probe();"),
                     {"page": True, "link": True, "tools": True, "action": True})
        clicks = [
            f"OnMenuClicked({{menuItemId: 'tarnwick-page', pageUrl: {json.dumps(PAGE_URL)}}}, {{}})",
            f"OnMenuClicked({{menuItemId: 'tarnwick-link', linkUrl: {json.dumps(LINK_URL)}, "
            f"pageUrl: {json.dumps(PAGE_URL)}}}, {{}})",
            f"OnActionClicked({{url: {json.dumps(ACTION_URL)}}})",
            f"OnMenuClicked({{menuItemId: 'tarnwick-tools'}}, {{url: {json.dumps(TOOLS_URL)}}})",
        ]
        results = [marionette.run(f"return await (await Background()).{click};") for click in clicks]
        checks.equal("hand-offs answered without error", results, ["", "", "", ""])
        check_launches(checks, handoff, [PAGE_URL, LINK_URL, ACTION_URL, TOOLS_URL],
                       "page item, link item, toolbar, Tools item")

        checks.equal("Tools item off", handoff.enable(1, 1, 1, 0), "applied=1 state=1 entries=110")
        checks.equal("Tools item no longer built", marionette.run("return await Probe();"),
                     {"page": True, "link": True, "tools": False, "action": True})
        checks.equal("only the Tools item on", handoff.enable(1, 0, 0, 1), "applied=1 state=1 entries=001")
        checks.equal("only the Tools item built", marionette.run("return await Probe();"),
                     {"page": False, "link": False, "tools": True, "action": False})

        handoff.remove_program()
        error = marionette.run(f"return await (await Background()).{clicks[2]};")
        checks.equal("missing program reported", "is not installed in" in error, True)
        checks.equal("badge shows the error", marionette.run("return await browser.action.getBadgeText({});"),
                     "!")
        handoff.restore_program()

        # A refused address is told in a notification, from a context item as from the toolbar.
        # Headless Firefox closes a notification as soon as it is made, so what the browser was
        # given, and the id it answered, stand for what a user sees.
        marionette.run("const background = await Background(); const create = background.chrome.notifications.create;"
                       "background.shown = [];"
                       "background.chrome.notifications.create = (options, done) => create(options, (id) => {"
                       "  background.shown.push({message: options.message, id: typeof id === 'string' && id !== ''});"
                       "  done(id); });"
                       "return 0;")
        refused = marionette.run("return await (await Background()).OnMenuClicked("
                                 f"{{menuItemId: 'tarnwick-link', linkUrl: {json.dumps(REFUSED_URL)}}}, {{}});")
        checks.equal("refused address: the host's reason", refused, REFUSED_REASON)
        checks.equal("refused address: one notification shown",
                     marionette.run("return (await Background()).shown;"), [{"message": REFUSED_REASON, "id": True}])

        # The site's cookies, set in the browser, go with the page while the switch is on.
        handoff.enable(1, 1, 1, 1)
        checks.equal("cookies set in the browser", marionette.run(
            f"const set = await Promise.all({json.dumps(BROWSER_COOKIES)}.map((c) => browser.cookies.set(c)));"
            "return set.filter(Boolean).length;"), len(BROWSER_COOKIES))
        check_cookies_handed(
            checks, handoff,
            lambda: marionette.run(f"return await (await Background()).OnActionClicked({{url: {json.dumps(COOKIE_PAGE_URL)}}});"),
            lambda: marionette.run("const background = await Background(); await background.Refresh();"
                                   "return await browser.action.getTitle({});"))
        handoff.enable(1, 0, 0, 1)  # the entry points as they were

        checks.equal("extension off", handoff.enable(0, 0, 0, 0), "applied=0 state=0 entries=000")
        checks.equal("without a host nothing is built", marionette.run("return await Probe();"),
                     {"page": False, "link": False, "tools": False, "action": False})
        return checks.result()
    finally:
        handoff.close()


if __name__ == "__main__":
    sys.exit(main())
