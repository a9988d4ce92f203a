"""What the tests of the reference service share: plain HTTP requests that show every status."""
import http.client
import socket
import urllib.parse


def fetch(url, headers=None, method="GET", context=None, timeout=10):
    """(status, headers as an HTTPMessage, body) of one request, redirects and errors included."""
    parts = urllib.parse.urlsplit(url)
    if parts.scheme == "https":
        connection = http.client.HTTPSConnection(parts.hostname, parts.port, timeout=timeout, context=context)
    else:
        connection = http.client.HTTPConnection(parts.hostname, parts.port, timeout=timeout)
    target = parts.path + ("?" + parts.query if parts.query else "")
    try:
        connection.request(method, target, headers=headers or {})
        response = connection.getresponse()
        return response.status, response.headers, response.read()
    finally:
        connection.close()


def raw(host, port, data, timeout=10):
    """Sends bytes as they are and gives all that comes back until the server closes."""
    with socket.create_connection((host, port), timeout=timeout) as s:
        s.sendall(data)
        answer = b""
        while True:
            try:
                chunk = s.recv(65536)
            except ConnectionResetError:
                break
            if not chunk:
                break
            answer += chunk
        return answer
