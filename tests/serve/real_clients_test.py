#!/usr/bin/python3
"""zrt-serve with the simulated instrument, reached by clients we did not
write (PyVISA with pyvisa-py, lxi-tools, socat) and by one that floods it.

    real_clients_test.py ZRT_SERVE
"""
import os
import re
import signal
import socket
import subprocess
import sys
import threading
import time

import pyvisa

SERVE = sys.argv[1]
SIM = os.path.join(os.path.dirname(SERVE), "zrt-sim")
LIMIT = 20  # seconds any one step may take


def start(*options, link=("--simulate",)):
    serve = subprocess.Popen([SERVE, *link, "--listen", "127.0.0.1:0", *options],
                             stderr=subprocess.PIPE, text=True)
    line = serve.stderr.readline()
    found = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
    assert found, f"zrt-serve said: {line!r}"
    # Its log is read all along, so that it never waits to write it.
    log = []
    reader = threading.Thread(target=lambda: log.extend(serve.stderr), daemon=True)
    reader.start()
    return serve, int(found.group(1)), log, reader


def start_sim(path, *options):
    """The simulated instrument on a terminal of its own at `path`; what it hears, as it says it."""
    sim = subprocess.Popen([SIM, "--check-pacing", "--link", path, *options], stdout=subprocess.PIPE,
                           text=True)
    heard = []
    threading.Thread(target=lambda: heard.extend(sim.stdout), daemon=True).start()
    until(lambda: os.path.exists(path))
    return sim, heard


def stop(*processes):
    # Ended as a service manager ends them: their locks go with them.
    for process in processes:
        process.terminate()
    for process in processes:
        try:
            process.wait(LIMIT)
        except subprocess.TimeoutExpired:
            process.kill()


def resident_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


def pyvisa_queries(port):
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET",
                            read_termination="\n", write_termination="\n")
    inst.timeout = LIMIT * 1000
    inst.write("88CHA:AFREQ1000Hz")
    assert inst.read() == "OK"  # the simulated instrument acknowledges a setting
    value = inst.query("88CHA:AFREQ?")
    assert value == "1000Hz", value
    inst.close()


def lxi_query(port):
    out = subprocess.run(["lxi", "scpi", "-r", "-a", "127.0.0.1", "-p", str(port),
                          "-t", str(LIMIT), "88CHA:AFREQ?"],
                         capture_output=True, text=True, timeout=LIMIT)
    assert out.stdout.strip() == "1000Hz", out


def socat_pipe(port):
    # socat shuts its side once its input ends: what it sent is still answered.
    out = subprocess.run(["socat", "-t", str(LIMIT), "-", f"TCP:127.0.0.1:{port}"],
                         input=b"88CHB:AFREQ500Hz\r\n88CHB:AFREQ?\n",
                         capture_output=True, timeout=LIMIT + 5)
    assert out.stdout == b"OK\n500Hz\n", out


def megabyte_without_line_feed(port):
    # Refused once, nothing of it sent, and the client still served.
    client = socket.create_connection(("127.0.0.1", port), timeout=LIMIT)
    client.sendall(b"A" * (1 << 20) + b"\n88CHA:AFREQ?\n")
    reply = b""
    while reply.count(b"\n") < 2:
        reply += client.recv(4096)
    assert reply == b"ERROR: line longer than 254 bytes, not sent\n1000Hz\n", reply
    client.close()


def flood_and_query(serve, port):
    # A client that sends lines as fast as it can is no longer read once its
    # queue is full: its sends block, the server's memory stays put, and
    # another client is still served.
    before = resident_kb(serve.pid)
    flood = socket.create_connection(("127.0.0.1", port))
    flood.setblocking(False)
    chunk = b"88CHA:AOFFS1Vdc\n" * 4096
    sent = 0
    deadline = time.monotonic() + LIMIT
    while time.monotonic() < deadline:
        try:
            sent += flood.send(chunk)
        except BlockingIOError:
            break
    assert sent < 64 << 20, "the server read everything it was sent"
    other = socket.create_connection(("127.0.0.1", port), timeout=LIMIT)
    other.sendall(b"88CHA:AFREQ?\n")
    reply = b""
    while not reply.endswith(b"\n"):
        reply += other.recv(100)
    assert reply == b"1000Hz\n", reply
    grown = resident_kb(serve.pid) - before
    assert grown < 2048, f"grew by {grown} kB under a flood"
    flood.close()
    other.close()


def refusals(port):
    # Each failure in one line, with its documented status.
    cases = [
        (["--simulate", "--listen", "nowhere"], 2, "--listen needs"),
        (["--simulate", "--listen", f"127.0.0.1:{port}"], 6, f"127.0.0.1:{port}"),
        (["--port", "/dev/zrt-no-such-port"], 3, "/dev/zrt-no-such-port"),
        (["--simulate", "--max-line", "4097"], 2, "--max-line needs"),
    ]
    for args, status, said in cases:
        out = subprocess.run([SERVE, *args], capture_output=True, text=True, timeout=LIMIT)
        assert out.returncode == status and said in out.stderr, (args, out)
    usage = subprocess.run([SERVE, "--help"], capture_output=True, text=True, timeout=LIMIT)
    assert usage.stdout.count("--limits FILE") == 1, usage.stdout


def limits():
    # A line beyond a limit is refused with the limit named, and not sent.
    path = f"/tmp/zrt-serve-limits-{os.getpid()}.ini"
    with open(path, "w") as file:
        file.write("[A]\nmax_frequency_hz = 10e6\n")
    serve, port, log, reader = start("--limits", path)
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=LIMIT) as client:
            client.sendall(b"88CHA:AFREQ20MHz\n88CHA:AFREQ?\n")
            replies_in = client.makefile("rb")
            replies = replies_in.readline() + replies_in.readline()
        assert replies == (b"ERROR: not sent: channel A's frequency would be 20 MHz; its limit "
                           b"is 10 MHz\n0\n"), replies
        bad = subprocess.run([SERVE, "--simulate", "--limits", "/dev/zrt-no-such-file"],
                             capture_output=True, text=True, timeout=LIMIT)
        assert bad.returncode == 2 and "/dev/zrt-no-such-file" in bad.stderr, bad
        # Limits that limit nothing do not start a server.
        empty = os.path.join(os.path.dirname(path), "empty.ini")
        open(empty, "w").close()
        config = os.path.join(os.path.dirname(path), "serve.ini")
        with open(config, "w") as file:
            file.write("simulate = true\nlimits =\n")
        for arguments, said in ((["--limits", empty], "no limit is set"),
                                (["--config", config], "--limits needs a file")):
            refused = subprocess.run([SERVE, "--simulate"] + arguments, capture_output=True,
                                     text=True, timeout=LIMIT)
            assert refused.returncode == 2 and said in refused.stderr, refused
    finally:
        serve.kill()
        serve.wait()
        os.remove(path)


def ask(port, line):
    with socket.create_connection(("127.0.0.1", port), timeout=LIMIT) as client:
        client.sendall(line + b"\n")
        return client.makefile("rb").readline()


def until(condition):
    deadline = time.monotonic() + LIMIT
    while not condition():
        assert time.monotonic() < deadline, "never came"
        time.sleep(0.1)


def port_comes_back():
    # A port lost and back at the same path is opened again; one that stays
    # away ends the server with the port's status, for systemd to start it
    # again.
    path = f"/tmp/zrt-serve-port-{os.getpid()}"
    sims = [subprocess.Popen([SIM, "--link", path, "--quiet"], stdout=subprocess.DEVNULL)]
    until(lambda: os.path.exists(path))
    serve, port, log, reader = start("--reopen-within", "3", link=("--port", path))
    try:
        assert ask(port, b"88CHA:AFREQ?") == b"0\n"
        sims[0].terminate()
        sims[0].wait(LIMIT)
        until(lambda: any("waiting for it to come back" in line for line in log))
        sims.append(subprocess.Popen([SIM, "--link", path, "--quiet"], stdout=subprocess.DEVNULL))
        until(lambda: any("reopened" in line for line in log))
        assert ask(port, b"88CHA:AFREQ?") == b"0\n"
        sims[1].terminate()
        assert serve.wait(timeout=LIMIT) == 3, "".join(log[-5:])
    finally:
        for process in (serve, *sims):
            if process.poll() is None:
                process.kill()


def main():
    serve, port, log, reader = start()
    try:
        for step in (pyvisa_queries, lxi_query, socat_pipe, megabyte_without_line_feed, refusals):
            step(port)
            print(f"{step.__name__}: ok")
        flood_and_query(serve, port)
        print("flood_and_query: ok")
        limits()
        print("limits: ok")
        port_comes_back()
        print("port_comes_back: ok")
        serve.send_signal(signal.SIGTERM)
        assert serve.wait(timeout=LIMIT) == 0
        reader.join(LIMIT)
        assert any("waiting lines dropped" in line for line in log), "".join(log[-5:])
        assert not any("sent XAAAA" in line for line in log), "a refused line went out"
    finally:
        if serve.poll() is None:
            serve.kill()
    print("all ok")


if __name__ == "__main__":
    main()
