#!/usr/bin/env python3
"""Captures the seed datagrams of FuzzIcmpDatagram on loopback: run as root with
`unshare -n python3 fuzz/icmp-seeds.py fuzz/seeds/FuzzIcmpDatagram` (a network namespace of its
own, so nothing leaves the machine). A raw ICMP socket records what arrives for requests laid out
as the client sends them (identifier 0x4242, sequence 3489): the request itself as this machine
hears it, the echo reply, requests and replies with IP options (header lengths 24 to 60), destination
unreachable and time exceeded with the request embedded (through a veth pair that loops back into
a second routing table), and cut prefixes of these."""
import os
import socket
import struct
import subprocess
import sys
import time

SEQUENCE = 3489
IDENTIFIER = 0x4242

SETUP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support", "icmp-router.sh")


def checksum(data):
    total = sum(struct.unpack("<%dH" % (len(data) // 2), data))
    total = (total >> 16) + (total & 0xFFFF)
    total += total >> 16
    return ~total & 0xFFFF


def request():
    body = struct.pack("<BBHHHI8x", 8, 0, 0, IDENTIFIER, SEQUENCE, 123456) + b"E" * 32
    return body[:2] + struct.pack("<H", checksum(body)) + body[4:]


def capture(target, ttl=128, options=b"", wait=0.3):
    listen = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    send = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    send.setsockopt(socket.IPPROTO_IP, socket.IP_TTL, ttl)
    if options:
        send.setsockopt(socket.IPPROTO_IP, socket.IP_OPTIONS, options)
    send.sendto(request(), (target, 0))
    listen.settimeout(wait)
    got = []
    try:
        while True:
            got.append(listen.recv(2048))
    except socket.timeout:
        pass
    return got


def record_route(header_length):
    """IP options of (header_length - 20) bytes: record route with as many slots as fit."""
    room = header_length - 20
    slots = (room - 3) // 4
    if slots < 1:
        return b"\x01" * (room - 1) + b"\x00"
    option = bytes([7, 3 + 4 * slots, 4]) + b"\x00" * (4 * slots)
    return option + b"\x00" * (room - len(option))


def main(out):
    subprocess.run(["sh", "-e", SETUP], check=True)
    time.sleep(0.2)
    seeds = {}
    for d in capture("127.0.0.1"):
        seeds["own-request" if d[20] == 8 else "echo-reply"] = d
    for h in range(24, 64, 4):
        for d in capture("127.0.0.1", options=record_route(h)):
            ihl = d[0] & 15
            if ihl > 5:
                kind = "echo-reply" if d[ihl * 4] == 0 else "own-request"
                seeds["%s-ihl%d" % (kind, ihl)] = d
    for d in capture("10.99.2.5"):
        if d[20] == 3:
            seeds["unreachable"] = d
    for d in capture("10.99.5.5", ttl=1):
        if d[20] == 11:
            seeds["time-exceeded"] = d
    for name in ("echo-reply", "unreachable"):
        whole = seeds.get(name)
        if whole:
            for n in (27, 28, len(whole) // 2, len(whole) - 1):
                seeds["%s-cut%d" % (name, n)] = whole[:n]
    os.makedirs(out, exist_ok=True)
    for name, data in sorted(seeds.items()):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print("%-24s %4d bytes, header %d" % (name, len(data), (data[0] & 15) * 4))


if __name__ == "__main__":
    main(sys.argv[1])
