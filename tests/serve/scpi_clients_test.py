#!/usr/bin/python3
"""zrt-serve --scpi reached by clients we did not write: pymeasure's
generic Agilent 33500 driver (through PyVISA with pyvisa-py), PyVISA itself
and lxi-tools; the simulated instrument, on a terminal of its own, says
what reached it and whether it came paced.

    scpi_clients_test.py ZRT_SERVE LIMITS_FILE
"""
import os
import subprocess
import sys
import tempfile
import threading

import pyvisa
from pymeasure.adapters import VISAAdapter
from pymeasure.instruments.agilent import Agilent33500

from real_clients_test import LIMIT, start, start_sim, stop, until

LIMITS = sys.argv[2]


def generator(port):
    adapter = VISAAdapter(f"TCPIP0::127.0.0.1::{port}::SOCKET", visa_library="@py",
                          read_termination="\n", write_termination="\n")
    adapter.connection.timeout = LIMIT * 1000
    return Agilent33500(adapter)


def pymeasure_sets_and_reads_back(port, heard):
    gen = generator(port)
    # Each set, then read back: pymeasure's map has three names for 1.
    for name, value, back in (("shape", "SQU", ["SQU"]), ("frequency", 1000, [1000]),
                              ("amplitude", 2, [2]), ("offset", 0.5, [0.5]),
                              ("square_dutycycle", 25, [25]),
                              ("output", True, [True, "on", "ON"])):
        setattr(gen, name, value)
        assert getattr(gen, name) in back, (name, getattr(gen, name))
    gen.adapter.connection.close()
    # Exactly the lines the key panels compose, each paced.
    expected = ["XCHA:SQUAR", "XCHA:AFREQ1000Hz", "XCHA:AFREQ?", "XCHA:VPP2Vpp", "XCHA:VPP?",
                "XCHA:AOFFS0.5Vdc", "XCHA:AOFFS?", "XCHA:ADUTY25%", "XCHA:ADUTY?",
                "XCHA:SWITCH1No.", "XCHA:SWITCH?"]
    until(lambda: sum(line.startswith("<- ") for line in heard) >= len(expected))
    frames = [line[3:].strip() for line in heard if line.startswith("<- ")]
    assert frames == expected, frames
    assert not any(line.startswith("pacing:") for line in heard), heard


def pyvisa_and_lxi(port, sim, log):
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
    until(lambda: any("waiting for it to come back" in line for line in log))
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
                servers.append(start("--config", config, link=()))
            for index, (_, port, _, _) in enumerate(servers):
                gen = generator(port)
                identity = gen.ask("*IDN?").strip()
                assert identity == f"Bench,ZRT,bench-{'ab'[index]},1", identity
                gen.frequency = 1000 * (index + 1)
                assert gen.frequency == 1000 * (index + 1)
                gen.adapter.connection.close()
        finally:
            stop(*(server[0] for server in servers))


def main():
    path = f"/tmp/zrt-scpi-{os.getpid()}"
    sim, heard = start_sim(path)
    serve, port, _, _ = start("--scpi", link=("--port", path))
    try:
        pymeasure_sets_and_reads_back(port, heard)
        print("pymeasure_sets_and_reads_back: ok", flush=True)
    finally:
        stop(serve, sim)
    sim, heard = start_sim(path)
    serve, port, log, _ = start("--scpi", "--limits", LIMITS, "--idn", "Maker,Model,42,1.0",
                                "--reopen-within", "30", link=("--port", path))
    try:
        pyvisa_and_lxi(port, sim, log)
        print("pyvisa_and_lxi: ok", flush=True)
        # Each command and error logged with the client; nothing beyond the limit heard.
        for said in ("SCPI SOUR2:FREQ 2 kHz", 'SCPI error -113,"Undefined header"'):
            assert any(said in line and "tcp 127.0.0.1:" in line for line in log), "".join(log)
        assert not any("AFREQ20000000" in line for line in heard), heard
    finally:
        stop(serve, sim)
    two_servers_from_two_files()
    print("two_servers_from_two_files: ok", flush=True)
    print("all ok")


if __name__ == "__main__":
    main()
