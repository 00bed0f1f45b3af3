#!/usr/bin/env python3
"""An independent TLS controller for the responder's tests (Python's ssl).

tls_client.py PORT ACTION [options]; prints one result line on standard
output and exits 0 when the action could be played (what the responder did
is the test's to judge).

Actions:
  answer       handshake, send --request (hex), print the response (hex) read
               within --timeout, close with close_notify
  version      handshake, print the agreed protocol
  plain        no TLS: send --request, print what came back before the end
  stall        connect, send the first --bytes bytes of a ClientHello, wait
               for the responder to end the connection; print the seconds
  garbage      handshake, then bytes that are no TLS record; wait for the end
  eof          handshake, half the request, TCP close without close_notify
  notify       handshake, half the request, close_notify
  split        handshake with every byte of the client's flights in a TCP
               segment of its own, then as answer
  cycles N     N times: connect, handshake, close (every other one without
               close_notify); print the count that completed
"""

import argparse
import socket
import ssl
import sys
import time


def context(args):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    if args.insecure:
        ctx.check_hostname = False
        ctx.verify_mode = ssl.CERT_NONE
    else:
        ctx.load_verify_locations(args.ca)
    if args.cert:
        ctx.load_cert_chain(args.cert, args.key)
    if args.max_version == "1.2":
        ctx.maximum_version = ssl.TLSVersion.TLSv1_2
    return ctx


def connect(args):
    sock = socket.create_connection(("127.0.0.1", args.port), timeout=args.timeout)
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return sock


def wrap(args, sock):
    return context(args).wrap_socket(sock, server_hostname=args.servername)


def read_exactly(conn, count):
    data = b""
    while len(data) < count:
        try:
            chunk = conn.recv(count - len(data))
        except (socket.timeout, ssl.SSLError, OSError):
            break
        if not chunk:
            break
        data += chunk
    return data


def wait_for_end(sock, timeout):
    """Seconds until the peer ended the connection (reset or close)."""
    start = time.monotonic()
    sock.settimeout(timeout)
    try:
        while sock.recv(4096):
            pass
    except OSError:
        pass
    return time.monotonic() - start


def answer(args, conn):
    conn.sendall(bytes.fromhex(args.request))
    reply = read_exactly(conn, args.expect)
    print(reply.hex())
    conn.unwrap()
    conn.close()


def split_handshake(args, sock):
    """The handshake over memory BIOs, each byte sent alone."""
    incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
    tls = context(args).wrap_bio(incoming, outgoing, server_hostname=args.servername)

    def flush():
        data = outgoing.read()
        for i in range(len(data)):
            sock.sendall(data[i:i + 1])
            time.sleep(0.0005)

    while True:
        try:
            tls.do_handshake()
            flush()
            break
        except ssl.SSLWantReadError:
            flush()
            chunk = sock.recv(65536)
            if not chunk:
                raise ConnectionError("ended during the handshake")
            incoming.write(chunk)
    tls.write(bytes.fromhex(args.request))
    flush()
    reply = b""
    while len(reply) < args.expect:
        try:
            reply += tls.read(args.expect - len(reply))
        except ssl.SSLWantReadError:
            chunk = sock.recv(65536)
            if not chunk:
                break
            incoming.write(chunk)
    print(reply.hex())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("action")
    parser.add_argument("count", type=int, nargs="?", default=1)
    parser.add_argument("--ca")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--servername", default="localhost")
    parser.add_argument("--insecure", action="store_true")
    parser.add_argument("--max-version")
    parser.add_argument("--request", default="")
    parser.add_argument("--expect", type=int, default=0)
    parser.add_argument("--bytes", type=int, default=0)
    parser.add_argument("--timeout", type=float, default=10)
    args = parser.parse_args()

    sock = connect(args)
    half = bytes.fromhex(args.request)[: len(bytes.fromhex(args.request)) // 2]
    if args.action == "answer":
        answer(args, wrap(args, sock))
    elif args.action == "version":
        conn = wrap(args, sock)
        print(conn.version())
        conn.close()
    elif args.action == "plain":
        sock.sendall(bytes.fromhex(args.request))
        wait_for_end(sock, args.timeout)
        print("ended")
    elif args.action == "stall":
        incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        tls = context(args).wrap_bio(incoming, outgoing, server_hostname=args.servername)
        try:
            tls.do_handshake()
        except ssl.SSLWantReadError:
            pass
        sock.sendall(outgoing.read()[: args.bytes])
        print("%.1f" % wait_for_end(sock, args.timeout))
    elif args.action == "garbage":
        conn = wrap(args, sock)
        conn.sendall(half)
        raw = socket.fromfd(conn.fileno(), socket.AF_INET, socket.SOCK_STREAM)
        raw.sendall(b"\x17\x03\x03\x00\x10" + b"not a TLS record")
        wait_for_end(conn, args.timeout)
        print("ended")
    elif args.action == "eof":
        conn = wrap(args, sock)
        conn.sendall(half)
        time.sleep(0.1)
        conn.shutdown(socket.SHUT_RDWR)  # no close_notify
        conn.close()
        print("closed")
    elif args.action == "notify":
        conn = wrap(args, sock)
        conn.sendall(half)
        conn.unwrap()
        conn.close()
        print("closed")
    elif args.action == "split":
        split_handshake(args, sock)
    elif args.action == "cycles":
        done = 0
        for i in range(args.count):
            if i > 0:
                sock = connect(args)
            conn = wrap(args, sock)
            if i % 2 == 0:
                conn.unwrap()
            conn.close()
            done += 1
        print(done)
    else:
        sys.exit("unknown action " + args.action)


if __name__ == "__main__":
    main()
