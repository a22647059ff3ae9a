#!/usr/bin/python3
"""A serial instrument on one end of a pseudo-terminal line, for the real-port tests.

usage: instrument.py INSTRUMENT_END [HOST_END]

Reads LF-terminated SCPI messages on INSTRUMENT_END and answers them with LF. LINE? and FLOW?
report the line settings and the flow control of HOST_END (the other end of the line, the one
the library opened) as the terminal driver holds them, since a pseudo-terminal carries no line
settings across.

A 488.2-style status byte: *SRE sets the service request enable mask, *STB? answers the status
byte (with 0x40 while an enabled bit is set), *CLS clears it. Having no request line, the
instrument requests service by sending the byte SERVICE_REQUEST unprompted when an enabled bit
comes up; SRQ BITS sets bits in the middle of an answer, so that the request arrives between
its halves.
"""
import os
import sys
import termios
import time

import serial

SPEEDS = {getattr(termios, "B%d" % b): b for b in
          (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200) if hasattr(termios, "B%d" % b)}

# DC2: a control character that no answer carries (the tests' configuration names it).
SERVICE_REQUEST = b"\x12"


def line_settings(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        iflag, oflag, cflag, lflag, ispeed, ospeed, cc = termios.tcgetattr(fd)
    finally:
        os.close(fd)
    bits = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[cflag & termios.CSIZE]
    parity = "N"
    if cflag & termios.PARENB:
        parity = "O" if cflag & termios.PARODD else "E"
    stop = 2 if cflag & termios.CSTOPB else 1
    return "%d,%d,%s,%d" % (SPEEDS.get(ospeed, 0), bits, parity, stop)


def flow_control(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        iflag, oflag, cflag = termios.tcgetattr(fd)[:3]
    finally:
        os.close(fd)
    kinds = []
    if iflag & (termios.IXON | termios.IXOFF):
        kinds.append("xonxoff")
    if cflag & termios.CRTSCTS:
        kinds.append("rtscts")
    return ",".join(kinds) or "none"


def main():
    port = serial.Serial(sys.argv[1], 9600, timeout=None)
    host = sys.argv[2] if len(sys.argv) > 2 else None
    sre = 0
    stb = 0
    print("listening on", sys.argv[1], flush=True)
    while True:
        line = port.read_until(b"\n")
        if not line:
            continue
        command = line.strip().decode("latin-1")
        print("<", command[:60], flush=True)
        name, _, arg = command.partition(" ")
        name = name.upper()
        reply = None
        if name == "*IDN?":
            reply = "SIMVISA,SERIAL-LINE,SN0001,1.0"
        elif name == "MEAS?":
            reply = "+1.234500E+00"
        elif name == "LINE?":
            reply = line_settings(host) if host else "unknown"
        elif name == "FLOW?":
            reply = flow_control(host) if host else "unknown"
        elif name == "ECHO":
            reply = arg
        elif name == "DATA?":
            # A block of the given size (LF excluded) that the reader can check byte for byte.
            n = int(arg)
            block = bytes(48 + i % 75 for i in range(n))
            port.write(block + b"\n")
        elif name == "SPLIT?":
            # Half an answer, a pause, then the rest: a read with a short time-out ends early.
            port.write(b"first,")
            port.flush()
            time.sleep(float(arg or "0.5"))
            reply = "second"
        elif name == "*SRE":
            sre = int(arg)
        elif name == "*SRE?":
            reply = str(sre)
        elif name == "*STB?":
            reply = str(stb | (0x40 if stb & sre else 0))
        elif name == "*CLS":
            stb = 0
        elif name == "SRQ":
            port.write(b"requ")
            port.flush()
            time.sleep(0.1)
            requested = stb & sre
            stb |= int(arg) & ~0x40
            if stb & sre and not requested:
                port.write(SERVICE_REQUEST)
                port.flush()
                time.sleep(0.1)
            reply = "ested"
        elif name == "EXIT":
            # Goes away in the middle of its answer, as an instrument that is switched off.
            port.write(b"going")
            port.flush()
            port.close()
            return 0
        if reply is not None:
            port.write(reply.encode("latin-1") + b"\n")


if __name__ == "__main__":
    sys.exit(main())
