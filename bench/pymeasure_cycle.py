#!/usr/bin/python3
"""pymeasure_cycle_ratio: a pymeasure set and get of the frequency through
zrt-serve --scpi (its generic Agilent 33500 driver, PyVISA with pyvisa-py),
against the floor: the same two lines sent raw to zrt-serve and answered.
Both against the simulated instrument; the mean of N cycles each.

    pymeasure_cycle.py ZRT_SERVE [--cycles N] [--json]
"""
import argparse
import re
import socket
import subprocess
import time

from pymeasure.adapters import VISAAdapter
from pymeasure.instruments.agilent import Agilent33500


def start(serve, *options):
    process = subprocess.Popen([serve, "--simulate", "--listen", "127.0.0.1:0", *options],
                               stderr=subprocess.PIPE, text=True)
    port = int(re.search(r"127\.0\.0\.1:(\d+)", process.stderr.readline()).group(1))
    return process, port


def stop(process):
    process.terminate()
    process.wait(20)


def raw_cycle(port, cycles):
    client = socket.create_connection(("127.0.0.1", port), timeout=20)
    total = 0.0
    for cycle in range(cycles):
        frequency = 1000 + cycle
        start = time.monotonic()
        for line in (f"88CHA:AFREQ{frequency}Hz\n", "88CHA:AFREQ?\n"):
            client.sendall(line.encode())
            answer = b""
            while not answer.endswith(b"\n"):
                answer += client.recv(4096)
        total += time.monotonic() - start
    client.close()
    return total / cycles


def pymeasure_cycle(port, cycles):
    gen = Agilent33500(VISAAdapter(f"TCPIP0::127.0.0.1::{port}::SOCKET", visa_library="@py",
                                   read_termination="\n", write_termination="\n"))
    total = 0.0
    for cycle in range(cycles):
        frequency = 1000 + cycle
        start = time.monotonic()
        gen.frequency = frequency
        assert gen.frequency == frequency
        total += time.monotonic() - start
    gen.adapter.connection.close()
    return total / cycles


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("serve")
    parser.add_argument("--cycles", type=int, default=10)
    parser.add_argument("--json", action="store_true")
    options = parser.parse_args()
    raw, port = start(options.serve)
    try:
        floor = raw_cycle(port, options.cycles)
    finally:
        stop(raw)
    scpi, port = start(options.serve, "--scpi")
    try:
        cycle = pymeasure_cycle(port, options.cycles)
    finally:
        stop(scpi)
    ratio = cycle / floor
    if options.json:
        print(f'{{"pymeasure_cycle_ms": {cycle * 1000:.1f}, "raw_cycle_ms": {floor * 1000:.1f}, '
              f'"pymeasure_cycle_ratio": {ratio:.3f}}}')
    else:
        print(f"pymeasure_cycle_ratio: {ratio:.3f} ({cycle * 1000:.1f} ms a set and get, "
              f"the raw lines {floor * 1000:.1f} ms; target <= 1.10)")


if __name__ == "__main__":
    main()
