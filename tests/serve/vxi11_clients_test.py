#!/usr/bin/python3
"""zrt-serve --vxi11 reached by clients we did not write: rpcinfo,
lxi-tools (discover, and scpi without -r) and PyVISA's TCPIP::INSTR through
pyvisa-py; with its own port mapper, registered with Debian's rpcbind, and
with neither to be had. Run in a private network namespace, so that port
111 is the test's own: the script enters one itself (as root, unshare -n;
else a user namespace, unshare -rn).

    vxi11_clients_test.py ZRT_SERVE
"""
import os
import socket
import subprocess
import sys
import tempfile
import threading

if os.environ.get("ZRT_NETNS") != "1":
    os.environ["ZRT_NETNS"] = "1"
    unshare = ["unshare", "-n"] if os.geteuid() == 0 else ["unshare", "-rn"]
    os.execvp(unshare[0], unshare + [sys.executable, *sys.argv])

import pyvisa  # noqa: E402
from pyvisa_py.protocols import rpc, vxi11  # noqa: E402
from pymeasure.adapters import VISAAdapter  # noqa: E402
from pymeasure.instruments.agilent import Agilent33500  # noqa: E402

from real_clients_test import LIMIT, SERVE, start_sim, stop, until  # noqa: E402

CORE = 395183  # VXI-11's core channel, 0x0607AF


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, timeout=LIMIT)


def start(*options):
    serve = subprocess.Popen([SERVE, "--vxi11", "--listen", "0.0.0.0:0", *options],
                             stderr=subprocess.PIPE, text=True)
    log = []
    threading.Thread(target=lambda: log.extend(serve.stderr), daemon=True).start()
    return serve, log


def said(log, text, process=None):
    """Waits until the log has `text`; fails at once if `process` has ended first."""
    def seen():
        assert process is None or process.poll() is None, f"ended: {''.join(log)}"
        return any(text in line for line in log)
    until(seen)


def mapped():
    return [line.split() for line in run("rpcinfo", "-p", "127.0.0.1").stdout.splitlines()[1:]]


def own_mapper_and_clients():
    path = f"/tmp/zrt-vxi11-{os.getpid()}"
    sim, heard = start_sim(path)
    serve, log = start("--port", path, "--max-line", "4096", "--idn", "Maker,ZRT,7,1.0")
    try:
        said(log, "a port mapper of its own", serve)
        rows = mapped()
        assert ["100000", "2", "tcp", "111", "portmapper"] in rows, rows
        assert ["100000", "2", "udp", "111", "portmapper"] in rows, rows
        assert any(row[:3] == [str(CORE), "1", "tcp"] for row in rows), rows

        found = run("lxi", "discover", "-t", "2")
        assert 'Found "Maker,ZRT,7,1.0" on address 127.0.0.1' in found.stdout, found
        asked = run("lxi", "scpi", "-a", "127.0.0.1", "-t", str(LIMIT), "*IDN?")
        assert asked.stdout.strip() == "Maker,ZRT,7,1.0", asked

        manager = pyvisa.ResourceManager("@py")
        gen = manager.open_resource("TCPIP::127.0.0.1::INSTR")
        gen.timeout = LIMIT * 1000
        assert gen.query("*IDN?").strip() == "Maker,ZRT,7,1.0"
        gen.write("SOUR1:FREQ 1234")
        assert gen.query("SOUR1:FREQ?").strip() == "+1.2340000000E+03"
        # Longer than maxRecvSize (1024): sent in chunks, taken as one message.
        long = "*CLS;" * 220 + "*IDN?"
        assert gen.query(long).strip() == "Maker,ZRT,7,1.0"

        # An exclusive lock keeps another session out until it is let go.
        other = manager.open_resource("TCPIP0::127.0.0.1::inst0::INSTR")
        other.timeout = 500
        gen.lock_excl()
        try:
            other.query("*IDN?")
            raise AssertionError("a locked device answered another session")
        except pyvisa.errors.VisaIOError:
            pass
        gen.unlock()
        other.timeout = LIMIT * 1000
        assert other.query("*IDN?").strip() == "Maker,ZRT,7,1.0"
        other.close()

        # A device clear drops the response nobody read.
        gen.write("*IDN?")
        gen.clear()
        gen.timeout = 300
        try:
            gen.read()
            raise AssertionError("a response outlived the device clear")
        except pyvisa.errors.VisaIOError as error:
            assert error.error_code == pyvisa.constants.StatusCode.error_timeout, error
        gen.timeout = LIMIT * 1000
        # A device it does not have: VXI-11's error 3, device not accessible.
        try:
            manager.open_resource("TCPIP0::127.0.0.1::inst1::INSTR")
            raise AssertionError("inst1 opened")
        except Exception as error:  # pyvisa-py raises it bare
            assert "error creating link: 3" in str(error), error
        # What scripts use, on the wire as the keys compose it.
        gen.write("APPL:SQU 2 kHz,1,0")
        assert float(gen.query("MEAS:FREQ?")) == 0  # the simulated counter reads nothing
        gen.write("FREQ:STAR 100;STOP 1000;:SWE:STAT ON;*TRG")
        assert gen.query("SWE:STAT?;:SYST:ERR?").strip() == '1;0,"No error"'
        gen.close()

        # pymeasure's generic driver, over VXI-11.
        driver = Agilent33500(VISAAdapter("TCPIP::127.0.0.1::INSTR", visa_library="@py"))
        driver.adapter.connection.timeout = LIMIT * 1000
        driver.shape = "SIN"
        driver.frequency = 1000
        assert driver.frequency == 1000
        driver.burst_ncycles = 3
        driver.burst_state = True
        assert driver.burst_state
        driver.trigger()
        assert driver.check_errors() == []
        driver.adapter.connection.close()

        expected = ["XCHA:AFREQ1234Hz", "XCHA:AFREQ?",
                    "XCHA:SQUAR", "XCHA:AFREQ2000Hz", "XCHA:VPP1Vpp", "XCHA:AOFFS0Vdc",
                    "XCOUNT:MEASF?",
                    "XFSWP:STARF100Hz", "XFSWP:STOPF1000Hz", "XFSWP:AUTO", "XFSWP:TRIGG",
                    "XCHA:SINE", "XCHA:AFREQ1000Hz", "XCHA:AFREQ?",
                    "XABURST:NCYCL3CYCL", "XABURST:NCYCL?", "XABURST:ONCES"]
        until(lambda: sum(line.startswith("<- ") for line in heard) >= len(expected))
        frames = [line[3:].strip() for line in heard if line.startswith("<- ")]
        assert frames == expected, frames
        said(log, 'no link created: no device "inst1"')
    finally:
        stop(serve, sim)


def registered_with_rpcbind():
    rpcbind = subprocess.Popen(["rpcbind", "-f"])
    try:
        until(lambda: any(row[:2] == ["100000", "2"] for row in mapped()))
        serve, log = start("--simulate")
        try:
            said(log, "registered with the system's port mapper", serve)
            assert any(row[0] == str(CORE) for row in mapped())
            asked = run("lxi", "scpi", "-a", "127.0.0.1", "-t", str(LIMIT), "*IDN?")
            assert asked.stdout.startswith("zrt-panel,"), asked
        finally:
            stop(serve)
        # Taken back at its end.
        until(lambda: not any(row[0] == str(CORE) for row in mapped()))
    finally:
        stop(rpcbind)


def neither_way():
    # Port 111 held by something that is no port mapper.
    with socket.socket() as tcp, socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp:
        for held in (tcp, udp):
            held.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            held.bind(("0.0.0.0", 111))
        tcp.listen()
        serve = subprocess.Popen([SERVE, "--vxi11", "--listen", "0.0.0.0:0", "--simulate"],
                                 stderr=subprocess.PIPE, text=True)
        _, text = serve.communicate(timeout=LIMIT)
        assert serve.returncode == 6, (serve.returncode, text)
        assert "cannot run a port mapper on 0.0.0.0:111" in text, text
        assert "the system's did not register the server" in text, text


def two_instruments_from_one_file():
    # Each section its own link, session and device; one lost leaves the other.
    sims = [start_sim(f"/tmp/zrt-vxi11-{name}-{os.getpid()}") for name in ("a", "b")]
    with tempfile.TemporaryDirectory() as folder:
        config = os.path.join(folder, "bench.conf")
        with open(config, "w") as out:
            out.write("vxi11 = true\nlisten = 127.0.0.1:0\nreopen-within = 1\n"
                      "[waveforms]\nsine = 0\n"
                      f"[instrument inst0]\nport = /tmp/zrt-vxi11-a-{os.getpid()}\n"
                      "idn = Bench,ZRT,a,1\n"
                      f"[instrument inst1]\nport = /tmp/zrt-vxi11-b-{os.getpid()}\n"
                      "idn = Bench,ZRT,b,1\n")
        serve = subprocess.Popen([SERVE, "--config", config], stderr=subprocess.PIPE, text=True)
        log = []
        threading.Thread(target=lambda: log.extend(serve.stderr), daemon=True).start()
        try:
            said(log, "a port mapper of its own", serve)
            manager = pyvisa.ResourceManager("@py")
            gens = [manager.open_resource(f"TCPIP0::127.0.0.1::inst{i}::INSTR") for i in (0, 1)]
            for index, gen in enumerate(gens):
                gen.timeout = LIMIT * 1000
                assert gen.query("*IDN?").strip() == f"Bench,ZRT,{'ab'[index]},1"
                gen.write(f"SOUR1:FREQ {1000 * (index + 1)}")
            for index, (_, heard) in enumerate(sims):
                until(lambda: any(line.startswith("<- ") for line in heard))
                frames = [line[3:].strip() for line in heard if line.startswith("<- ")]
                assert frames == [f"XCHA:AFREQ{1000 * (index + 1)}Hz"], (index, frames)
            # inst0's port goes away for good: inst1 goes on.
            stop(sims[0][0])
            said(log, "inst0 /tmp/zrt-vxi11-a")
            said(log, "still waited for")
            assert gens[1].query("SOUR1:FREQ?").strip() == "+2.0000000000E+03"
            gens[0].write("SOUR1:FREQ 5")
            assert gens[0].query("SYST:ERR?").startswith('-241,"Hardware missing')
            assert serve.poll() is None
            for gen in gens:
                gen.close()
        finally:
            stop(serve, sims[1][0])


class ScopeLink(rpc.RawTCPClient):
    """VXI-11's core channel at the port the mapper gave over UDP, as a bench
    oscilloscope asks for it."""

    def __init__(self, port):
        self.packer = vxi11.Vxi11Packer()
        self.unpacker = vxi11.Vxi11Unpacker("")
        super().__init__("127.0.0.1", vxi11.DEVICE_CORE_PROG, vxi11.DEVICE_CORE_VERS, port)

    create_link = vxi11.CoreClient.create_link
    device_write = vxi11.CoreClient.device_write
    device_read = vxi11.CoreClient.device_read
    destroy_link = vxi11.CoreClient.destroy_link


def scope_command(command, query=False):
    """One command as the scope sends it: the mapper asked over UDP, a link
    of its own, written, read back for a query, destroyed."""
    mapper = rpc.UDPPortMapperClient("127.0.0.1")
    port = mapper.get_port((vxi11.DEVICE_CORE_PROG, vxi11.DEVICE_CORE_VERS, rpc.IPPROTO_TCP, 0))
    mapper.close()
    link = ScopeLink(port)
    try:
        error, number, _, _ = link.create_link(1, False, 0, "inst0")
        assert error == 0, error
        error, _ = link.device_write(number, LIMIT * 1000, 0, vxi11.OP_FLAG_END, command.encode())
        assert error == 0, (command, error)
        answer = None
        if query:
            error, _, data = link.device_read(number, 1024, LIMIT * 1000, 0, 0, 0)
            assert error == 0, (command, error)
            answer = data.decode().strip()
        link.destroy_link(number)
        return answer
    finally:
        link.close()


def scope_bode_plot():
    # The commands a scope's Bode plot sends, one link each, within limits
    # that keep the device under test below 100 kHz.
    path = f"/tmp/zrt-vxi11-scope-{os.getpid()}"
    # Its period as an instrument answers it for 50 kHz: the guard reads
    # every item that sets channel A's frequency before switching it on.
    sim, heard = start_sim(path, "--keep", "CHA:APERD:0.00002S")
    with tempfile.TemporaryDirectory() as folder:
        limits = os.path.join(folder, "dut.limits")
        with open(limits, "w") as out:
            out.write("[A]\nmax_frequency_hz = 100000\nmax_amplitude_vpp = 5\n")
        serve, log = start("--port", path, "--limits", limits)
        try:
            said(log, "a port mapper of its own", serve)
            assert scope_command("IDN-SGLT-PRI?", query=True) == "IDN-SGLT-PRI SDG0000X"
            scope_command("C1:OUTP LOAD,50;BSWV WVTP,SINE,PHSE,0,FRQ,50000,AMP,2,OFST,0;OUTP ON")
            assert scope_command("C1:BSWV?", query=True) == \
                "C1:BSWV WVTP,SINE,FRQ,50000HZ,AMP,2V,OFST,0V,PHSE,0"
            points = [f"{10 * 10 ** (4 * i / 19):.7f}".rstrip("0").rstrip(".") for i in range(20)]
            for frequency in points:
                scope_command(f"C1:BSWV FRQ,{frequency}")
            scope_command("C1:OUTP OFF")
            scope_command("C1:BSWV FRQ,200000")  # beyond the limit: refused, not sent
            expected = ["XCHA:SINE", "XCHA:PHASE0DEG", "XCHA:AFREQ50000Hz", "XCHA:VPP2Vpp",
                        "XCHA:AOFFS0Vdc", "XCHA:SWITCH1No."]
            expected += [f"XCHA:AFREQ{frequency}Hz" for frequency in points]
            expected += ["XCHA:SWITCH0No."]
            said(log, "88CHA:AFREQ200000Hz: not sent", serve)
            # The settings in order, exactly; besides them only the guard's
            # questions, which read back what it must know before switching on.
            frames = [line[3:].strip() for line in heard if line.startswith("<- ")]
            settings = [frame for frame in frames if not frame.endswith("?")]
            assert settings == expected, frames
            assert not any("pacing:" in line for line in heard), heard
        finally:
            stop(serve, sim)


def main():
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    own_mapper_and_clients()
    print("own_mapper_and_clients: ok", flush=True)
    registered_with_rpcbind()
    print("registered_with_rpcbind: ok", flush=True)
    neither_way()
    print("neither_way: ok", flush=True)
    two_instruments_from_one_file()
    print("two_instruments_from_one_file: ok", flush=True)
    scope_bode_plot()
    print("scope_bode_plot: ok", flush=True)
    print("all ok")


if __name__ == "__main__":
    main()
