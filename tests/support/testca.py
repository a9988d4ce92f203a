"""A certificate authority for the tests of https, made with the openssl command line: the CA, and
signed by it a certificate for "localhost" (what Wine checks, since it checks DNS names and not IP
addresses), an expired one for localhost and one for another host; and an untrusted self-signed one
for localhost. Keys are RSA 2048, without a pass phrase.

    python3 tests/support/testca.py make FOLDER      writes the files below into FOLDER
    python3 tests/support/testca.py install FOLDER   trusts FOLDER's CA on this machine (as root)
    python3 tests/support/testca.py remove           trusts it no more

    ca = testca.make(folder)   # TestCA with .ca, .localhost, .expired, .other_host, .self_signed
    StandInService(tls=ca.localhost)         # each is a (certfile, keyfile) pair; .ca is a file
    testca.install_ca(ca.ca); ...; testca.remove_ca()

install_ca copies the CA into /usr/local/share/ca-certificates and runs update-ca-certificates,
which makes it part of the host's store that OpenSSL, GnuTLS and so Wine read; remove_ca takes it
out again. Both take another store folder and update command for tests that must not touch the host.
"""
import collections
import os
import shutil
import subprocess
import sys

HOST_STORE = "/usr/local/share/ca-certificates"
CA_NAME = "lullcast-test-ca.crt"
TestCA = collections.namedtuple("TestCA", "folder ca localhost expired other_host self_signed")

_CONFIG = """[ca]
default_ca = test_ca
[test_ca]
dir = {folder}
database = $dir/index.txt
serial = $dir/serial
new_certs_dir = $dir/issued
certificate = $dir/ca.pem
private_key = $dir/ca.key
default_md = sha256
policy = anything
copy_extensions = none
unique_subject = no
[anything]
commonName = supplied
[server]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
subjectAltName = DNS:{host}
"""


def _openssl(*args, config=None):
    env = dict(os.environ, OPENSSL_CONF=config) if config else None
    subprocess.run(("openssl",) + args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)


def _key(path):
    _openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", path)


def _signed(folder, name, host, start, end):
    """A certificate for host signed by the folder's CA, valid from start to end (YYYYMMDDHHMMSSZ)."""
    config = os.path.join(folder, name + ".cnf")
    with open(config, "w") as f:
        f.write(_CONFIG.format(folder=folder, host=host))
    key, request, cert = (os.path.join(folder, name + suffix) for suffix in (".key", ".csr", ".pem"))
    _key(key)
    _openssl("req", "-new", "-key", key, "-subj", "/CN=" + host, "-out", request, config=config)
    _openssl("ca", "-batch", "-config", config, "-extensions", "server", "-startdate", start, "-enddate", end,
             "-notext", "-in", request, "-out", cert, config=config)
    return cert, key


def make(folder):
    """Makes the CA and the certificates in folder (created if need be); gives a TestCA."""
    folder = os.path.abspath(folder)
    os.makedirs(os.path.join(folder, "issued"), exist_ok=True)
    open(os.path.join(folder, "index.txt"), "w").close()
    with open(os.path.join(folder, "serial"), "w") as f:
        f.write("1000\n")
    ca_key, ca = os.path.join(folder, "ca.key"), os.path.join(folder, "ca.pem")
    _key(ca_key)
    _openssl("req", "-x509", "-new", "-key", ca_key, "-sha256", "-days", "3650", "-subj", "/CN=Lullcast Test CA",
             "-addext", "basicConstraints=critical,CA:true", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
             "-out", ca)
    now = _utc(0)
    localhost = _signed(folder, "localhost", "localhost", now, _utc(365))
    expired = _signed(folder, "expired", "localhost", _utc(-60), _utc(-30))
    other = _signed(folder, "other-host", "other.example", now, _utc(365))
    own_key, own = os.path.join(folder, "self-signed.key"), os.path.join(folder, "self-signed.pem")
    _key(own_key)
    _openssl("req", "-x509", "-new", "-key", own_key, "-sha256", "-days", "365", "-subj", "/CN=localhost",
             "-addext", "subjectAltName=DNS:localhost", "-out", own)
    return TestCA(folder, ca, localhost, expired, other, (own, own_key))


def load(folder):
    """The TestCA of a folder that make() filled."""
    folder = os.path.abspath(folder)
    pair = lambda name: (os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key"))  # noqa: E731
    return TestCA(folder, os.path.join(folder, "ca.pem"), pair("localhost"), pair("expired"), pair("other-host"),
                  pair("self-signed"))


def install_ca(ca_file, store=HOST_STORE, update=("update-ca-certificates",), name=CA_NAME):
    """Trusts the CA on this machine: copies it into the store folder under `name` and runs the
    update. CAs under other names stay trusted beside it."""
    os.makedirs(store, exist_ok=True)
    shutil.copyfile(ca_file, os.path.join(store, name))
    if update:
        subprocess.run(update, check=True, stdout=subprocess.DEVNULL)


def remove_ca(store=HOST_STORE, update=("update-ca-certificates",), name=CA_NAME):
    """Takes the test CA of that name out of the store folder and runs the update; nothing when it
    is not there."""
    path = os.path.join(store, name)
    if not os.path.exists(path):
        return False
    os.remove(path)
    if update:
        subprocess.run(update, check=True, stdout=subprocess.DEVNULL)
    return True


def _utc(days):
    import datetime
    moment = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(days=days)
    return moment.strftime("%Y%m%d%H%M%SZ")


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if argv[:1] == ["make"] and len(argv) == 2:
        for item in make(argv[1])[1:]:
            print(item)
    elif argv[:1] == ["install"] and len(argv) == 2:
        install_ca(load(argv[1]).ca)
    elif argv == ["remove"]:
        remove_ca()
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
