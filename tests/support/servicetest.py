"""What the tests and the benchmark of the reference service share: plain HTTP requests that show
every status, the reports as the program sends them, free ports, and nginx with the shipped site."""
import http.client
import os
import socket
import subprocess
import time
import urllib.parse

LOOPBACK = "127.0.0.1"
DEPLOY = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "service", "deploy"))
NGINX = "/usr/sbin/nginx"

# nginx's main settings around the shipped site, everything in one private folder (prefix).
NGINX_MAIN = """worker_processes {workers};
pid {prefix}/nginx.pid;
error_log {prefix}/error.log;
events {{ worker_connections {connections}; }}
http {{
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    access_log off;
    client_body_temp_path {prefix}/temp/body;
    proxy_temp_path {prefix}/temp/proxy;
    fastcgi_temp_path {prefix}/temp/fastcgi;
    uwsgi_temp_path {prefix}/temp/uwsgi;
    scgi_temp_path {prefix}/temp/scgi;
    include {prefix}/lullcast.conf;
}}
"""

# The view and click reports as the program sends them, unescaped, and what is stored of each.
REPORTS = [
    ("/clicks.php?action=view&feed=http://a.example/feeds/news-1.xml",
     {"action": "view", "feed": "http://a.example/feeds/news-1.xml", "url": None}),
    ("/clicks.php?action=view&feed=http://b.example/rss.php?id=3&lang=de",
     {"action": "view", "feed": "http://b.example/rss.php?id=3&lang=de", "url": None}),
    ("/clicks.php?action=browse&feed=http://b.example/rss.php?id=3&url=http://b.example/a?x=1&url=2",
     {"action": "browse", "feed": "http://b.example/rss.php?id=3", "url": "http://b.example/a?x=1&url=2"}),
    ("/clicks.php?action=browse&feed=&url=http://news.example.org",
     {"action": "browse", "feed": "", "url": "http://news.example.org"}),
    ("/clicks.php?action=view&feed=http://c.example/%7Euser/feed.xml#top",
     {"action": "view", "feed": "http://c.example/%7Euser/feed.xml#top", "url": None}),
]


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


def unused_port():
    """A port on 127.0.0.1 that nothing listens on just now."""
    with socket.socket() as s:
        s.bind((LOOPBACK, 0))
        return s.getsockname()[1]


def wait_for_port(port, process=None, timeout=30):
    """Waits until something accepts connections on 127.0.0.1:port (a started server, whose
    Popen `process` must not end meanwhile)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process is not None and process.poll() is not None:
            raise RuntimeError("the server ended with %s" % process.returncode)
        try:
            socket.create_connection((LOOPBACK, port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("nothing listens on %d" % port)


def start_nginx(folder, web_port, app_port, www, deploy=DEPLOY, workers="1", connections=256):
    """nginx with the shipped site (deploy/nginx-lullcast.conf) on 127.0.0.1:web_port, serving the
    exported folder www and passing the rest to gunicorn on 127.0.0.1:app_port; its files in
    folder/nginx. Returns the process (stop it with SIGQUIT)."""
    with open(os.path.join(deploy, "nginx-lullcast.conf")) as f:
        site = f.read()
    for shipped, here in (("listen 80 default_server;", "listen 127.0.0.1:%d;" % web_port),
                          ("/srv/lullcast/www", www),
                          ("127.0.0.1:8000", "127.0.0.1:%d" % app_port)):
        if shipped not in site:
            raise RuntimeError("the shipped site has no %r" % shipped)
        site = site.replace(shipped, here)
    prefix = os.path.join(folder, "nginx")
    os.makedirs(os.path.join(prefix, "temp"), mode=0o777)
    os.chmod(os.path.join(prefix, "temp"), 0o777)
    with open(os.path.join(prefix, "lullcast.conf"), "w") as f:
        f.write(site)
    with open(os.path.join(prefix, "nginx.conf"), "w") as f:
        f.write(NGINX_MAIN.format(prefix=prefix, workers=workers, connections=connections))
    return subprocess.Popen([NGINX, "-p", prefix, "-c", os.path.join(prefix, "nginx.conf"),
                             "-e", os.path.join(prefix, "error.log"), "-g", "daemon off;"])
