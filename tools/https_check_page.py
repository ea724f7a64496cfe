#!/usr/bin/env python3
"""An HTTPS check page on loopback, with certificates of a test authority.

make_certificates() makes an authority and two certificates for a host name:
one the authority signed (served on the trusted port) and one signed by itself
(the intercepting port, as a proxy that intercepts TLS would show). serve()
answers "/generate_204" with 204 and "/ok" with 200 on both.

Run as a program (by the Windows tests: Wine starts host programs) with the
port of a loopback listener of the caller's: makes the certificates for
vantoip.test in a temporary folder, connects back, sends one line
"<trusted port> <intercepting port> <hanging port> <quick port> <authority,
DER in hex>" and serves until that connection ends: the caller's end is the
server's end. For timing tests, two proxies served on the host, where their
work costs Wine's server nothing: the hanging port accepts and never answers,
as a dead proxy does; the quick port answers a GET at once with the default
check page's text and refuses CONNECT.
"""
import asyncio
import os
import ssl
import subprocess
import sys
import tempfile

ANSWERS = {
    "/generate_204": b"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n",
    "/ok": b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok",
}
NOT_FOUND = b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"


def _openssl(folder, *args):
    subprocess.run(["openssl", *args], cwd=folder, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(folder, host, days=3):
    """ca.der (the authority), server.pem/.key (signed by it), intercept.pem/.key (its own)."""
    def rsa_key(name):
        _openssl(folder, "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", name)

    days = str(days)
    rsa_key("ca.key")
    _openssl(folder, "req", "-x509", "-key", "ca.key", "-out", "ca.pem", "-days", days,
             "-subj", "/CN=Vantoip Test Authority", "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    rsa_key("server.key")
    _openssl(folder, "req", "-new", "-key", "server.key", "-out", "server.csr", "-subj", "/CN=" + host)
    with open(os.path.join(folder, "server.ext"), "w") as ext:
        ext.write("subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n" % host)
    _openssl(folder, "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
             "-out", "server.pem", "-days", days, "-extfile", "server.ext")
    rsa_key("intercept.key")
    _openssl(folder, "req", "-x509", "-key", "intercept.key", "-out", "intercept.pem", "-days", days,
             "-subj", "/CN=" + host, "-addext", "subjectAltName=DNS:" + host)
    _openssl(folder, "x509", "-in", "ca.pem", "-outform", "der", "-out", "ca.der")
    os.remove(os.path.join(folder, "ca.key"))  # nothing more is signed with it


async def _answer(reader, writer):
    try:
        head = await asyncio.wait_for(reader.readuntil(b"\r\n\r\n"), 30)
        parts = head.split(b" ", 2)
        path = parts[1].decode("ascii", "replace") if len(parts) > 1 else ""
        writer.write(ANSWERS.get(path, NOT_FOUND))
        await writer.drain()
    except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, asyncio.TimeoutError, OSError):
        pass  # a check that gave up, or a client that refused the certificate
    finally:
        writer.close()


async def serve(folder):
    """The trusted and the intercepting server, on loopback ports of their own."""
    def context(certificate, key):
        c = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        c.load_cert_chain(os.path.join(folder, certificate), os.path.join(folder, key))
        return c

    trusted = await asyncio.start_server(_answer, "127.0.0.1", 0, ssl=context("server.pem", "server.key"),
                                         backlog=1024)
    intercepting = await asyncio.start_server(_answer, "127.0.0.1", 0, ssl=context("intercept.pem", "intercept.key"),
                                              backlog=1024)
    return trusted, intercepting


def port(server):
    return server.sockets[0].getsockname()[1]


async def _hang(reader, writer):
    try:
        await reader.read()  # until the client gives up
    except OSError:
        pass
    writer.close()


QUICK_PAGE = b"Microsoft Connect Test"


async def _quick(reader, writer):
    try:
        head = await asyncio.wait_for(reader.readuntil(b"\r\n\r\n"), 30)
        if head.startswith(b"GET "):
            writer.write(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s"
                         % (len(QUICK_PAGE), QUICK_PAGE))
        else:
            writer.write(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        await writer.drain()
    except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, asyncio.TimeoutError, OSError):
        pass
    finally:
        writer.close()


async def _serve_for_caller(control_port, folder):
    trusted, intercepting = await serve(folder)
    hanging = await asyncio.start_server(_hang, "127.0.0.1", 0, backlog=2048)
    quick = await asyncio.start_server(_quick, "127.0.0.1", 0, backlog=1024)
    with open(os.path.join(folder, "ca.der"), "rb") as f:
        authority = f.read().hex()
    reader, writer = await asyncio.open_connection("127.0.0.1", control_port)
    ports = (port(trusted), port(intercepting), port(hanging), port(quick))
    writer.write(("%d %d %d %d %s\n" % (ports + (authority,))).encode("ascii"))
    await writer.drain()
    await reader.read()  # until the caller ends the connection
    for server in (trusted, intercepting, hanging, quick):
        server.close()


def main():
    with tempfile.TemporaryDirectory(prefix="vantoip-tls-") as folder:
        make_certificates(folder, "vantoip.test")
        asyncio.run(_serve_for_caller(int(sys.argv[1]), folder))


if __name__ == "__main__":
    main()
