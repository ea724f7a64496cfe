#!/usr/bin/env python3
"""HTTPS check page on loopback for the Windows tests, run on the host.

Started by the tests (Wine runs host programs) with the port of a loopback
listener of theirs. Makes a test authority and two certificates for
vantoip.test: one the authority signed (the trusted port) and one signed by
itself (the intercepting port). It connects back, sends one line
"<trusted port> <intercepting port> <authority, DER in hex>" and serves until
that connection ends: the test's end is the server's end.
"""
import asyncio
import os
import socket
import subprocess
import sys
import tempfile

HOST = "vantoip.test"
ANSWERS = {
    "/generate_204": b"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n",
    "/ok": b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok",
}
NOT_FOUND = b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(folder):
    def rsa_key(name):
        openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", name, cwd=folder)

    rsa_key("ca.key")
    openssl("req", "-x509", "-key", "ca.key", "-out", "ca.pem", "-days", "3", "-subj", "/CN=Vantoip Test Authority",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            cwd=folder)
    rsa_key("server.key")
    openssl("req", "-new", "-key", "server.key", "-out", "server.csr", "-subj", "/CN=" + HOST, cwd=folder)
    with open(os.path.join(folder, "server.ext"), "w") as ext:
        ext.write("subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n" % HOST)
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "server.pem", "-days", "2", "-extfile", "server.ext", cwd=folder)
    rsa_key("intercept.key")
    openssl("req", "-x509", "-key", "intercept.key", "-out", "intercept.pem", "-days", "2", "-subj", "/CN=" + HOST,
            "-addext", "subjectAltName=DNS:" + HOST, cwd=folder)
    openssl("x509", "-in", "ca.pem", "-outform", "der", "-out", "ca.der", cwd=folder)


async def answer(reader, writer):
    try:
        head = await asyncio.wait_for(reader.readuntil(b"\r\n\r\n"), 30)
        parts = head.split(b" ", 2)
        path = parts[1].decode("ascii", "replace") if len(parts) > 1 else ""
        writer.write(ANSWERS.get(path, NOT_FOUND))
        await writer.drain()
    except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, asyncio.TimeoutError, ConnectionError, OSError):
        pass
    finally:
        writer.close()


async def serve(control_port, folder):
    import ssl

    def context(certificate, key):
        c = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        c.load_cert_chain(os.path.join(folder, certificate), os.path.join(folder, key))
        return c

    trusted = await asyncio.start_server(answer, "127.0.0.1", 0, ssl=context("server.pem", "server.key"), backlog=1024)
    intercepting = await asyncio.start_server(answer, "127.0.0.1", 0, ssl=context("intercept.pem", "intercept.key"),
                                              backlog=1024)
    with open(os.path.join(folder, "ca.der"), "rb") as f:
        authority = f.read().hex()
    reader, writer = await asyncio.open_connection("127.0.0.1", control_port)
    ports = (trusted.sockets[0].getsockname()[1], intercepting.sockets[0].getsockname()[1])
    writer.write(("%d %d %s\n" % (ports[0], ports[1], authority)).encode("ascii"))
    await writer.drain()
    await reader.read()  # until the test ends the connection
    trusted.close()
    intercepting.close()


def main():
    control_port = int(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="vantoip-tls-") as folder:
        make_certificates(folder)
        asyncio.run(serve(control_port, folder))


if __name__ == "__main__":
    main()
