"""An RFC 3161 timestamp authority on 127.0.0.1 for signing in the tests:
osslsigncode's -ts asks it over HTTP, and `openssl ts -reply` answers. Its
certificate is its own root; nothing in the tests trusts it by chain."""
import subprocess
import threading
from http.server import BaseHTTPRequestHandler, HTTPServer
from pathlib import Path

CONFIG = """\
[tsa]
default_tsa = tsa_config

[tsa_config]
dir = {dir}
serial = $dir/serial
crypto_device = builtin
signer_cert = $dir/tsa.pem
signer_key = $dir/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


class TimestampAuthority:
    def __init__(self, folder: Path):
        self.folder = folder
        folder.mkdir(parents=True, exist_ok=True)
        # openssl ts signs only with a certificate whose one extended key use
        # is timeStamping, marked critical.
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                        "-keyout", folder / "tsa.key", "-out", folder / "tsa.pem", "-days", "2",
                        "-subj", "/CN=Vespodar test timestamps",
                        "-addext", "keyUsage=critical,digitalSignature",
                        "-addext", "extendedKeyUsage=critical,timeStamping"],
                       check=True, capture_output=True)
        (folder / "serial").write_text("01\n")
        self.certificate = folder / "tsa.pem"
        self.config = folder / "tsa.cnf"
        self.config.write_text(CONFIG.format(dir=folder))
        self.requests = 0
        self._server = HTTPServer(("127.0.0.1", 0), self._handler())
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)

    @property
    def url(self) -> str:
        return f"http://127.0.0.1:{self._server.server_port}/"

    def verification(self, signed: Path, signer: Path) -> str:
        """What osslsigncode says of SIGNED's signature by SIGNER and of its
        timestamp by this authority; a timestamp checked and found good
        reads "Timestamp Server Signature verification: ok"."""
        result = subprocess.run(["osslsigncode", "verify", "-in", signed, "-CAfile", signer,
                                 "-TSA-CAfile", self.certificate],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        return result.stdout

    def reply(self, query: bytes) -> bytes:
        # One request at a time (the server is not threading): the serial
        # file is read and written by each reply.
        (self.folder / "query.tsq").write_bytes(query)
        subprocess.run(["openssl", "ts", "-reply", "-config", self.config,
                        "-queryfile", self.folder / "query.tsq", "-out", self.folder / "reply.tsr"],
                       check=True, capture_output=True)
        self.requests += 1
        return (self.folder / "reply.tsr").read_bytes()

    def _handler(self):
        authority = self

        class Handler(BaseHTTPRequestHandler):
            def do_POST(self):
                query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
                try:
                    body, status = authority.reply(query), 200
                except subprocess.CalledProcessError as error:
                    body, status = error.stderr, 500
                self.send_response(status)
                self.send_header("Content-Type", "application/timestamp-reply" if status == 200
                                 else "text/plain")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        return Handler

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._server.shutdown()
        self._server.server_close()
        self._thread.join()
