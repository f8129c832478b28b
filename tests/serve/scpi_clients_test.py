#!/usr/bin/python3
"""zrt-serve --scpi reached by clients we did not write: pymeasure's
generic Agilent 33500 driver (through PyVISA with pyvisa-py), PyVISA itself
and lxi-tools; the simulated instrument, on a terminal of its own, says
what reached it and whether it came paced.

    scpi_clients_test.py ZRT_SERVE LIMITS_FILE
"""
import os
import re
import subprocess
import sys
import tempfile
import threading
import time

import pyvisa
from pymeasure.adapters import VISAAdapter
from pymeasure.instruments.agilent import Agilent33500

SERVE = sys.argv[1]
LIMITS = sys.argv[2]
SIM = os.path.join(os.path.dirname(SERVE), "zrt-sim")
LIMIT = 20  # seconds any one step may take


def until(condition):
    deadline = time.monotonic() + LIMIT
    while not condition():
        assert time.monotonic() < deadline, "never came"
        time.sleep(0.05)


def read_all(stream, into):
    thread = threading.Thread(target=lambda: into.extend(stream), daemon=True)
    thread.start()
    return thread


def start_sim(path):
    sim = subprocess.Popen([SIM, "--check-pacing", "--link", path], stdout=subprocess.PIPE,
                           text=True)
    heard = []
    read_all(sim.stdout, heard)
    until(lambda: os.path.exists(path))
    return sim, heard


def start_serve(*options):
    serve = subprocess.Popen([SERVE, *options], stderr=subprocess.PIPE, text=True)
    line = serve.stderr.readline()
    found = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
    assert found, f"zrt-serve said: {line!r}"
    log = []
    read_all(serve.stderr, log)
    return serve, int(found.group(1)), log


def stop(*processes):
    # Ended as a service manager ends them: their locks go with them.
    for process in processes:
        process.terminate()
    for process in processes:
        try:
            process.wait(LIMIT)
        except subprocess.TimeoutExpired:
            process.kill()


def generator(port):
    adapter = VISAAdapter(f"TCPIP0::127.0.0.1::{port}::SOCKET", visa_library="@py",
                          read_termination="\n", write_termination="\n")
    adapter.connection.timeout = LIMIT * 1000
    return Agilent33500(adapter)


def pymeasure_sets_and_reads_back(port, heard):
    gen = generator(port)
    gen.shape = "SQU"
    assert gen.shape == "SQU", gen.shape
    gen.frequency = 1000
    assert gen.frequency == 1000, gen.frequency
    gen.amplitude = 2
    assert gen.amplitude == 2, gen.amplitude
    gen.offset = 0.5
    assert gen.offset == 0.5, gen.offset
    gen.square_dutycycle = 25
    assert gen.square_dutycycle == 25, gen.square_dutycycle
    gen.output = True
    assert gen.output in (True, "on", "ON"), gen.output  # its map has three names for 1
    gen.adapter.connection.close()
    # Exactly the lines the key panels compose, each paced.
    expected = ["XCHA:SQUAR", "XCHA:AFREQ1000Hz", "XCHA:AFREQ?", "XCHA:VPP2Vpp", "XCHA:VPP?",
                "XCHA:AOFFS0.5Vdc", "XCHA:AOFFS?", "XCHA:ADUTY25%", "XCHA:ADUTY?",
                "XCHA:SWITCH1No.", "XCHA:SWITCH?"]
    until(lambda: sum(line.startswith("<- ") for line in heard) >= len(expected))
    frames = [line[3:].strip() for line in heard if line.startswith("<- ")]
    assert frames == expected, frames
    assert not any(line.startswith("pacing:") for line in heard), heard


def pyvisa_and_lxi(port, sim):
    inst = pyvisa.ResourceManager("@py").open_resource(
        f"TCPIP0::127.0.0.1::{port}::SOCKET", read_termination="\n", write_termination="\n")
    inst.timeout = LIMIT * 1000
    assert inst.query("*IDN?") == "Maker,Model,42,1.0"
    # Channel 2 and a compound command.
    assert inst.query("SOUR2:FREQ 2 kHz;FREQ?") == "+2.0000000000E+03"
    # An unknown header, a value beyond the limits: nothing sent, said.
    inst.write("BOGUS 1")
    assert inst.query("SYST:ERR?") == '-113,"Undefined header"'
    inst.write("FREQ 20 MHZ")
    error = inst.query("SYST:ERR?")
    assert error.startswith('-222,"Data out of range; channel A') and "10 MHz" in error, error
    assert inst.query("SYST:ERR?") == '0,"No error"'
    out = subprocess.run(["lxi", "scpi", "-r", "-a", "127.0.0.1", "-p", str(port),
                          "-t", str(LIMIT), "*IDN?"],
                         capture_output=True, text=True, timeout=LIMIT)
    assert out.stdout.strip() == "Maker,Model,42,1.0", out
    # The port gone: what cannot go out is said as hardware missing.
    sim.terminate()
    sim.wait(LIMIT)
    time.sleep(0.5)
    inst.write("FREQ 1")
    assert inst.query("SYST:ERR?").startswith('-241,"Hardware missing'), "no -241"
    inst.close()


def two_servers_from_two_files():
    # One server a generator, each from its own configuration file.
    servers = []
    with tempfile.TemporaryDirectory() as folder:
        try:
            for name in ("bench-a", "bench-b"):
                config = os.path.join(folder, name + ".conf")
                with open(config, "w") as out:
                    out.write(f"; {name}\nsimulate = true\nscpi = true\n"
                              f"listen = 127.0.0.1:0\nidn = Bench,ZRT,{name},1\n"
                              "[waveforms]\nsine = 0\n")
                servers.append(start_serve("--config", config))
            for index, (serve, port, log) in enumerate(servers):
                gen = generator(port)
                identity = gen.ask("*IDN?").strip()
                assert identity == f"Bench,ZRT,bench-{'ab'[index]},1", identity
                gen.frequency = 1000 * (index + 1)
                assert gen.frequency == 1000 * (index + 1)
                gen.adapter.connection.close()
        finally:
            stop(*(serve for serve, _, _ in servers))


def main():
    path = f"/tmp/zrt-scpi-{os.getpid()}"
    sim, heard = start_sim(path)
    serve, port, log = start_serve("--port", path, "--scpi", "--listen", "127.0.0.1:0")
    try:
        pymeasure_sets_and_reads_back(port, heard)
        print("pymeasure_sets_and_reads_back: ok", flush=True)
    finally:
        stop(serve, sim)
    sim, heard = start_sim(path)
    serve, port, log = start_serve("--port", path, "--scpi", "--listen", "127.0.0.1:0",
                                   "--limits", LIMITS, "--idn", "Maker,Model,42,1.0",
                                   "--reopen-within", "30")
    try:
        pyvisa_and_lxi(port, sim)
        print("pyvisa_and_lxi: ok", flush=True)
        assert any("SCPI SOUR2:FREQ 2 kHz" in line for line in log), "".join(log)
    finally:
        stop(serve, sim)
    two_servers_from_two_files()
    print("two_servers_from_two_files: ok", flush=True)
    print("all ok")


if __name__ == "__main__":
    main()
