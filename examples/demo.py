#!/usr/bin/env python3
"""The demo behind `./run demo`: the loopback feedback service with its SQLite inbox, a demo owner
window (a small Qt application) that starts the real helper, and one report sent through the real
composer window.

    python3 examples/demo.py --build BUILD --out OUT [--interactive]

Without --interactive the demo drives the windows itself with xdotool: it presses the owner's
"Send Feedback..." button, types a message and an e-mail address into the composer, sends with
Ctrl+Return, prints the reference code the service handed out, and writes pictures of the owner, the
composer and its success screen into OUT, with the inbox page and the snapshot the report carries.
Then it takes a screenshot of the screen into the demo's screenshot folder while the owner is active,
and pictures the "Tell us" banner that comes up over the owner's window.
With --interactive the windows stay for you to use until you close the owner's window.
"""
import argparse
import json
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

MESSAGE = "  The export dialog forgets the last folder I used. \n"
CONTACT = "ann@example.com"
# The success screen's fade and seal come to rest within about half a second.
SETTLE = 1.0


class Lines:
    """Collects a process's output lines in a thread and lets the demo wait for one."""

    def __init__(self, stream, echo=True):
        self.lines = []
        self.cond = threading.Condition()
        threading.Thread(target=self._read, args=(stream, echo), daemon=True).start()

    def _read(self, stream, echo):
        for line in stream:
            line = line.rstrip("\n")
            if echo:
                print(line, flush=True)
            with self.cond:
                self.lines.append(line)
                self.cond.notify_all()

    def wait_for(self, text, start=0, timeout=30):
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for i in range(start, len(self.lines)):
                    if text in self.lines[i]:
                        return i
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError("no line with " + repr(text))
                self.cond.wait(left)

    def count(self):
        with self.cond:
            return len(self.lines)


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=30)
    if check and result.returncode != 0:
        raise RuntimeError("xdotool " + " ".join(args) + " failed: " + result.stderr.strip())
    return result.stdout.strip()


def picture(window, path):
    subprocess.run(["import", "-window", window, path], check=True, timeout=30)
    print("demo:   wrote", path, flush=True)


def start_service(build, out):
    standin = os.path.join(build, "tools", "standin", "morvik-service-standin")
    database = os.path.join(out, "inbox.sqlite")
    if os.path.exists(database):
        os.remove(database)
    service = subprocess.Popen([standin, "--port", "0", "--db", database], stdout=subprocess.PIPE, text=True)
    line = service.stdout.readline().strip()
    if not line.startswith("listening "):
        raise RuntimeError("the stand-in service did not start")
    url = line.split()[-1]
    print("demo: loopback feedback service with its inbox at", url + "/", flush=True)
    return service, url, database


def latest_report(database):
    with sqlite3.connect(database) as db:
        return db.execute("SELECT code, body FROM entries WHERE kind = 'report' "
                          "ORDER BY received_at DESC LIMIT 1").fetchone()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--interactive", action="store_true",
                        help="leave the windows to you; the demo ends when the owner's window closes")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    if not os.environ.get("DISPLAY"):
        sys.exit("demo: needs a display (./run demo starts Xvfb when there is none)")
    for tool in ("xdotool", "import"):
        if not args.interactive and not shutil.which(tool):
            sys.exit("demo: needs " + tool)

    service, url, database = start_service(args.build, args.out)
    home = tempfile.mkdtemp(prefix="morvik-demo-")
    env = dict(os.environ)
    # The demo's own preferences, outbox and runtime files, away from the user's.
    env.update({
        "XDG_CONFIG_HOME": os.path.join(home, "config"),
        "XDG_DATA_HOME": os.path.join(home, "data"),
        "XDG_RUNTIME_DIR": os.path.join(home, "runtime"),
        "MORVIK_FEEDBACK_URL": url,
        "MORVIK_ACCOUNT_URL": url,
        "QT_LOGGING_RULES": "morvik.feedback.*.debug=true",
    })
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    # The demo's pictures folder: screenshots saved into its "Screenshots" folder bring the banner.
    os.makedirs(env["XDG_CONFIG_HOME"], exist_ok=True)
    with open(os.path.join(env["XDG_CONFIG_HOME"], "user-dirs.dirs"), "w", encoding="utf-8") as f:
        f.write('XDG_PICTURES_DIR="%s"\n' % os.path.join(home, "Pictures"))
    screenshots = os.path.join(home, "Pictures", "Screenshots")
    os.makedirs(screenshots, exist_ok=True)
    env.pop("QT_QPA_PLATFORM", None)

    owner_program = os.path.join(args.build, "tools", "demo-owner", "morvik-demo-owner")
    helper_program = os.path.join(args.build, "bin", "morvik-feedback-helper")
    owner = subprocess.Popen([owner_program, "--helper", helper_program, "--product", "Sketchpad"],
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True, env=env)
    lines = Lines(owner.stdout)
    status = 1
    try:
        lines.wait_for('{"event":"ready"}')
        if args.interactive:
            print("demo: press \"Send Feedback...\" in the owner's window; the inbox is at", url + "/", flush=True)
            print("demo: close the owner's window to end the demo", flush=True)
            owner.wait()
            status = owner.returncode
            return status
        status = drive(owner, lines, url, database, args.out, screenshots)
    finally:
        if owner.poll() is None:
            owner.terminate()
            owner.wait(timeout=10)
        service.terminate()
        service.wait(timeout=10)
        shutil.rmtree(home, ignore_errors=True)
    return status


def drive(owner, lines, url, database, out, screenshots):
    owner_window = xdotool("search", "--sync", "--pid", str(owner.pid), "--name", "Demo Owner").split()[0]
    xdotool("windowactivate", "--sync", owner_window)
    time.sleep(0.3)
    picture(owner_window, os.path.join(out, "owner.png"))

    # The owner's "Send Feedback..." button sits at the left of its toolbar.
    print("demo: pressing \"Send Feedback...\" in the owner's window", flush=True)
    mark = lines.count()
    xdotool("mousemove", "--window", owner_window, "80", "26", "click", "1")
    lines.wait_for('"want":"snapshot"', mark)
    lines.wait_for("composer: window shown", mark)
    composer = xdotool("search", "--sync", "--name", "^Send Feedback$").split()[0]
    xdotool("windowactivate", "--sync", composer, check=False)
    time.sleep(0.3)
    picture(composer, os.path.join(out, "composer.png"))

    # The editor has the focus. Tab goes on to the snapshot switch, then to the e-mail field.
    print("demo: typing the message and the e-mail address, then Ctrl+Return", flush=True)
    xdotool("type", "--delay", "12", MESSAGE)
    xdotool("key", "Tab", "Tab")
    xdotool("type", "--delay", "12", CONTACT)
    time.sleep(0.3)
    picture(composer, os.path.join(out, "composer-filled.png"))
    mark = lines.count()
    xdotool("key", "ctrl+Return")
    index = lines.wait_for("composer: report", mark, timeout=90)
    if "report accepted" not in lines.lines[index]:
        print("demo: the report was not accepted", flush=True)
        time.sleep(SETTLE)
        picture(composer, os.path.join(out, "composer-error.png"))
        return 1
    time.sleep(SETTLE)
    picture(composer, os.path.join(out, "success.png"))

    code, body = latest_report(database)
    print("demo: reference code", code, flush=True)
    report = json.loads(body)
    address = report.get("screenshot_url", "")
    print("demo: the report's message:", repr(report.get("message")), "- its snapshot:", address or "none", flush=True)
    with urllib.request.urlopen(url + "/", timeout=10) as page:
        inbox = page.read().decode("utf-8")
    if address:
        with urllib.request.urlopen(address, timeout=10) as snapshot:
            with open(os.path.join(out, "snapshot.jpg"), "wb") as f:
                f.write(snapshot.read())
        print("demo:   wrote", os.path.join(out, "snapshot.jpg"), flush=True)
        # The saved page shows the saved snapshot once the service is gone.
        inbox = inbox.replace(address, "snapshot.jpg")
    with open(os.path.join(out, "inbox.html"), "w", encoding="utf-8") as f:
        f.write(inbox)
    print("demo:   wrote", os.path.join(out, "inbox.html"), "(the inbox page, served at", url + "/ during the demo)",
          flush=True)

    # Done has the focus on the success screen: Return closes the composer and the owner comes back.
    mark = lines.count()
    xdotool("key", "Return")
    lines.wait_for("composer: window closed", mark)
    time.sleep(0.5)
    active = xdotool("getactivewindow", check=False)
    print("demo: the owner's window is active again:", "yes" if active == owner_window else "no", flush=True)
    picture(owner_window, os.path.join(out, "owner-after.png"))

    # A screenshot of the screen while the owner is active: the banner floats over the owner's window.
    print("demo: taking a screenshot into", screenshots, flush=True)
    xdotool("windowactivate", "--sync", owner_window, check=False)
    time.sleep(0.3)
    mark = lines.count()
    subprocess.run(["import", "-window", "root", os.path.join(screenshots, "Screenshot-demo.png")], check=True,
                   timeout=30)
    lines.wait_for("screenshot: taken, feedback offered", mark)
    lines.wait_for("banner: window exposed", mark)
    time.sleep(SETTLE)
    picture("root", os.path.join(out, "banner.png"))
    active = xdotool("getactivewindow", check=False)
    print("demo: the owner's window is still active under the banner:", "yes" if active == owner_window else "no",
          flush=True)
    lines.wait_for("feedback: banner dismissed", mark, timeout=20)

    xdotool("windowactivate", "--sync", owner_window, check=False)
    xdotool("key", "alt+F4")
    owner.wait(timeout=20)
    lines.wait_for("owner: the helper exited with status", timeout=10)
    print("demo: done; pictures and the inbox page are in", out, flush=True)
    return 0 if owner.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
