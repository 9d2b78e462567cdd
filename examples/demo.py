#!/usr/bin/env python3
"""The demo behind `./run demo`: the loopback feedback service with its inbox, and the real helper
driven by an owner, showing every line they exchange."""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from owner import FeedbackHelper, show  # noqa: E402


def sample_png(width=480, height=300):
    """A small gradient picture standing in for the owner's window."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows += bytes((40 + x * 180 // width, 90 + y * 120 // height, 160))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b""))


def start_service(build, out):
    standin = os.path.join(build, "tools", "standin", "morvik-service-standin")
    if not os.path.exists(standin):
        return None, None
    service = subprocess.Popen([standin, "--port", "0", "--db", os.path.join(out, "inbox.sqlite")],
                               stdout=subprocess.PIPE, text=True)
    line = service.stdout.readline().strip()
    url = line.split()[-1]
    print("service: loopback feedback service with its inbox at", url + "/", flush=True)
    return service, url


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    service, url = start_service(args.build, args.out)
    env = dict(os.environ)
    env["MORVIK_FEEDBACK_TRACE"] = "1"
    # The demo's own data and preferences, away from the user's.
    home = tempfile.mkdtemp(prefix="morvik-demo-")
    env.setdefault("XDG_DATA_HOME", os.path.join(home, "data"))
    env.setdefault("XDG_CONFIG_HOME", os.path.join(home, "config"))
    if url:
        env["MORVIK_FEEDBACK_URL"] = url
        env["MORVIK_ACCOUNT_URL"] = url

    helper = FeedbackHelper(os.path.join(args.build, "src", "host", "morvik-feedback-helper"), env=env,
                            on_message=show)
    helper.snapshot = sample_png()
    try:
        helper.configure("demo-app", "demo-ingest-key", product_name="Demo Owner", version="1.0", build="7")
        helper.compose()
        helper.wait_for(lambda m: "compose with" in m.get("log", ""))
        time.sleep(0.3)
        status = helper.close()
        print("helper exited with status", status, flush=True)
    finally:
        if service:
            service.terminate()
            service.wait(timeout=10)
    return 0


if __name__ == "__main__":
    sys.exit(main())
