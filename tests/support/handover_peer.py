# A local process on the running copy's socket, for the end-to-end scripts:
#   python3 handover_peer.py MODE SOCKET [N]
# junk-then-close  one write of a junk line and a close request; prints the answer line
# garbage          junk lines, no request; stays a second
# flood            sends up to 64 MiB without a line end; prints the bytes taken before the drop
# silent           sends nothing; prints the seconds until the copy drops it (or "kept")
# many N           opens up to N connections, each as soon as the queue has room; prints
#                  how many were opened and how many the copy still holds after a moment
import socket
import sys
import time

mode, path = sys.argv[1], sys.argv[2]


def connect():
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(path)
    return s


if mode == "junk-then-close":
    s = connect()
    s.sendall(b"hello\nclose\n")
    s.settimeout(15)
    try:
        print(s.recv(64).decode(errors="replace").strip() or "(none)")
    except (socket.timeout, ConnectionResetError):
        print("(none)")
elif mode == "garbage":
    s = connect()
    s.sendall(b"hello\n\x00\xff\xfe garbage\nclosed\nCLOSE\n close\n")
    time.sleep(1)
elif mode == "flood":
    s = connect()
    s.settimeout(10)
    sent = 0
    chunk = b"x" * 65536
    try:
        while sent < (64 << 20):
            sent += s.send(chunk)
    except (BrokenPipeError, ConnectionResetError, socket.timeout):
        pass
    print(sent)
elif mode == "silent":
    s = connect()
    began = time.monotonic()
    s.settimeout(30)
    try:
        s.recv(1)
        print(round(time.monotonic() - began, 1))
    except ConnectionResetError:
        print(round(time.monotonic() - began, 1))
    except socket.timeout:
        print("kept")
elif mode == "many":
    wanted = int(sys.argv[3])
    opened = []
    for _ in range(wanted):
        try:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        except OSError:
            break
        s.setblocking(False)
        for _ in range(200):
            try:
                s.connect(path)
                opened.append(s)
                break
            except BlockingIOError:
                time.sleep(0.001)
            except OSError:
                s.close()
                break
        else:
            s.close()
    time.sleep(0.5)
    held = 0
    for s in opened:
        try:
            if s.recv(1) != b"":
                held += 1
        except BlockingIOError:
            held += 1
        except OSError:
            pass
    print(len(opened), held)
else:
    sys.exit("unknown mode " + mode)
