#!/usr/bin/env python3
"""A smart-TV double that speaks adb's transport protocol (device side) on a loopback address.

Standard library only. See README_adb_tv.md next to this file.
"""

import argparse
import base64
import hashlib
import ipaddress
import json
import os
import shlex
import socket
import struct
import sys
import threading
import time

A_SYNC = 0x434E5953
A_CNXN = 0x4E584E43
A_AUTH = 0x48545541
A_OPEN = 0x4E45504F
A_OKAY = 0x59414B4F
A_CLSE = 0x45534C43
A_WRTE = 0x45545257
A_STLS = 0x534C5453

COMMAND_NAMES = {A_SYNC: "SYNC", A_CNXN: "CNXN", A_AUTH: "AUTH", A_OPEN: "OPEN",
                 A_OKAY: "OKAY", A_CLSE: "CLSE", A_WRTE: "WRTE", A_STLS: "STLS"}

A_VERSION_MIN = 0x01000000
A_VERSION_SKIP_CHECKSUM = 0x01000001
A_STLS_VERSION = 0x01000000
MAX_PAYLOAD = 1024 * 1024

AUTH_TOKEN = 1
AUTH_SIGNATURE = 2
AUTH_RSAPUBLICKEY = 3
TOKEN_SIZE = 20

HEADER = struct.Struct("<6I")

KEY_WORDS = 64  # 2048-bit keys, as adb makes them
KEY_STRUCT = struct.Struct("<II%dI%dII" % (KEY_WORDS, KEY_WORDS))  # 524 bytes
SHA1_DIGEST_INFO = bytes.fromhex("3021300906052b0e03021a05000414")

# Android major version -> SDK level, for getprop.
SDK_OF_ANDROID = {4: 19, 5: 21, 6: 23, 7: 24, 8: 26, 9: 28, 10: 29, 11: 30, 12: 31,
                  13: 33, 14: 34, 15: 35}

HOSTILE_MODES = ("drop_mid_command", "garbage", "oversized", "out_of_order", "bad_magic",
                 "bad_checksum", "never_reply")


class ProtocolError(Exception):
    pass


class KeyError_(ValueError):
    pass


# ---------------------------------------------------------------- packets

def checksum(data):
    return sum(data) & 0xFFFFFFFF


def pack(command, arg0, arg1, data=b"", magic=None, check=None):
    header = HEADER.pack(command, arg0, arg1, len(data),
                         checksum(data) if check is None else check,
                         (command ^ 0xFFFFFFFF) if magic is None else magic)
    return header + data


def recv_exact(sock, count):
    chunks = []
    while count:
        chunk = sock.recv(min(count, 65536))
        if not chunk:
            raise EOFError("peer closed")
        chunks.append(chunk)
        count -= len(chunk)
    return b"".join(chunks)


def read_packet(sock, max_data, verify_checksum):
    command, arg0, arg1, length, check, magic = HEADER.unpack(recv_exact(sock, HEADER.size))
    if magic != command ^ 0xFFFFFFFF:
        raise ProtocolError("bad magic %08x for command %08x" % (magic, command))
    if length > max_data:
        raise ProtocolError("data length %d over %d" % (length, max_data))
    data = recv_exact(sock, length) if length else b""
    # A host's CNXN for a version that skips sums may carry none.
    skips = command == A_CNXN and arg0 >= A_VERSION_SKIP_CHECKSUM
    if verify_checksum and not skips and checksum(data) != check:
        raise ProtocolError("bad checksum")
    return command, arg0, arg1, data


# ---------------------------------------------------------------- keys

def decode_android_key(text):
    """Android public-key text ("BASE64 [user@host]") -> (n, e, comment). Checks the struct."""
    text = text.strip("\0 \t\r\n")
    if not text:
        raise KeyError_("empty key")
    b64, _, comment = text.partition(" ")
    try:
        raw = base64.b64decode(b64, validate=True)
    except ValueError as error:
        raise KeyError_("key is not base64: %s" % error) from None
    if len(raw) != KEY_STRUCT.size:
        raise KeyError_("key struct is %d bytes, not %d" % (len(raw), KEY_STRUCT.size))
    fields = KEY_STRUCT.unpack(raw)
    words, n0inv = fields[0], fields[1]
    n_words = fields[2:2 + KEY_WORDS]
    rr_words = fields[2 + KEY_WORDS:2 + 2 * KEY_WORDS]
    exponent = fields[-1]
    if words != KEY_WORDS:
        raise KeyError_("modulus size %d words, not %d" % (words, KEY_WORDS))
    n = words_to_int(n_words)
    if n.bit_length() != 32 * KEY_WORDS or n % 2 == 0:
        raise KeyError_("modulus is not an odd %d-bit number" % (32 * KEY_WORDS))
    if n0inv != (-pow(n, -1, 1 << 32)) % (1 << 32):
        raise KeyError_("n0inv does not match the modulus")
    if words_to_int(rr_words) != pow(2, 64 * KEY_WORDS, n):
        raise KeyError_("rr does not match the modulus")
    if exponent < 3 or exponent % 2 == 0:
        raise KeyError_("bad exponent %d" % exponent)
    return n, exponent, comment.strip()


def encode_android_key(n, e, comment=""):
    """(n, e) -> Android public-key text, as adb writes adbkey.pub."""
    n0inv = (-pow(n, -1, 1 << 32)) % (1 << 32)
    rr = pow(2, 64 * KEY_WORDS, n)
    raw = KEY_STRUCT.pack(KEY_WORDS, n0inv, *int_to_words(n), *int_to_words(rr), e)
    text = base64.b64encode(raw).decode("ascii")
    return text + (" " + comment if comment else "")


def words_to_int(words):
    return int.from_bytes(struct.pack("<%dI" % len(words), *words), "little")


def int_to_words(value):
    return struct.unpack("<%dI" % KEY_WORDS, value.to_bytes(4 * KEY_WORDS, "little"))


def pkcs1_sha1_encoding(digest, size):
    """EMSA-PKCS1-v1_5 block for a SHA-1 digest, `size` bytes long."""
    tail = SHA1_DIGEST_INFO + digest
    return b"\x00\x01" + b"\xff" * (size - len(tail) - 3) + b"\x00" + tail


def verify_signature(n, e, token, signature):
    """adb signs the token itself as if it were a SHA-1 digest (RSA_sign with NID_sha1)."""
    size = (n.bit_length() + 7) // 8
    if len(signature) != size or len(token) != 20:
        return False
    value = int.from_bytes(signature, "big")
    if value >= n:
        return False
    return pow(value, e, n).to_bytes(size, "big") == pkcs1_sha1_encoding(token, size)


class KeyStore:
    """Trusted keys; a keys file (adb_keys lines) when given, kept up to date."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.keys = []  # (n, e, line)
        if path and os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                for line in f:
                    if line.strip():
                        n, e, _ = decode_android_key(line)
                        self.keys.append((n, e, line.strip()))

    def trusted(self):
        with self.lock:
            return list(self.keys)

    def add(self, n, e, line):
        with self.lock:
            if any(k[0] == n and k[1] == e for k in self.keys):
                return
            self.keys.append((n, e, line))
            if self.path:
                with open(self.path, "a", encoding="utf-8") as f:
                    f.write(line + "\n")


# ---------------------------------------------------------------- the TV's packages and shell

class PackageState:
    """Which known packages are installed for user 0; saved to a JSON file after each change."""

    def __init__(self, path, initial):
        self.path = path
        self.lock = threading.Lock()
        self.installed = {}
        if path and os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                self.installed = dict(json.load(f)["installed_for_user_0"])
        else:
            self.installed = {name: True for name in initial}
            self.save()

    def save(self):
        if not self.path:
            return
        temp = self.path + ".tmp"
        with open(temp, "w", encoding="utf-8") as f:
            json.dump({"installed_for_user_0": self.installed}, f, indent=1, sort_keys=True)
        os.replace(temp, self.path)

    def uninstall(self, name):
        with self.lock:
            if not self.installed.get(name):
                return False
            self.installed[name] = False
            self.save()
            return True

    def install_existing(self, name):
        with self.lock:
            if name not in self.installed:
                return False
            self.installed[name] = True
            self.save()
            return True


PM_USAGE = ("usage: pm path [--user USER_ID] PACKAGE\n"
            "       pm list packages [-f] [-d] [-e] [-s] [-3] [-i] [-u] [--user USER_ID] [FILTER]\n"
            "       pm install [-lrtsfd] [-i PACKAGE] [--user USER_ID] [PATH]\n"
            "       pm uninstall [-k] [--user USER_ID] PACKAGE\n"
            "       pm disable [--user USER_ID] PACKAGE_OR_COMPONENT\n"
            "       pm enable [--user USER_ID] PACKAGE_OR_COMPONENT\n")


class TvShell:
    """Answers like the shell of an Android TV of a given version."""

    def __init__(self, packages, android):
        self.packages = packages
        self.android = android

    def run(self, command):
        try:
            argv = shlex.split(command)
        except ValueError:
            return "/system/bin/sh: syntax error: unterminated quoted string\n"
        if not argv:
            return ""
        program, args = argv[0], argv[1:]
        if program == "echo":
            return " ".join(args) + "\n"
        if program == "getprop":
            return self.getprop(args)
        if program == "pm":
            return self.pm(args)
        if program == "cmd" and self.android >= 7:
            return self.cmd(args)
        return "/system/bin/sh: %s: not found\n" % program

    def getprop(self, args):
        props = {"ro.build.version.sdk": str(SDK_OF_ANDROID.get(self.android, 19)),
                 "ro.build.version.release": str(self.android)}
        if not args:
            return "".join("[%s]: [%s]\n" % item for item in sorted(props.items()))
        return props.get(args[0], "") + "\n"

    def pm(self, args):
        if args[:1] == ["uninstall"]:
            return self.uninstall(args[1:])
        if args[:1] == ["install-existing"] and self.android >= 5:
            return self.install_existing(args[1:])
        if self.android >= 8:  # pm is a wrapper around "cmd package" there
            return self.cmd(["package"] + args)
        if not args:
            return PM_USAGE
        return "Error: unknown command '%s'\n%s" % (args[0], PM_USAGE)

    def cmd(self, args):
        if not args:
            return ""
        if args[0] != "package":
            return "Can't find service: %s\n" % args[0]
        sub = args[1:]
        if sub[:1] == ["uninstall"]:
            return self.uninstall(sub[1:])
        if sub[:1] == ["install-existing"] and self.android >= 8:
            return self.install_existing(sub[1:])
        if not sub:
            return "Package manager (package) commands:\n  help\n    Print this help text.\n"
        return "Unknown command: %s\n" % sub[0]

    @staticmethod
    def user_and_package(args):
        user, rest = "0", []
        i = 0
        while i < len(args):
            if args[i] == "--user" and i + 1 < len(args):
                user = args[i + 1]
                i += 2
            elif args[i].startswith("-"):
                i += 1
            else:
                rest.append(args[i])
                i += 1
        return user, (rest[0] if rest else None)

    def uninstall(self, args):
        user, name = self.user_and_package(args)
        if name is None:
            return "Error: package name not specified\n"
        if user != "0" or not self.packages.uninstall(name):
            return "Failure [not installed for %s]\n" % user
        return "Success\n"

    def install_existing(self, args):
        user, name = self.user_and_package(args)
        if name is None:
            return "Error: package name not specified\n"
        if user != "0" or not self.packages.install_existing(name):
            return ("android.content.pm.PackageManager$NameNotFoundException: "
                    "Package %s doesn't exist\n" % name)
        return "Package %s installed for user: %s\n" % (name, user)


# ---------------------------------------------------------------- the event log

class EventLog:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()

    def write(self, event, **fields):
        if not self.path:
            return
        record = {"time": round(time.time(), 3), "event": event}
        record.update(fields)
        with self.lock, open(self.path, "a", encoding="utf-8") as f:
            f.write(json.dumps(record, sort_keys=True) + "\n")


# ---------------------------------------------------------------- one connection

class Connection:
    def __init__(self, server, sock, number):
        self.server = server
        self.options = server.options
        self.sock = sock
        self.number = number
        self.send_lock = threading.Lock()
        self.closed = threading.Event()
        self.version = A_VERSION_MIN  # until the host's CNXN tells more
        self.max_data = 4096
        self.authorized = False
        self.token = None
        self.next_id = 1
        self.streams = {}  # our id -> {"remote": id, "chunks": [bytes]}
        self.hostile_done = False
        self.streams_last = (0, 0)  # (our id, host id) of the latest shell OPEN

    def log(self, event, **fields):
        self.server.log.write(event, connection=self.number, **fields)

    # -- sending

    def send_raw(self, data):
        if self.options.slow:
            time.sleep(self.options.slow / 1000.0)
        with self.send_lock:
            if self.closed.is_set():
                return
            self.sock.sendall(data)

    def send(self, command, arg0, arg1, data=b""):
        self.send_raw(pack(command, arg0, arg1, data))

    def our_version(self):
        # Under --bad-checksum, speak the version whose hosts check data sums.
        return A_VERSION_MIN if self.options.bad_checksum else A_VERSION_SKIP_CHECKSUM

    def banner(self):
        o = self.options
        features = "cmd,stat_v2,ls_v2,fixed_push_mkdir,apex,abb,fixed_push_symlink_timestamp"
        return ("device::ro.product.name=%s;ro.product.model=%s;ro.product.device=%s;features=%s"
                % (o.product_name, o.product_model, o.product_device, features)).encode()

    def send_cnxn(self):
        self.authorized = True
        self.send(A_CNXN, self.our_version(), MAX_PAYLOAD, self.banner())

    def send_token(self):
        self.token = os.urandom(TOKEN_SIZE)
        self.send(A_AUTH, AUTH_TOKEN, 0, self.token)

    # -- hostile answers

    def hostile_now(self, stage):
        """Plays the chosen awkward answer at `stage`; True when the normal answer must not follow."""
        o = self.options
        if o.hostile_at != stage or self.hostile_done:
            return False
        mode = next((m for m in HOSTILE_MODES if getattr(o, m)), None)
        if mode is None:
            return False
        self.hostile_done = True
        self.log("hostile", mode=mode, stage=stage)
        local, remote = self.streams_last
        if mode == "never_reply":
            return True
        if mode == "drop_mid_command":
            self.shutdown()
            return True
        if mode == "garbage":
            junk = os.urandom(HEADER.size)
            while HEADER.unpack(junk)[5] == HEADER.unpack(junk)[0] ^ 0xFFFFFFFF:
                junk = os.urandom(HEADER.size)
            self.send_raw(junk)
            return True
        if mode == "oversized":
            self.send_raw(HEADER.pack(A_WRTE, local, remote, 0x7FFFFFFF, 0, A_WRTE ^ 0xFFFFFFFF))
            return True
        if mode == "bad_magic":
            self.send_raw(pack(A_WRTE, local, remote, b"Success\n", magic=A_WRTE))
            return True
        if mode == "bad_checksum":
            data = b"Success\n"
            self.send_raw(pack(A_WRTE, local, remote, data, check=(checksum(data) + 1) & 0xFFFFFFFF))
            return True
        if mode == "out_of_order":
            # A write on an id never opened, then a second CNXN; the normal answer follows.
            self.send(A_WRTE, local + 1000, remote + 1000, b"stray\n")
            self.send(A_CNXN, self.our_version(), MAX_PAYLOAD, self.banner())
            return False
        return False

    # -- receiving

    def serve(self):
        self.log("accepted", peer="%s:%d" % self.sock.getpeername()[:2])
        try:
            while not self.closed.is_set():
                verify = self.version < A_VERSION_SKIP_CHECKSUM
                command, arg0, arg1, data = read_packet(self.sock, MAX_PAYLOAD, verify)
                self.handle(command, arg0, arg1, data)
        except EOFError:
            self.log("closed", by="host")
        except ProtocolError as error:
            self.log("protocol-error", detail=str(error))
        except OSError as error:
            if not self.closed.is_set():
                self.log("closed", by="error", detail=str(error))
        finally:
            self.shutdown()

    def shutdown(self):
        with self.send_lock:
            if self.closed.is_set():
                return
            self.closed.set()
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()

    def handle(self, command, arg0, arg1, data):
        name = COMMAND_NAMES.get(command, "%08x" % command)
        if command == A_CNXN:
            self.on_cnxn(arg0, arg1, data)
        elif command == A_STLS:
            self.log("tls", detail="host agreed to TLS; this double cannot go on")
            self.shutdown()
        elif command == A_AUTH:
            self.on_auth(arg0, data)
        elif not self.authorized:
            self.log("ignored", command=name, reason="not authorized")
        elif command == A_OPEN:
            self.on_open(arg0, data)
        elif command == A_OKAY:
            self.on_okay(arg0, arg1)
        elif command == A_CLSE:
            self.streams.pop(arg1, None)
        elif command == A_WRTE:
            # Nothing reads stdin; still acknowledge, as adbd does, so the host may go on.
            if arg1 in self.streams:
                self.send(A_OKAY, arg1, arg0)
        else:
            self.log("ignored", command=name)

    def on_cnxn(self, version, max_data, data):
        self.version = min(version, self.our_version())
        self.max_data = max(256, min(max_data, MAX_PAYLOAD))
        self.log("cnxn", version="%08x" % version, max_data=max_data,
                 banner=data.rstrip(b"\0").decode("utf-8", "replace"))
        if self.hostile_now("connect"):
            return
        if self.options.tls:
            self.send(A_STLS, A_STLS_VERSION, 0)
        elif self.options.no_auth:
            self.log("auth", outcome="not required")
            self.send_cnxn()
        else:
            self.send_token()

    def on_auth(self, kind, data):
        if self.authorized:
            self.log("ignored", command="AUTH", reason="already authorized")
            return
        if kind == AUTH_SIGNATURE:
            if self.token is None:
                self.log("ignored", command="AUTH", reason="no token sent")
                return
            if any(verify_signature(n, e, self.token, data) for n, e, _ in self.server.keys.trusted()):
                self.log("auth", outcome="signature accepted")
                self.send_cnxn()
            else:
                self.log("auth", outcome="signature refused")
                self.send_token()
        elif kind == AUTH_RSAPUBLICKEY:
            text = data.rstrip(b"\0").decode("utf-8", "replace").strip()
            try:
                n, e, comment = decode_android_key(text)
            except KeyError_ as error:
                self.log("auth", outcome="public key invalid", detail=str(error))
                return
            self.log("auth", outcome="public key offered", comment=comment)
            line = text.split(None, 1)[0] + (" " + comment if comment else "")
            self.decide_on_key(n, e, line)
        else:
            self.log("ignored", command="AUTH", reason="type %d" % kind)

    def decide_on_key(self, n, e, line):
        accept, delay = self.options.accept
        if accept == "never":
            self.log("auth", outcome="public key left waiting")
            return

        def accept_key():
            if self.closed.is_set() or self.authorized:
                return
            self.server.keys.add(n, e, line)
            self.log("auth", outcome="public key accepted")
            try:
                self.send_cnxn()
            except OSError:
                pass

        if delay <= 0:
            accept_key()
        else:
            timer = threading.Timer(delay, accept_key)
            timer.daemon = True
            timer.start()

    def on_open(self, remote, data):
        service = data.rstrip(b"\0").decode("utf-8", "replace")
        self.log("open", service=service)
        if service.startswith("shell:") or service.startswith("exec:"):
            command = service.split(":", 1)[1]
        else:
            self.log("refused", service=service)
            self.send(A_CLSE, 0, remote)
            return
        local = self.next_id
        self.next_id += 1
        self.log("shell", command=command)
        self.streams_last = (local, remote)
        if self.options.never_reply and self.hostile_now("command"):
            return
        self.send(A_OKAY, local, remote)
        # The TV does the work even when its answer then goes astray.
        output = self.server.shell.run(command).encode("utf-8")
        if self.hostile_now("command"):
            return
        size = self.max_data
        chunks = [output[i:i + size] for i in range(0, len(output), size)]
        self.streams[local] = {"remote": remote, "chunks": chunks}
        self.next_chunk(local)

    def on_okay(self, remote, local):
        # The host's OKAY for a stream we opened means "send more".
        if local in self.streams:
            self.next_chunk(local)

    def next_chunk(self, local):
        stream = self.streams[local]
        if stream["chunks"]:
            self.send(A_WRTE, local, stream["remote"], stream["chunks"].pop(0))
        else:
            self.send(A_CLSE, local, stream["remote"])
            self.streams.pop(local, None)


# ---------------------------------------------------------------- the server

class Server:
    def __init__(self, options):
        self.options = options
        self.log = EventLog(options.log)
        self.keys = KeyStore(options.keys)
        self.packages = PackageState(options.state, options.packages)
        self.shell = TvShell(self.packages, options.android)
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind((options.address, options.port))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.connections = []

    def serve(self):
        if self.options.port_file:
            temp = self.options.port_file + ".tmp"
            with open(temp, "w", encoding="ascii") as f:
                f.write("%d\n" % self.port)
            os.replace(temp, self.options.port_file)
        self.log.write("listening", address=self.options.address, port=self.port)
        deadline = time.monotonic() + self.options.lifetime
        number = 0
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            self.listener.settimeout(min(left, 0.5))
            try:
                sock, _ = self.listener.accept()
            except socket.timeout:
                continue
            sock.settimeout(None)
            # As adbd does: each header and payload goes out at once.
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            number += 1
            connection = Connection(self, sock, number)
            self.connections.append(connection)
            threading.Thread(target=connection.serve, daemon=True).start()
        self.log.write("lifetime over")
        for connection in self.connections:
            connection.shutdown()
        self.listener.close()


def parse_accept(values):
    if values == ["now"]:
        return ("now", 0.0)
    if values == ["never"]:
        return ("never", 0.0)
    if len(values) == 2 and values[0] == "after":
        try:
            seconds = float(values[1])
        except ValueError:
            seconds = -1
        if 0 <= seconds <= 3600:
            return ("after", seconds)
    raise argparse.ArgumentTypeError("--accept takes: now | after SECONDS | never")


def loopback_address(text):
    try:
        address = ipaddress.IPv4Address(text)
    except ValueError:
        raise argparse.ArgumentTypeError("%r is not an IPv4 address" % text) from None
    if address not in ipaddress.IPv4Network("127.0.0.0/8"):
        raise argparse.ArgumentTypeError("%s is not in 127.0.0.0/8; only loopback is served" % text)
    return text


def parse_arguments(argv):
    p = argparse.ArgumentParser(
        description="A smart TV that speaks adb's transport protocol on a loopback address.")
    where = p.add_argument_group("where and how long")
    where.add_argument("--address", type=loopback_address, default="127.0.0.1",
                       help="IPv4 address to listen on, in 127.0.0.0/8 (default 127.0.0.1)")
    where.add_argument("--port", type=int, default=0,
                       help="TCP port; 0 (default) lets the system choose")
    where.add_argument("--port-file", help="write the listening port to this file once ready")
    where.add_argument("--lifetime", type=float, default=300.0,
                       help="seconds to serve before exiting (default 300, at most 86400)")
    tv = p.add_argument_group("the TV")
    tv.add_argument("--packages", default="",
                    help="comma-separated packages installed for user 0 at the start "
                         "(ignored when the state file exists)")
    tv.add_argument("--state", help="JSON file keeping the package state (read at start if present)")
    tv.add_argument("--android", type=int, default=11,
                    help="Android major version (default 11): 8 and later know both "
                         "'cmd package install-existing' and 'pm install-existing'; 5 to 7 only "
                         "'pm install-existing' (7 has 'cmd' but not that command); 4 neither")
    tv.add_argument("--product-name", default="mitv_uhd")
    tv.add_argument("--product-model", default="MiTV-AXSO0")
    tv.add_argument("--product-device", default="machuca")
    auth = p.add_argument_group("authorization")
    auth.add_argument("--keys", help="trusted keys file, adb_keys format; accepted keys are appended")
    auth.add_argument("--accept", nargs="+", default=["now"], metavar="WHEN",
                      help="what the 'user' does with an offered public key: now | after SECONDS "
                           "| never (default now)")
    auth.add_argument("--no-auth", action="store_true",
                      help="answer the host's CNXN with CNXN at once, as a TV with auth off")
    auth.add_argument("--tls", action="store_true",
                      help="answer the host's CNXN with STLS, as wireless debugging on Android 11+; "
                           "TLS itself is not done: if the host answers STLS the double hangs up")
    hostile = p.add_argument_group("awkward behaviour (at most one of the modes)")
    hostile.add_argument("--slow", type=int, default=0, metavar="MS",
                         help="wait MS milliseconds before every packet sent")
    hostile.add_argument("--hostile-at", choices=("connect", "command"), default="command",
                         help="when the mode strikes: on the host's CNXN, or on the first shell "
                              "OPEN after the OKAY, the command having been run (default command)")
    hostile.add_argument("--drop-mid-command", action="store_true",
                         help="hang up instead of the answer")
    hostile.add_argument("--garbage", action="store_true",
                         help="send 24 random bytes (never a valid header) instead of the answer")
    hostile.add_argument("--oversized", action="store_true",
                         help="send a WRTE header with data length 0x7FFFFFFF instead of the answer")
    hostile.add_argument("--out-of-order", action="store_true",
                         help="send a WRTE on an id never opened and a second CNXN, then the answer")
    hostile.add_argument("--bad-magic", action="store_true",
                         help="answer with a WRTE whose magic is wrong")
    hostile.add_argument("--bad-checksum", action="store_true",
                         help="speak version 0x01000000 (whose hosts check sums) and answer with "
                              "a WRTE whose data check is wrong")
    hostile.add_argument("--never-reply", action="store_true",
                         help="say nothing (the connection stays open); at command, not even "
                              "the OKAY, and the command is not run")
    p.add_argument("--log", help="JSON-lines event log: connections, auth outcomes, commands")
    options = p.parse_args(argv)
    try:
        options.accept = parse_accept(options.accept)
    except argparse.ArgumentTypeError as error:
        p.error(str(error))
    if not 0 < options.lifetime <= 86400:
        p.error("--lifetime must be more than 0 and at most 86400 seconds")
    if not 0 <= options.port <= 65535:
        p.error("--port must be 0 to 65535")
    if sum(bool(getattr(options, m)) for m in HOSTILE_MODES) > 1:
        p.error("choose at most one awkward mode")
    if not 0 <= options.slow <= 60000:
        p.error("--slow must be 0 to 60000 ms")
    options.packages = [name for name in options.packages.split(",") if name]
    return options


def main(argv=None):
    options = parse_arguments(sys.argv[1:] if argv is None else argv)
    Server(options).serve()
    return 0


if __name__ == "__main__":
    sys.exit(main())
