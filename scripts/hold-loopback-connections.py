#!/usr/bin/python3
"""hold-loopback-connections.py [-6] [N] [SECONDS]: opens N (default 10000) established TCP
connections on the loopback address (::1 with -6, else 127.0.0.1), 2N rows in the TCP table, prints
"ready PORT" and holds them for SECONDS (default 120). The accepting ends stay in this process, the
connecting ends in a child, so each process needs about N file descriptors. For running the
connection-history tick beside `ss -tn` / `ss -tn6` on a full table."""
import os
import socket
import sys
import time

args = sys.argv[1:]
family, host = socket.AF_INET, "127.0.0.1"
if args and args[0] == "-6":
    family, host = socket.AF_INET6, "::1"
    args = args[1:]
count = int(args[0]) if args else 10000
hold = float(args[1]) if len(args) > 1 else 120.0

listener = socket.socket(family)
listener.bind((host, 0))
listener.listen(4096)
port = listener.getsockname()[1]
if os.fork() == 0:
    listener.close()
    clients = [socket.create_connection((host, port)) for _ in range(count)]
    time.sleep(hold + 5)
    os._exit(0)
servers = [listener.accept()[0] for _ in range(count)]
print("ready", port, flush=True)
time.sleep(hold)
