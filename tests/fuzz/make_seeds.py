#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/.

Each seed follows its target's input layout (see the head of each *_fuzz.cpp):
option bytes first, then fields separated by zero bytes. Texts are GBK.

usage: make_seeds.py   (rewrites tests/fuzz/corpus)
"""
import configparser
import lzma
import os
import random
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "resources", "skins"))
import build_skins  # noqa: E402


def gbk(text):
    return text.encode("gbk")


def fields(*parts):
    return b"\0".join(parts)


def text_seeds():
    # options: bit 0 start given, bit 1 ignore-case given, bit 2 its value; start; max parts; mid length
    return {
        "find_from_start": bytes([1, 2, 0, 3]) + fields(b"abcabc", b"abc"),
        "find_ignoring_case": bytes([6, 0, 0, 0]) + fields(b"xabc", b"ABC"),
        "reverse_before": bytes([1, 4, 0, 0]) + fields(b"abcabc", b"abc"),
        "split_limited": bytes([0, 0, 2, 0]) + fields(b"a.b.c", b"."),
        "split_empty_pieces": bytes([0, 0, 0xFF, 0]) + fields(b"a,b,,c,", b","),
        "trim_full_width": bytes([0, 1, 0, 4]) + fields(gbk("\u3000代理 服务器  "), gbk("代理")),
        "full_width_digits": bytes([0, 0, 0, 0]) + fields(gbk("\uff11\uff12.5e3"), b""),
        "signed_number": bytes([0, 0, 0, 0]) + fields(b"  -2147483649.75e-1x", b" "),
        "lead_byte_at_end": bytes([1, 0x7F, 1, 0x80]) + fields(b"ab\x81", b"\x81"),
    }


def bytes_value_seeds():
    # kind; position; bit 0 of the third byte: position given
    return {
        "text_then_more": bytes([10, 1, 1]) + b"abc\0def\0",
        "integer": bytes([3, 2, 1]) + struct.pack("<xi", -5),
        "double_short": bytes([6, 1, 1]) + struct.pack("<d", 203.0)[:5],
        "date_time": bytes([8, 1, 1]) + struct.pack("<d", 45000.5),
        "huge_date_time": bytes([8, 1, 1]) + struct.pack("<d", 1e300),
        "bad_kind": bytes([11, 1, 1]) + b"abcd",
        "no_position": bytes([1, 0, 0]) + b"\xff",
    }


def url_cookie_seeds():
    # bit 0 last two labels, bit 1 keep port, bit 2 start given, bits 3-4 case; start; bit 0 check names
    return {
        "mixed_case": bytes([0, 0, 1]) + fields(b"HTTP://Www.Example.COM:8080/A?b", b"a=1; b=2", b"b=3;c=4"),
        "no_scheme": bytes([1, 0, 0]) + fields(b"host.example/x", b"a=1", b"a=deleted"),
        "inner_http": bytes([2, 0, 0]) + fields(b"site/p?u=http://inner.example:81/q", b"x=1; x=2", b""),
        "query_no_slash": bytes([4, 3, 0]) + fields(b"host?x=1", b"Set-Cookie:", b";"),
        "https_bare_colon": bytes([0x18, 0, 1]) + fields(b"https://a.b.c.d:/", b"#\xd2\xfd\xba\xc5", gbk("a = 值 ;b")),
    }


def response_lines_seeds():
    # bit 0 headers given, bit 1 POST, bit 2 proxy given; read size; then
    # raw header block, cookies in, location in, url, body
    def response(*lines):
        return b"\r\n".join(lines) + b"\r\n\r\n"
    return {
        "two_cookies": bytes([0, 255]) + fields(
            response(b"HTTP/1.1 200 OK", b"Set-Cookie: a=1; path=/", b"Set-Cookie: b=2; path=/"),
            b"c=3; a=0", b"", b"http://list.example/", b"<table></table>"),
        "redirect": bytes([1, 0]) + fields(
            response(b"HTTP/1.1 302 Found", b"Location: http://other.example/x", b"Content-Location: /y"),
            b"", b"kept", b"https://a.example:8443/p", b"moved"),
        "deleted_cookie": bytes([6, 10]) + fields(
            response(b"HTTP/1.1 200 OK", b"set-cookie: a=deleted; path=/", b"Set-Cookie: novalue"),
            b"a=1; b=2", b"", b"example", b""),
        "many_cookies": bytes([0, 1]) + fields(
            response(b"HTTP/1.1 200 OK", *[b"Set-Cookie: k%d=v;" % i for i in range(200)]),
            b"", b"", b"x", b"y"),
        "block_too_large": bytes([0, 64]) + fields(
            response(b"HTTP/1.1 200 OK", b"X-Pad: " + b"p" * 5000, b"Location: /unseen"),
            b"", b"", b"x", b""),
    }


def lzma_seeds():
    rng = random.Random(10)
    def alone(data, lc=3, lp=0, pb=2, dictionary=1 << 16, size_known=False):
        stream = lzma.compress(data, format=lzma.FORMAT_ALONE, filters=[
            {"id": lzma.FILTER_LZMA1, "lc": lc, "lp": lp, "pb": pb, "dict_size": dictionary}])
        if size_known:  # the stated size; the end marker after it stays
            stream = stream[:5] + struct.pack("<Q", len(data)) + stream[13:]
        return stream
    return {
        "empty": alone(b""),
        "one_byte": alone(b"x"),
        "repeats": alone(b"proxy server " * 40, size_known=True),
        "random": alone(rng.randbytes(200)),
        "contexts": alone(bytes(range(256)) * 2, lc=0, lp=2, pb=0, dictionary=4096),
        "long_match": alone(bytes(3000) + b"end", lc=1, lp=3, pb=4, size_known=True),
    }


def skin_sections():
    config = configparser.ConfigParser(inline_comment_prefixes=(";",))
    config.read(os.path.join(ROOT, "resources", "skins", "skins.ini"), encoding="utf-8")
    return config


def skin_blob_seeds():
    config = skin_sections()
    one = build_skins.record(config["13"])
    two = build_skins.record(config["1"]) + build_skins.record(config["2"])
    return {
        "skin_13": one,
        "skins_1_2": two,
        "truncated": one[: len(one) // 2],
        "bad_marker": b"\2" + one[1:],
    }


def skin_description_seeds():
    config = skin_sections()
    full = build_skins.description(config["13"])
    lines = full.split(b"\n")
    return {
        "skin_13": full,
        "skin_30": build_skins.description(config["30"]),
        "crlf": full.replace(b"\n", b"\r\n"),
        "missing_key": b"\n".join(lines[:-3]) + b"\n",
        "bad_values": b"\n".join(lines[:3] + [b"pattern.alpha 256", b"panel.radius -1", b"focus #12345g"]),
    }


def plain_list_seeds():
    # the response body
    return {
        "plain": b"1.2.3.4:80\n5.6.7.8:8080\nproxy.example.com:3128\n",
        "bom_crlf_fields": b"\xef\xbb\xbf# list\r\n  HTTP://9.9.9.9:3128 US\r\n\t10.0.0.1:8000,FR\r\n\r\n",
        "bad_lines": b"1.1.1.1:0\n1.1.1.1:65536\n1.1.1.1:80abc\nexa mple.com:80\n[2001:db8::1]:80\n01.2.3.4:80\n-a.b:1\n",
        "row_page": b"<tr>\n<TD>1.2.3.4</td>\n<td>80</td>\n</tr>\n",
        "schemes": b"socks5h://user:pw@1.2.3.4:1080\nss://abc@5.6.7.8:8388\nhttps://005.006.007.008:443 => ok\n",
        "annotated": "\U0001F1FA\U0001F1F8 1.2.3.4:80:US\n1.2.3.5:81|US|Ohio\n- 1.2.3.6:82\n".encode("utf-8"),
        "csv_header": b"ip,port,protocol,country\r\n1.2.3.4,8080,socks4,US\r\n",
        "xml": b"<?xml version=\"1.0\"?><Proxies><Proxy>1.2.3.4:80</Proxy></Proxies>",
        "json_objects": b'{"data": [{"ip": "1.2.3.4", "port": 8080, "protocol": "socks5", "country": "Germany",'
                        b' "username": "u", "exit_ip": "9.9.9.9"}, {"host": "5.6.7.8", "port": "3128"}]}',
        "json_keyed_cut": b'{"socks4": ["1.2.3.4:1080"], "http": [{"ip": "5.6.7.8", "po',
        "json_lines": b'{"ip":"1.2.3.4","port":80}\n{"proxy":"5.6.7.8:81","protocols":["socks5","http"]}\n',
        "html_table": b"<table><tr><th>IP Address</th><th>Port</th><th>Code</th><th>Version</th></tr>\n"
                      b"<tr><td>1.2.3.4</td><td>1080</td><td>US</td><td>Socks5</td></tr></table>",
    }


def check_response_seeds():
    # piece size; the expected body, 0, the answer
    body = b"Microsoft Connect Test"

    def seed(answer, piece=3):
        return bytes([piece]) + fields(body, answer)

    head = b"HTTP/1.1 200 OK\r\n"
    return {
        "length": seed(head + b"Content-Length: 22\r\n\r\n" + body),
        "chunked": seed(head + b"Transfer-Encoding: chunked\r\n\r\na;x=1\r\nMicrosoft \r\nC\r\nConnect Test\r\n0\r\n\r\n"),
        "close_delimited": seed(b"HTTP/1.0 200 OK\n\n" + body, 1),
        "socks5_open": seed(b"\x05\x00\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x50" + head + b"\r\n" + body),
        "socks5_login": seed(b"\x05\x02\x01\x00\x05\x00\x00\x03\x04host\x01\xbb", 2),
        "socks4_refused": seed(b"\x00\x5b\x00\x00\x00\x00\x00\x00"),
        "interim": seed(b"HTTP/1.1 100 Continue\r\n\r\n" + head + b"Content-Length: 22\r\n\r\n" + body),
        "redirect": seed(b"HTTP/1.1 302 Found\r\nLocation: http://portal/\r\n\r\n"),
        "proxy_auth": seed(b"HTTP/1.1 407 Proxy Authentication Required\r\n\r\n"),
        "login_page": seed(head + b"Content-Type: text/html\r\n\r\n<form>login</form>"),
        "two_lengths": seed(head + b"Content-Length: 22\r\nContent-Length: 21\r\n\r\n" + body),
        "no_line_end": seed(b"HTTP/1.1 200 OK"),
        "garbage": seed(bytes(range(0x16, 0x96))),
        "connect_ok": seed(b"HTTP/1.1 200 Connection established\r\n\r\n"),
        # the token is the expected body
        "judge_azenv": seed(head + b"\r\n<pre>\nREMOTE_ADDR = 192.0.2.9\nREQUEST_URI = /?vantoip=" + body +
                            b"\nHTTP_X_FORWARDED_FOR = 198.51.100.7, 10.0.0.1\nHTTP_VIA = 1.1 squid\n</pre>"),
        "judge_httpbin": seed(head + b"Content-Length: 111\r\n\r\n{\"origin\": \"198.51.100.7, 192.0.2.9\", "
                              b"\"headers\": {\"X-Vantoip-Token\": \"" + body + b"\", \"Via\": \"1.1 x\"}}"),
    }


def user_files_seeds():
    # the file's bytes
    def snapshot(*lines):
        body = b"".join(line + b"\n" for line in lines)
        h = 0xCBF29CE484222325
        for c in body:
            h = ((h ^ c) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
        return body + b"end=%016x\n" % h

    return {
        "snapshot": snapshot(b"vantoip proxy settings 2", b"Ours=10.1.1.1:8080", b"ProxyServer=corp:3128",
                             b"ProxyEnable=1", b"connection=", b"flags=3", b"server=corp:3128",
                             b"bypass=%3Clocal%3E", b"autoconfig=", b"connection=VPN %E5%8A%9E", b"flags=2"),
        "first_version": snapshot(b"vantoip proxy settings 1", b"ProxyServer=corp:3128", b"ProxyEnable=0"),
        "settings_ini": b"\xef\xbb\xbf# mine\r\ntheme=dark\r\n failover = 0 \r\nfailover=1\n",
    }


def relay_request_seeds():
    # piece size; the client's first bytes
    return {
        "get": b"\x05GET http://example.org:8080/a?b HTTP/1.1\r\nHost: example.org\r\nContent-Length: 2\r\n\r\nhi",
        "connect": b"\x03CONNECT [2001:db8::1]:443 HTTP/1.1\r\n\r\n",
        "socks5": b"\x02\x05\x01\x00\x05\x01\x00\x03\x0bexample.org\x01\xbb",
        "socks4a": b"\x01\x04\x01\x00\x50\x00\x00\x00\x01user\x00example.org\x00",
    }


def main():
    corpus = os.path.join(HERE, "corpus")
    shutil.rmtree(corpus, ignore_errors=True)
    targets = {"text": text_seeds, "bytes_value": bytes_value_seeds, "url_cookie": url_cookie_seeds,
               "response_lines": response_lines_seeds, "lzma": lzma_seeds, "skin_blob": skin_blob_seeds,
               "skin_description": skin_description_seeds,
               "check_response": check_response_seeds, "plain_list": plain_list_seeds,
               "user_files": user_files_seeds, "relay_request": relay_request_seeds}
    for target, seeds in targets.items():
        os.makedirs(os.path.join(corpus, target))
        for name, data in seeds().items():
            with open(os.path.join(corpus, target, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
