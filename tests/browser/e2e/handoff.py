"""What the browser tests share: a home, settings and installation folder of their own, the
registrar switching entry points, and the stand-in program's records of how it was started."""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77  # CTest reports this exit code as a skipped test


class Checks:
    """Collects failed checks so that one run reports every one of them."""

    def __init__(self):
        self.failures = []

    def equal(self, what, actual, expected):
        if actual != expected:
            self.failures.append(f"{what}: got {actual!r}, expected {expected!r}")
            print(f"FAIL {what}: got {actual!r}, expected {expected!r}", flush=True)
        else:
            print(f"ok   {what}", flush=True)

    def result(self):
        if self.failures:
            print(f"{len(self.failures)} check(s) failed", flush=True)
            return 1
        return 0


class HandOff:
    """HOME and XDG_CONFIG_HOME in a temporary folder; an installation folder (its "InstallDir")
    holding the quillet host and, as tarnwick, the stand-in that records its arguments."""

    def __init__(self, bin_dir, recorder, enabler):
        self.root = tempfile.mkdtemp(prefix="tarnwick-browser-")
        self.home = os.path.join(self.root, "home")
        self.config = os.path.join(self.root, "config")
        self.install = os.path.join(self.root, "install")
        for folder in (self.home, os.path.join(self.config, "Ostrand"), self.install):
            os.makedirs(folder)
        shutil.copy(os.path.join(bin_dir, "quillet"), os.path.join(self.install, "quillet"))
        shutil.copy(recorder, os.path.join(self.install, "tarnwick"))
        with open(os.path.join(self.config, "Ostrand", "Tarnwick.conf"), "w") as settings:
            settings.write(f"[General]\nInstallDir={self.install}\n")
        self.enabler = enabler
        self.env = dict(os.environ, HOME=self.home, XDG_CONFIG_HOME=self.config,
                        XDG_CACHE_HOME=os.path.join(self.root, "cache"),
                        XDG_DATA_HOME=os.path.join(self.root, "data"))
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.browser = None

    def start_program_switched_on(self, bin_dir):
        """The user's choice stored in Quillet's settings, then one start of the real program:
        the start writes the host manifests itself. In the test's environment the program runs on
        the offscreen platform, where -? prints the usage text (or the engine's failure) and
        ends; either way the hand-off has been set up before."""
        with open(os.path.join(self.config, "Ostrand", "Quillet.conf"), "w") as state:
            state.write("[General]\nContextMenu=1\nToolbarButton=1\nToolsMenu=1\n")
        process = subprocess.Popen([os.path.join(bin_dir, "tarnwick"), "-?"], env=self.env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            return process.wait(60)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            return None

    def enable(self, enabled, context, toolbar, tools):
        """The Options dialog's OK: Enable through the real registrar."""
        args = [self.enabler] + [str(int(flag)) for flag in (enabled, context, toolbar, tools)]
        return subprocess.run(args, env=self.env, check=True, capture_output=True, text=True).stdout.strip()

    def remove_program(self):
        os.rename(os.path.join(self.install, "tarnwick"), os.path.join(self.install, "tarnwick.away"))

    def restore_program(self):
        os.rename(os.path.join(self.install, "tarnwick.away"), os.path.join(self.install, "tarnwick"))

    def launches(self):
        """[(detached, [arguments as bytes])] of every start so far, one per process."""
        folder = os.path.join(self.install, "launches")
        if not os.path.isdir(folder):
            return []
        records = []
        for name in sorted((n for n in os.listdir(folder) if n.isdigit()), key=int):
            with open(os.path.join(folder, name), "rb") as record:
                first, _, rest = record.read().partition(b"\n")
            records.append((first == b"detached", rest.split(b"\0")[:-1]))
        return records

    def last_launch(self):
        """(arguments, standard input, environment) of the newest start, as bytes."""
        folder = os.path.join(self.install, "launches")
        newest = max((n for n in os.listdir(folder) if n.isdigit()), key=lambda n: os.path.getmtime(
            os.path.join(folder, n)))

        def contents(name):
            path = os.path.join(folder, name)
            return open(path, "rb").read() if os.path.exists(path) else b""
        arguments = contents(newest).partition(b"\n")[2].split(b"\0")[:-1]
        return arguments, contents(newest + ".input"), contents(newest + ".environ")

    def set_send_cookies(self, on):
        """Options' "Send the site's cookies with the page", as it stores it in Quillet.conf."""
        path = os.path.join(self.config, "Ostrand", "Quillet.conf")
        with open(path) as state:
            lines = [line for line in state.read().splitlines() if not line.startswith("SendCookies=")]
        if "[General]" not in lines:
            lines.insert(0, "[General]")
        lines.insert(lines.index("[General]") + 1, f"SendCookies={int(on)}")
        with open(path, "w") as state:
            state.write("\n".join(lines) + "\n")

    def wait_for_launches(self, count, seconds=15):
        deadline = time.monotonic() + seconds
        while len(self.launches()) < count and time.monotonic() < deadline:
            time.sleep(0.05)
        return self.launches()

    def start_browser(self, args, log_name):
        log = open(os.path.join(self.root, log_name), "wb")
        # A session of its own, so that the browser and all its helpers end together.
        self.browser = subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL, stdout=log,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        return self.browser

    def browser_log(self, log_name):
        with open(os.path.join(self.root, log_name), "rb") as log:
            return log.read().decode(errors="replace")[-4000:]

    def close(self):
        if self.browser is not None and self.browser.poll() is None:
            os.killpg(self.browser.pid, signal.SIGTERM)
            try:
                self.browser.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.browser.pid, signal.SIGKILL)
                self.browser.wait()
        shutil.rmtree(self.root, ignore_errors=True)


def wait_for_file(path, seconds, process):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if os.path.exists(path) and os.path.getsize(path) > 0:
            return True
        if process.poll() is not None:
            return False
        time.sleep(0.05)
    return False


def check_launches(checks, handoff, expected, what):
    """Each address started a program of its own, detached, with the address as its one argument."""
    records = handoff.wait_for_launches(len(expected))
    checks.equal(f"{what}: one program per hand-off", len(records), len(expected))
    checks.equal(f"{what}: every program detached", all(detached for detached, _ in records), True)
    checks.equal(f"{what}: arguments", sorted(args for _, args in records),
                 sorted([url.encode()] for url in expected))


def arguments():
    if len(sys.argv) != 5:
        print("usage: <test> <bin dir> <extension> <argvrecorder> <enableentries>")
        sys.exit(2)
    return sys.argv[1:]


def check_program_wrote_manifest(checks, path, quillet):
    """The manifest a browser reads names the installation's quillet, which exists."""
    try:
        with open(path) as file:
            manifest = json.load(file)
    except (OSError, ValueError) as error:
        checks.equal(f"manifest at {path}", str(error), "a readable manifest")
        return None
    checks.equal("manifest names the installation's quillet", manifest.get("path"), quillet)
    checks.equal("named quillet is a program", os.access(manifest.get("path", ""), os.X_OK), True)
    return manifest


# An address the host refuses (not http or https), and its reason.
REFUSED_URL = "ftp://example.test/video.flv"
REFUSED_REASON = "Only http and https addresses can be downloaded."

# Addresses a shell would split or expand, with non-ASCII text: each must arrive whole.
PAGE_URL = "http://127.0.0.1:8123/watch?v=page one&t=\"q\" 'x' $(id)"
LINK_URL = "https://example.test/vid\u00e9o/\u65e5\u672c?a=1&b=`id`;|*"
ACTION_URL = "http://example.test/watch?v=toolbar%20button"
TOOLS_URL = "http://example.test/watch?v=tools"


# The cookies a test sets in the browser: two for the page's site (one HttpOnly, one for the
# session only) and one for another site, which must stay behind.
COOKIE_PAGE_URL = "http://127.0.0.1:8123/members?v=1"
# Browsers cut a cookie's life to about 400 days; a month stays as set.
COOKIE_EXPIRES = int(time.time()) + 30 * 86400
BROWSER_COOKIES = [
    {"url": "http://127.0.0.1:8123/", "name": "member", "value": "s3cr3t-browser", "httpOnly": True,
     "expirationDate": COOKIE_EXPIRES},
    {"url": "http://127.0.0.1:8123/", "name": "sid", "value": "s3cr3t-session"},
    {"url": "http://other.test/", "name": "elsewhere", "value": "s3cr3t-other", "expirationDate": COOKIE_EXPIRES},
]
HANDED_COOKIE_LINES = [b"#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t%d\tmember\ts3cr3t-browser" % COOKIE_EXPIRES,
                       b"127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\ts3cr3t-session"]


def check_cookies_handed(checks, handoff, hand_off, action_title):
    """With the switch on, a hand-off takes the site's cookies to the program on its standard
    input, and the toolbar button says so; with it off, none go. hand_off() hands
    COOKIE_PAGE_URL over from the toolbar button and returns the error shown; action_title()
    refreshes the extension's state and returns the button's title."""
    handoff.set_send_cookies(True)
    checks.equal("cookies on: the button says so", action_title(), "Download Video (with the site's cookies)")
    count = len(handoff.launches())
    checks.equal("cookies on: hand-off answered", hand_off(), "")
    handoff.wait_for_launches(count + 1)
    arguments, given, environment = handoff.last_launch()
    checks.equal("cookies on: the program is told to read them", arguments,
                 [b"--cookies-from-stdin", COOKIE_PAGE_URL.encode()])
    checks.equal("cookies on: the site's cookies, and only those", sorted(given.splitlines()),
                 sorted(HANDED_COOKIE_LINES))
    checks.equal("cookies on: none in the environment", b"s3cr3t" in environment, False)

    handoff.set_send_cookies(False)
    checks.equal("cookies off: the button says nothing of them", action_title(), "Download Video")
    checks.equal("cookies off: hand-off answered", hand_off(), "")
    handoff.wait_for_launches(count + 2)
    arguments, given, _ = handoff.last_launch()
    checks.equal("cookies off: the address alone", (arguments, given), ([COOKIE_PAGE_URL.encode()], b""))
