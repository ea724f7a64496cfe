#!/usr/bin/env python3
"""Loopback proxies for the demo: a few of every kind a proxy check meets, and
the check page itself, so that checking the demo list works without internet.

Kinds: working (fast), working but slow, working without CONNECT, answering
with a wrong page, hanging after accept, refusing (a closed port), one that
intercepts TLS, and a SOCKS5 and a SOCKS4 proxy (listed as socks5:// and
socks4://). The working ones are real forwarding proxies: a GET in
proxy form is fetched from its server, a CONNECT opens a tunnel. Each listens
on a loopback address of its own (127.0.0.10 on) and goes out from it, so the
anonymity judge (a loopback page that echoes the client and the headers it
got) tells them from the program's own address, 127.0.0.1: of the working
ones one is transparent (it adds X-Forwarded-For with its client's address),
one anonymous (Via), one elite; one slow one goes out from another address
(127.0.0.250), as a multi-homed proxy would. The HTTPS
check page (tools/https_check_page.py) is https://localhost:<port>/generate_204
with a certificate of a demo authority, kept in build/demo-https; the
intercepting proxy's tunnels end at the same page with a certificate of its own.

Usage: python3 tools/demo_proxies.py   (prints the proxies and the check page,
then serves until killed)

From another program: start() serves them on a thread of their own and returns
the host:port lines, the kinds, the check page's address and text, the HTTPS
page, the authority and the judge's address."""
import asyncio
import collections
import pathlib
import socket
import threading

import https_check_page

CHECK_PATH = "/connecttest.txt"
CHECK_TEXT = "Microsoft Connect Test"
KINDS = [  # kind, how many, delay in seconds of the working ones
    ("working", 3, 0.0),
    ("slow", 2, 0.6),
    ("http-only", 2, 0.0),
    ("wrong-page", 2, 0.0),
    ("hanging", 2, 0.0),
    ("refusing", 2, 0.0),
    ("intercepting", 1, 0.0),
    ("socks5", 1, 0.0),
    ("socks4", 1, 0.0),
]
HTTPS_FOLDER = pathlib.Path(__file__).resolve().parent.parent / "build" / "demo-https"
WRONG_PAGE = b"<html><body>Welcome! Free prizes: <a href='http://ads.example/'>click here</a></body></html>"

# Per kind, the headers its forwarded GETs gain and the address it goes out
# from (None: its own), one entry per proxy; the rest add nothing.
DISGUISES = {
    "working": [({"X-Forwarded-For": None}, None), ({"Via": "1.1 demo-proxy"}, None), ({}, None)],
    "slow": [({}, "127.0.0.250"), ({}, None)],
}
Demo = collections.namedtuple("Demo", "lines kinds check_url check_text https_url authority judge_url")
_alive = []  # the servers and the refusing ports' sockets, for the life of the process


async def read_head(reader):
    """The request line and header lines up to the empty line; None when the client went."""
    try:
        head = await reader.readuntil(b"\r\n\r\n")
    except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, ConnectionError):
        return None
    return head.decode("latin-1")


async def pipe(reader, writer):
    try:
        while data := await reader.read(65536):
            writer.write(data)
            await writer.drain()
    except ConnectionError:
        pass
    finally:
        writer.close()


def split_target(target, default_port):
    host, _, port = target.rpartition(":")
    if not host or not port.isdigit():
        return target, default_port
    return host.strip("[]"), int(port)


def open_from(exit_address, host, port):
    """A connection to host:port from the proxy's own loopback address."""
    return asyncio.wait_for(asyncio.open_connection(host, port, local_addr=(exit_address, 0)), 5)


async def forward_get(method, url, version, lines, writer, exit_address, added):
    """Fetches a proxy-form request from its server and passes the answer on,
    with the headers this proxy adds (None: its client's address)."""
    rest = url[len("http://"):]
    authority, slash, path = rest.partition("/")
    host, port = split_target(authority, 80)
    try:
        up_reader, up_writer = await open_from(exit_address, host, port)
    except (OSError, asyncio.TimeoutError):
        writer.write(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        return
    kept = [line for line in lines if not line.lower().startswith(("connection:", "proxy-connection:"))]
    client = writer.get_extra_info("peername")[0]
    kept += [f"{name}: {client if value is None else value}" for name, value in added.items()]
    request = f"{method} {slash}{path} {version}\r\n" + "".join(line + "\r\n" for line in kept)
    up_writer.write((request + "Connection: close\r\n\r\n").encode("latin-1"))
    await up_writer.drain()
    await pipe(up_reader, writer)
    up_writer.close()


async def tunnel(target, reader, writer, exit_address):
    writer.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
    await writer.drain()
    host, port = split_target(target, 443)
    try:
        up_reader, up_writer = await open_from(exit_address, host, port)
    except (OSError, asyncio.TimeoutError):
        return
    await asyncio.gather(pipe(reader, up_writer), pipe(up_reader, writer))


async def socks_handler(reader, writer):
    """SOCKS5 (no authentication, CONNECT) or SOCKS4/4a, by the first byte; then the tunnel."""
    exit_address = writer.get_extra_info("sockname")[0]
    try:
        version = (await reader.readexactly(1))[0]
        if version == 5:
            methods = await reader.readexactly((await reader.readexactly(1))[0])
            writer.write(b"\x05\x00" if 0 in methods else b"\x05\xff")
            _, _, _, kind = await reader.readexactly(4)
            if kind == 1:
                host = socket.inet_ntoa(await reader.readexactly(4))
            elif kind == 3:
                host = (await reader.readexactly((await reader.readexactly(1))[0])).decode("latin-1")
            else:
                host = socket.inet_ntop(socket.AF_INET6, await reader.readexactly(16))
            port = int.from_bytes(await reader.readexactly(2), "big")
            granted, refused = b"\x05\x00\x00\x01\0\0\0\0\0\0", b"\x05\x05\x00\x01\0\0\0\0\0\0"
        elif version == 4:
            _, high, low, *address = await reader.readexactly(7)
            port = high << 8 | low
            await reader.readuntil(b"\0")  # the user id
            host = (await reader.readuntil(b"\0"))[:-1].decode("latin-1") if address[:3] == [0, 0, 0] \
                else socket.inet_ntoa(bytes(address))
            granted, refused = b"\x00\x5a" + bytes(6), b"\x00\x5b" + bytes(6)
        else:
            return
        try:
            up_reader, up_writer = await open_from(exit_address, host, port)
        except (OSError, asyncio.TimeoutError):
            writer.write(refused)
            return
        writer.write(granted)
        await writer.drain()
        await asyncio.gather(pipe(reader, up_writer), pipe(up_reader, writer))
    except (asyncio.IncompleteReadError, asyncio.LimitOverrunError, ConnectionError, OSError, UnicodeError):
        pass
    finally:
        writer.close()


def proxy_handler(kind, delay, intercepting_port, added, exit_address):
    async def handle(reader, writer):
        try:
            head = await read_head(reader)
            if head is None:
                return
            if kind == "hanging":
                await reader.read()  # until the client gives up
                return
            if kind == "wrong-page":
                writer.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n"
                             b"Connection: close\r\n\r\n%s" % (len(WRONG_PAGE), WRONG_PAGE))
                return
            await asyncio.sleep(delay)
            request_line, *lines = head.rstrip("\r\n").split("\r\n")
            method, url, version = (request_line.split(" ") + ["", "", ""])[:3]
            if method == "CONNECT" and kind == "intercepting":
                await tunnel("127.0.0.1:%d" % intercepting_port, reader, writer, exit_address)
            elif method == "CONNECT" and kind != "http-only":
                await tunnel(url, reader, writer, exit_address)
            elif method != "CONNECT" and url.lower().startswith("http://"):
                await forward_get(method, url, version, lines, writer, exit_address, added)
            else:
                writer.write(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        except ConnectionError:
            pass
        finally:
            try:
                await writer.drain()
            except ConnectionError:
                pass
            writer.close()
    return handle


async def check_page(reader, writer):
    if await read_head(reader) is not None:
        body = CHECK_TEXT.encode()
        writer.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n"
                     b"Connection: close\r\n\r\n%s" % (len(body), body))
        await writer.drain()
    writer.close()


async def judge_page(reader, writer):
    """Echoes the request azenv style: the client's address and every header."""
    head = await read_head(reader)
    if head is not None:
        request_line, *lines = head.rstrip("\r\n").split("\r\n")
        echo = "<pre>\nREMOTE_ADDR = %s\nREQUEST_URI = %s\n" % (
            writer.get_extra_info("peername")[0], (request_line.split(" ") + [""])[1])
        for line in lines:
            name, _, value = line.partition(":")
            echo += "HTTP_%s = %s\n" % (name.strip().upper().replace("-", "_"), value.strip())
        body = (echo + "</pre>\n").encode("latin-1", "replace")
        writer.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n"
                     b"Connection: close\r\n\r\n%s" % (len(body), body))
        await writer.drain()
    writer.close()


def closed_port(keep):
    """A loopback port that refuses: bound, so nobody else takes it, but not listening."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    keep.append(s)
    return s.getsockname()[1]


def https_certificates():
    """The demo's authority and certificates for localhost, made once and kept."""
    if not (HTTPS_FOLDER / "server.pem").exists():
        HTTPS_FOLDER.mkdir(parents=True, exist_ok=True)
        https_check_page.make_certificates(str(HTTPS_FOLDER), "localhost", days=3650)
    return str(HTTPS_FOLDER)


async def serve(keep):
    page_server = await asyncio.start_server(check_page, "127.0.0.1", 0)
    keep.append(page_server)
    check_url = "http://127.0.0.1:%d%s" % (page_server.sockets[0].getsockname()[1], CHECK_PATH)
    trusted, intercepting = await https_check_page.serve(https_certificates())
    keep += [trusted, intercepting]
    https_url = "https://localhost:%d/generate_204" % https_check_page.port(trusted)
    judge_server = await asyncio.start_server(judge_page, "127.0.0.1", 0)
    keep.append(judge_server)
    judge_url = "http://127.0.0.1:%d/azenv" % judge_server.sockets[0].getsockname()[1]
    lines, kinds = [], []
    for kind, count, delay in KINDS:
        for n in range(count):
            address = "127.0.0.%d" % (10 + len(lines))
            if kind == "refusing":
                port = closed_port(keep)
                address = "127.0.0.1"
            elif kind.startswith("socks"):
                server = await asyncio.start_server(socks_handler, address, 0)
                keep.append(server)
                port = server.sockets[0].getsockname()[1]
            else:
                added, exit_address = DISGUISES.get(kind, [])[n] if n < len(DISGUISES.get(kind, [])) else ({}, None)
                handler = proxy_handler(kind, delay, https_check_page.port(intercepting), added, exit_address or address)
                server = await asyncio.start_server(handler, address, 0)
                keep.append(server)
                port = server.sockets[0].getsockname()[1]
            lines.append(("%s://" % kind if kind.startswith("socks") else "") + "%s:%d" % (address, port))
            kinds.append(kind)
    return Demo(lines, kinds, check_url, CHECK_TEXT, https_url, str(HTTPS_FOLDER / "ca.der"), judge_url)


def start():
    """Starts the proxies and the check page on a daemon thread; returns a Demo."""
    loop = asyncio.new_event_loop()
    threading.Thread(target=loop.run_forever, daemon=True, name="demo-proxies").start()
    return asyncio.run_coroutine_threadsafe(serve(_alive), loop).result()


def main():
    demo = start()
    for line, kind in zip(demo.lines, demo.kinds):
        print(f"{line} {kind}")
    print(f"check page: {demo.check_url} {demo.check_text!r}; HTTPS: {demo.https_url}; judge: {demo.judge_url}",
          flush=True)
    print(f"its authority, to be trusted: {demo.authority}", flush=True)
    threading.Event().wait()


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        pass
