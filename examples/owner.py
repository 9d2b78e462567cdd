#!/usr/bin/env python3
"""A minimal owner application for the Morvik feedback helper, for owners written in any language.

The owner starts the helper as a child process and talks to it over its standard input and output,
one JSON object per line. This script shows every message:

    python3 examples/owner.py path/to/morvik-feedback-helper [--image snapshot.png]

It configures the helper, asks it to compose (the helper then asks for a snapshot, which this owner
answers with the image's bytes as base64), asks it to flush its outbox, prints everything the helper
writes, and closes the helper's standard input, which ends the helper with status 0.
"""
import argparse
import base64
import json
import os
import queue
import subprocess
import sys
import threading
import time


class FeedbackHelper:
    """The helper process and its line protocol."""

    def __init__(self, path, env=None, on_message=None):
        self.process = subprocess.Popen(
            [path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env, bufsize=0)
        self.messages = queue.Queue()
        self.snapshot = None  # bytes to answer snapshot requests with; None answers without an image
        self.on_message = on_message or (lambda direction, message: None)
        self._write_lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def send(self, message):
        line = json.dumps(message, separators=(",", ":"))
        self.on_message("->", message)
        with self._write_lock:
            self.process.stdin.write(line.encode() + b"\n")
            self.process.stdin.flush()

    def configure(self, app_key, ingest_key, product_name=None, version=None, build=None):
        config = {"appKey": app_key, "ingestKey": ingest_key, "ownerPID": os.getpid()}
        for key, value in (("productName", product_name), ("version", version), ("build", build)):
            if value:
                config[key] = value
        self.send({"config": config})
        return self.wait_for(lambda m: m.get("event") == "ready")

    def compose(self):
        self.send({"cmd": "compose"})

    def flush(self):
        self.send({"cmd": "flush"})
        return self.wait_for(lambda m: m.get("event") == "flushed", timeout=90)

    def wait_for(self, predicate, timeout=10):
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no matching message from the helper")
            message = self.messages.get(timeout=left)
            if predicate(message):
                return message

    def close(self):
        """Closing standard input ends the helper; it exits with status 0."""
        self.process.stdin.close()
        return self.process.wait(timeout=10)

    def _read(self):
        for raw in self.process.stdout:
            try:
                message = json.loads(raw)
            except ValueError:
                continue
            self.on_message("<-", message)
            if message.get("want") == "snapshot":
                # Answer within 3 seconds, or the helper goes on without an image.
                answer = {"id": message["id"]}
                if self.snapshot is not None:
                    answer["snapshot"] = base64.b64encode(self.snapshot).decode("ascii")
                self.send(answer)
            self.messages.put(message)


def show(direction, message):
    text = json.dumps(message, separators=(",", ":"))
    if len(text) > 110:
        text = text[:100] + "...(" + str(len(text)) + " chars)"
    print(("owner  -> helper  " if direction == "->" else "helper -> owner   ") + text, flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("helper")
    parser.add_argument("--image", help="a PNG or JPEG file to answer snapshot requests with")
    parser.add_argument("--app-key", default="demo-app")
    parser.add_argument("--ingest-key", default="demo-ingest-key")
    args = parser.parse_args()

    helper = FeedbackHelper(args.helper, on_message=show)
    if args.image:
        with open(args.image, "rb") as f:
            helper.snapshot = f.read()
    helper.configure(args.app_key, args.ingest_key, product_name="Example Owner", version="1.0", build="7")
    helper.compose()
    helper.wait_for(lambda m: m.get("want") == "snapshot")
    time.sleep(0.5)
    print("helper exited with status", helper.close())


if __name__ == "__main__":
    sys.exit(main())
