"""Tests of the adb TV double (adb_tv.py): its key and signature code, its shell, its protocol
through a raw socket, and the real Linux adb client against it in a loopback-only namespace."""

import base64
import json
import os
import random
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import adb_tv  # noqa: E402

DOUBLE = os.path.join(HERE, "adb_tv.py")
ADB = "/usr/bin/adb"
INSIDE_NAMESPACE = "OZ_ADB_TV_INSIDE_NETNS"
SHIM = "OZ_ADB_LINUX_EXE"  # the built adb-linux.exe, for the test of it under Wine
WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run.sh")


# ---------------------------------------------------------------- a small RSA key, pure Python

def is_probable_prime(n, rounds=24):
    if n < 2:
        return False
    for p in (2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37):
        if n % p == 0:
            return n == p
    d, s = n - 1, 0
    while d % 2 == 0:
        d, s = d // 2, s + 1
    for _ in range(rounds):
        x = pow(random.randrange(2, n - 1), d, n)
        if x in (1, n - 1):
            continue
        for _ in range(s - 1):
            x = pow(x, 2, n)
            if x == n - 1:
                break
        else:
            return False
    return True


def random_prime(bits):
    while True:
        candidate = random.getrandbits(bits) | (3 << (bits - 2)) | 1
        if is_probable_prime(candidate):
            return candidate


class RsaKey:
    """A 2048-bit key made here, signing as adb does (PKCS#1 v1.5, SHA-1 DigestInfo)."""

    def __init__(self):
        e = 65537
        while True:
            p, q = random_prime(1024), random_prime(1024)
            phi = (p - 1) * (q - 1)
            if p != q and phi % e and (p * q).bit_length() == 2048:
                break
        self.n, self.e, self.d = p * q, e, pow(e, -1, phi)

    def sign(self, token):
        block = adb_tv.pkcs1_sha1_encoding(token, 256)
        return pow(int.from_bytes(block, "big"), self.d, self.n).to_bytes(256, "big")

    def public_text(self, comment="tester@bench"):
        return adb_tv.encode_android_key(self.n, self.e, comment)


KEYS = {}


def key(name):
    if name not in KEYS:
        KEYS[name] = RsaKey()
    return KEYS[name]


# ---------------------------------------------------------------- running the double

class RunningDouble:
    """The double as a process in a temp folder; stopped and waited for on exit."""

    def __init__(self, *args, folder=None):
        self.folder = folder or tempfile.mkdtemp(prefix="adb-tv-")
        self.own_folder = folder is None
        self.args = list(args)
        self.path = lambda name: os.path.join(self.folder, name)

    def __enter__(self):
        port_file = self.path("port")
        for stale in (port_file, self.path("log.jsonl")):  # keys and state outlive a run
            if os.path.exists(stale):
                os.remove(stale)
        command = [sys.executable, DOUBLE, "--port-file", port_file, "--log", self.path("log.jsonl"),
                   "--state", self.path("state.json"), "--keys", self.path("keys"),
                   "--lifetime", "60"] + self.args
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not os.path.exists(port_file):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise AssertionError("the double did not start: %r" % (self.process.stderr.read(),))
            time.sleep(0.02)
        with open(port_file, encoding="ascii") as f:
            self.port = int(f.read())
        return self

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(5)
        self.process.stdout.close()
        self.process.stderr.close()

    def __exit__(self, *exc):
        self.stop()
        if self.own_folder:
            shutil.rmtree(self.folder, ignore_errors=True)

    def events(self, name=None):
        if not os.path.exists(self.path("log.jsonl")):
            return []
        with open(self.path("log.jsonl"), encoding="utf-8") as f:
            records = [json.loads(line) for line in f]
        return [r for r in records if name is None or r["event"] == name]

    def state(self):
        with open(self.path("state.json"), encoding="utf-8") as f:
            return json.load(f)["installed_for_user_0"]


class RawHost:
    """The host side of the transport, packet by packet, every read bounded."""

    def __init__(self, port, timeout=3.0):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)

    def close(self):
        self.sock.close()

    def send(self, command, arg0, arg1, data=b""):
        self.sock.sendall(adb_tv.pack(command, arg0, arg1, data))

    def header(self, timeout=3.0):
        self.sock.settimeout(timeout)
        return adb_tv.HEADER.unpack(adb_tv.recv_exact(self.sock, adb_tv.HEADER.size))

    def packet(self, timeout=3.0):
        command, arg0, arg1, length, check, magic = self.header(timeout)
        if magic != command ^ 0xFFFFFFFF:
            raise AssertionError("bad magic from the double")
        data = adb_tv.recv_exact(self.sock, length)
        return command, arg0, arg1, data

    def silent_for(self, seconds):
        self.sock.settimeout(seconds)
        try:
            self.sock.recv(1)  # data or the end: not silent
            return False
        except socket.timeout:
            return True

    def connect(self, max_data=adb_tv.MAX_PAYLOAD, version=adb_tv.A_VERSION_SKIP_CHECKSUM):
        self.send(adb_tv.A_CNXN, version, max_data, b"host::features=cmd\0")
        return self.packet()

    def authorize(self, rsa):
        """CNXN, then the signature; falls back to offering the key as adb does."""
        command, kind, _, token = self.connect()
        assert (command, kind) == (adb_tv.A_AUTH, adb_tv.AUTH_TOKEN)
        self.send(adb_tv.A_AUTH, adb_tv.AUTH_SIGNATURE, 0, rsa.sign(token))
        reply = self.packet()
        if reply[0] == adb_tv.A_AUTH:
            self.send(adb_tv.A_AUTH, adb_tv.AUTH_RSAPUBLICKEY, 0,
                      rsa.public_text().encode() + b"\0")
            reply = self.packet()
        return reply

    def shell(self, command, local=7):
        """Runs a command; returns (output, every packet seen) and checks the stream's ids."""
        self.send(adb_tv.A_OPEN, local, 0, b"shell:" + command.encode() + b"\0")
        okay = self.packet()
        assert okay[0] == adb_tv.A_OKAY and okay[2] == local, okay
        remote = okay[1]
        output, seen = b"", [okay]
        while True:
            packet = self.packet()
            seen.append(packet)
            assert (packet[1], packet[2]) == (remote, local), packet
            if packet[0] == adb_tv.A_CLSE:
                self.send(adb_tv.A_CLSE, local, remote)
                return output.decode(), seen
            assert packet[0] == adb_tv.A_WRTE, packet
            output += packet[3]
            self.send(adb_tv.A_OKAY, local, remote)


def wait_for(predicate, seconds=5.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.02)
    return predicate()


# ---------------------------------------------------------------- keys and signatures

class AndroidKeyTest(unittest.TestCase):
    def test_round_trip_keeps_modulus_exponent_and_comment(self):
        rsa = key("a")
        n, e, comment = adb_tv.decode_android_key(rsa.public_text("me@tv") + "\0")
        self.assertEqual((n, e, comment), (rsa.n, rsa.e, "me@tv"))

    def test_struct_is_524_bytes_in_adb_layout(self):
        raw = base64.b64decode(key("a").public_text().split()[0])
        self.assertEqual(len(raw), 524)
        words, n0inv = struct.unpack_from("<II", raw)
        self.assertEqual(words, 64)
        self.assertEqual((n0inv * key("a").n) % (1 << 32), 0xFFFFFFFF)  # n0inv = -1/n mod 2^32
        self.assertEqual(int.from_bytes(raw[8:264], "little"), key("a").n)

    def test_broken_structs_are_refused(self):
        raw = bytearray(base64.b64decode(key("a").public_text().split()[0]))

        def patched(offset, value):
            copy = bytearray(raw)
            struct.pack_into("<I", copy, offset, value)
            return base64.b64encode(bytes(copy)).decode()

        n0inv = struct.unpack_from("<I", raw, 4)[0]
        rr0 = struct.unpack_from("<I", raw, 264)[0]
        cases = {
            "word count": (patched(0, 32), "modulus size"),
            "n0inv": (patched(4, n0inv ^ 1), "n0inv"),
            "rr": (patched(264, rr0 ^ 1), "rr"),
            "even modulus": (patched(8, struct.unpack_from("<I", raw, 8)[0] & ~1), "modulus"),
            "short": (base64.b64encode(bytes(raw[:-4])).decode(), "520 bytes"),
            "not base64": ("@@@@ me@tv", "base64"),
            "empty": ("\0", "empty"),
        }
        for name, (text, message) in cases.items():
            with self.subTest(name):
                with self.assertRaisesRegex(adb_tv.KeyError_, message):
                    adb_tv.decode_android_key(text)


class SignatureTest(unittest.TestCase):
    def test_signatures_made_here(self):
        a, b = key("a"), key("b")
        token = os.urandom(20)
        good = a.sign(token)
        cases = [
            ("right key", a, token, good, True),
            ("other key", b, token, good, False),
            ("other token", a, os.urandom(20), good, False),
            ("flipped bit", a, token, bytes([good[0] ^ 1]) + good[1:], False),
            ("short", a, token, good[1:], False),
            ("signature over n", a, token, b"\xff" * 256, False),
        ]
        for name, rsa, signed, signature, expected in cases:
            with self.subTest(name):
                self.assertIs(adb_tv.verify_signature(rsa.n, rsa.e, signed, signature), expected)

    @unittest.skipUnless(shutil.which("openssl"), "openssl CLI not installed")
    def test_signature_made_by_openssl_with_its_own_key(self):
        with tempfile.TemporaryDirectory() as folder:
            private = os.path.join(folder, "key.pem")
            token_file = os.path.join(folder, "token")
            token = os.urandom(20)
            with open(token_file, "wb") as f:
                f.write(token)
            run = lambda *args: subprocess.run(["openssl", *args], check=True, timeout=60,
                                               capture_output=True).stdout
            run("genrsa", "-out", private, "2048")
            # The token is signed as a ready SHA-1 digest, as adb's RSA_sign(NID_sha1) does.
            signature = run("pkeyutl", "-sign", "-inkey", private, "-in", token_file,
                            "-pkeyopt", "digest:sha1")
            modulus = run("rsa", "-in", private, "-noout", "-modulus").decode()
            n = int(modulus.strip().split("=", 1)[1], 16)
        n2, e, _ = adb_tv.decode_android_key(adb_tv.encode_android_key(n, 65537, "o@s"))
        self.assertEqual(n2, n)
        self.assertTrue(adb_tv.verify_signature(n, e, token, signature))
        self.assertFalse(adb_tv.verify_signature(n, e, bytes(20), signature))


# ---------------------------------------------------------------- the TV's shell

class TvShellTest(unittest.TestCase):
    PKG = "com.xiaomi.mitv.upgrade"

    def shell(self, android, installed=True):
        state = adb_tv.PackageState(None, [self.PKG])
        if not installed:
            state.uninstall(self.PKG)
        return adb_tv.TvShell(state, android), state

    def test_answers_by_android_version(self):
        pkg = self.PKG
        restore_cmd = "cmd package install-existing --user 0 " + pkg
        restore_pm = "pm install-existing --user 0 " + pkg
        restored = "Package %s installed for user: 0\n" % pkg
        unknown = "android.content.pm.PackageManager$NameNotFoundException: Package x.y doesn't exist\n"
        # (android, installed before, command, answer, installed after)
        table = [
            (11, True, "pm uninstall --user 0 " + pkg, "Success\n", False),
            (11, False, "pm uninstall --user 0 " + pkg, "Failure [not installed for 0]\n", False),
            (11, True, "pm uninstall --user 0 x.y", "Failure [not installed for 0]\n", True),
            (11, True, "pm uninstall --user 10 " + pkg, "Failure [not installed for 10]\n", True),
            (11, False, restore_cmd, restored, True),
            (11, False, restore_pm, restored, True),
            (11, True, restore_cmd, restored, True),
            (11, False, "cmd package install-existing --user 0 x.y", unknown, False),
            (8, False, "cmd package uninstall --user 0 " + pkg, "Failure [not installed for 0]\n", False),
            (7, False, restore_cmd, "Unknown command: install-existing\n", False),
            (7, False, restore_pm, restored, True),
            (6, False, restore_cmd, "/system/bin/sh: cmd: not found\n", False),
            (6, True, "pm uninstall --user 0 " + pkg, "Success\n", False),
            (4, False, restore_pm, "Error: unknown command 'install-existing'\n" + adb_tv.PM_USAGE, False),
            (4, False, restore_cmd, "/system/bin/sh: cmd: not found\n", False),
            (11, True, "getprop ro.build.version.sdk", "30\n", True),
            (7, True, "getprop ro.build.version.sdk", "24\n", True),
            (11, True, "echo hello  'two words'", "hello two words\n", True),
            (11, True, "settings get global x", "/system/bin/sh: settings: not found\n", True),
            (11, True, "pm", "Package manager (package) commands:\n  help\n    Print this help text.\n", True),
            (11, True, "", "", True),
        ]
        for android, before, command, answer, after in table:
            with self.subTest(android=android, command=command, installed=before):
                shell, state = self.shell(android, before)
                self.assertEqual(shell.run(command), answer)
                self.assertIs(state.installed[pkg], after)

    def test_state_file_is_written_and_read_back(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "state.json")
            state = adb_tv.PackageState(path, [self.PKG, "com.mitv.ad"])
            self.assertTrue(state.uninstall("com.mitv.ad"))
            again = adb_tv.PackageState(path, ["ignored.when.file.exists"])
            self.assertEqual(again.installed, {self.PKG: True, "com.mitv.ad": False})


# ---------------------------------------------------------------- the protocol, raw

class ProtocolTest(unittest.TestCase):
    def test_new_key_is_accepted_then_recognised_by_signature(self):
        with RunningDouble("--accept", "now", "--product-model", "TV-1") as tv:
            host = RawHost(tv.port)
            command, version, max_data, banner = host.authorize(key("a"))
            host.close()
            self.assertEqual(command, adb_tv.A_CNXN)
            self.assertEqual((version, max_data), (adb_tv.A_VERSION_SKIP_CHECKSUM, adb_tv.MAX_PAYLOAD))
            self.assertRegex(banner.decode(), r"^device::ro.product.name=[^;]+;ro.product.model=TV-1;"
                                              r"ro.product.device=[^;]+;features=")
            self.assertNotIn("shell_v2", banner.decode())
            with open(tv.path("keys"), encoding="utf-8") as f:
                self.assertEqual(adb_tv.decode_android_key(f.read())[0], key("a").n)
            second = RawHost(tv.port)
            self.assertEqual(second.authorize(key("a"))[0], adb_tv.A_CNXN)
            second.close()
            self.assertTrue(wait_for(lambda: len(tv.events("auth")) >= 4))
            outcomes = [(e["connection"], e["outcome"]) for e in tv.events("auth")]
            self.assertEqual(outcomes, [(1, "signature refused"), (1, "public key offered"),
                                        (1, "public key accepted"), (2, "signature accepted")])

    def test_refused_signature_gets_a_new_token(self):
        with RunningDouble() as tv:
            host = RawHost(tv.port)
            _, _, _, first = host.connect()
            host.send(adb_tv.A_AUTH, adb_tv.AUTH_SIGNATURE, 0, key("b").sign(first))
            command, kind, _, second = host.packet()
            host.close()
        self.assertEqual((command, kind, len(second)), (adb_tv.A_AUTH, adb_tv.AUTH_TOKEN, 20))
        self.assertNotEqual(first, second)

    def test_key_decisions(self):
        # (options, seconds before the CNXN or None if it must not come)
        for options, delay in [(["--accept", "never"], None), (["--accept", "after", "0.6"], 0.6),
                               (["--accept", "now"], 0.0)]:
            with self.subTest(options=options), RunningDouble(*options) as tv:
                host = RawHost(tv.port)
                host.connect()
                start = time.monotonic()
                host.send(adb_tv.A_AUTH, adb_tv.AUTH_RSAPUBLICKEY, 0,
                          key("a").public_text().encode() + b"\0")
                if delay is None:
                    host.send(adb_tv.A_OPEN, 1, 0, b"shell:echo no\0")  # not authorized: ignored
                    self.assertTrue(host.silent_for(1.0))
                    self.assertFalse(os.path.exists(tv.path("keys")))
                else:
                    self.assertEqual(host.packet(timeout=delay + 3)[0], adb_tv.A_CNXN)
                    self.assertGreaterEqual(time.monotonic() - start, delay)
                host.close()

    def test_invalid_offered_key_is_logged_and_not_trusted(self):
        raw = bytearray(base64.b64decode(key("a").public_text().split()[0]))
        raw[4] ^= 1  # n0inv
        with RunningDouble() as tv:
            host = RawHost(tv.port)
            host.connect()
            host.send(adb_tv.A_AUTH, adb_tv.AUTH_RSAPUBLICKEY, 0, base64.b64encode(bytes(raw)) + b" x@y\0")
            self.assertTrue(host.silent_for(0.5))
            host.close()
            self.assertEqual([e.get("detail") for e in tv.events("auth")], ["n0inv does not match the modulus"])

    def test_first_answers_to_cnxn(self):
        # (options, command expected, arg0 expected)
        for options, command, arg0 in [(["--tls"], adb_tv.A_STLS, adb_tv.A_STLS_VERSION),
                                       (["--no-auth"], adb_tv.A_CNXN, adb_tv.A_VERSION_SKIP_CHECKSUM),
                                       ([], adb_tv.A_AUTH, adb_tv.AUTH_TOKEN)]:
            with self.subTest(options=options), RunningDouble(*options) as tv:
                host = RawHost(tv.port)
                reply = host.connect()
                host.close()
                self.assertEqual((reply[0], reply[1]), (command, arg0))

    def test_shell_stream_flow_and_state(self):
        with RunningDouble("--packages", "com.mitv.ad,com.mitv.b", "--accept", "now") as tv:
            host = RawHost(tv.port)
            self.assertEqual(host.authorize(key("a"))[0], adb_tv.A_CNXN)
            output, seen = host.shell("pm uninstall --user 0 com.mitv.ad", local=41)
            self.assertEqual(output, "Success\n")
            self.assertEqual([p[0] for p in seen], [adb_tv.A_OKAY, adb_tv.A_WRTE, adb_tv.A_CLSE])
            self.assertEqual(host.shell("pm uninstall --user 0 com.mitv.ad", local=42)[0],
                             "Failure [not installed for 0]\n")
            self.assertEqual(tv.state(), {"com.mitv.ad": False, "com.mitv.b": True})
            host.send(adb_tv.A_OPEN, 43, 0, b"sync:\0")
            self.assertEqual(host.packet()[:3], (adb_tv.A_CLSE, 0, 43))
            host.close()
            self.assertTrue(wait_for(lambda: len(tv.events("shell")) == 2))
            self.assertEqual([e["command"] for e in tv.events("shell")],
                             ["pm uninstall --user 0 com.mitv.ad"] * 2)

    def test_output_is_cut_to_max_data_and_waits_for_okay(self):
        word = "x" * 100
        with RunningDouble("--no-auth") as tv:
            host = RawHost(tv.port)
            host.connect(max_data=256)
            host.send(adb_tv.A_OPEN, 5, 0, ("shell:echo " + " ".join([word] * 6) + "\0").encode())
            remote = host.packet()[1]
            first = host.packet()
            self.assertEqual((first[0], len(first[3])), (adb_tv.A_WRTE, 256))
            self.assertTrue(host.silent_for(0.3))  # nothing more before our OKAY
            host.send(adb_tv.A_OKAY, 5, remote)
            rest = b""
            while True:
                packet = host.packet()
                if packet[0] == adb_tv.A_CLSE:
                    break
                self.assertLessEqual(len(packet[3]), 256)
                rest += packet[3]
                host.send(adb_tv.A_OKAY, 5, remote)
            host.close()
        self.assertEqual((first[3] + rest).decode(), " ".join([word] * 6) + "\n")

    def test_awkward_modes_at_the_command(self):
        def first_after_okay(host):
            host.send(adb_tv.A_OPEN, 9, 0, b"shell:pm uninstall --user 0 a.b\0")
            okay = host.packet()
            self.assertEqual((okay[0], okay[2]), (adb_tv.A_OKAY, 9))
            return okay[1]

        def garbage(host):
            first_after_okay(host)
            fields = host.header()
            self.assertNotEqual(fields[5], fields[0] ^ 0xFFFFFFFF)

        def oversized(host):
            first_after_okay(host)
            self.assertEqual(host.header()[3], 0x7FFFFFFF)

        def bad_magic(host):
            first_after_okay(host)
            command, _, _, _, _, magic = host.header()
            self.assertEqual(command, adb_tv.A_WRTE)
            self.assertNotEqual(magic, command ^ 0xFFFFFFFF)

        def dropped(host):
            first_after_okay(host)
            host.sock.settimeout(3)
            self.assertEqual(host.sock.recv(1), b"")

        def never(host):
            host.send(adb_tv.A_OPEN, 9, 0, b"shell:echo hi\0")
            self.assertTrue(host.silent_for(0.8))

        def out_of_order(host):
            remote = first_after_okay(host)
            stray = host.packet()
            self.assertEqual(stray[0], adb_tv.A_WRTE)
            self.assertNotEqual((stray[1], stray[2]), (remote, 9))
            self.assertEqual(host.packet()[0], adb_tv.A_CNXN)
            self.assertEqual(host.packet()[:4], (adb_tv.A_WRTE, remote, 9, b"Success\n"))

        table = {"--garbage": garbage, "--oversized": oversized, "--bad-magic": bad_magic,
                 "--drop-mid-command": dropped, "--never-reply": never, "--out-of-order": out_of_order}
        for option, check in table.items():
            with self.subTest(option), RunningDouble("--no-auth", "--packages", "a.b", option) as tv:
                host = RawHost(tv.port)
                self.assertEqual(host.connect()[0], adb_tv.A_CNXN)
                check(host)
                host.close()
                self.assertTrue(wait_for(lambda: tv.events("hostile")))
                self.assertEqual(tv.events("hostile")[0]["mode"], option[2:].replace("-", "_"))
                # the command ran, answer or not, except when the TV never replies
                self.assertEqual(tv.state(), {"a.b": option == "--never-reply"})

    def test_bad_checksum_mode_speaks_the_checksummed_version(self):
        with RunningDouble("--no-auth", "--bad-checksum") as tv:
            host = RawHost(tv.port)
            self.assertEqual(host.connect()[:2], (adb_tv.A_CNXN, adb_tv.A_VERSION_MIN))
            host.send(adb_tv.A_OPEN, 9, 0, b"shell:echo hi\0")
            self.assertEqual(host.packet()[0], adb_tv.A_OKAY)
            command, _, _, length, check, _ = host.header()
            data = adb_tv.recv_exact(host.sock, length)
            host.close()
        self.assertEqual(command, adb_tv.A_WRTE)
        self.assertNotEqual(check, adb_tv.checksum(data))

    def test_awkward_modes_at_connect(self):
        for option, expect_eof in [("--never-reply", False), ("--drop-mid-command", True)]:
            with self.subTest(option), RunningDouble("--hostile-at", "connect", option) as tv:
                host = RawHost(tv.port)
                host.send(adb_tv.A_CNXN, adb_tv.A_VERSION_SKIP_CHECKSUM, 4096, b"host::\0")
                if expect_eof:
                    host.sock.settimeout(3)
                    self.assertEqual(host.sock.recv(1), b"")
                else:
                    self.assertTrue(host.silent_for(0.8))
                host.close()
        with RunningDouble("--hostile-at", "connect", "--oversized") as tv:
            host = RawHost(tv.port)
            host.send(adb_tv.A_CNXN, adb_tv.A_VERSION_SKIP_CHECKSUM, 4096, b"host::\0")
            self.assertEqual(host.header()[3], 0x7FFFFFFF)
            host.close()

    def test_cnxn_of_a_newer_host_may_carry_no_sum(self):
        with RunningDouble("--no-auth") as tv:
            host = RawHost(tv.port)
            host.sock.sendall(adb_tv.pack(adb_tv.A_CNXN, adb_tv.A_VERSION_SKIP_CHECKSUM, 4096,
                                          b"host::\0", check=0))
            self.assertEqual(host.packet()[0], adb_tv.A_CNXN)
            host.close()

    def test_slow_delays_every_answer(self):
        with RunningDouble("--no-auth", "--slow", "300") as tv:
            host = RawHost(tv.port)
            start = time.monotonic()
            host.connect()
            self.assertGreaterEqual(time.monotonic() - start, 0.3)
            host.close()

    def test_double_refuses_bad_packets_from_the_host(self):
        bad = {
            "magic": adb_tv.pack(adb_tv.A_CNXN, 0x01000001, 4096, b"host::\0", magic=0),
            "length": adb_tv.HEADER.pack(adb_tv.A_CNXN, 0x01000001, 4096, 0x7FFFFFFF, 0,
                                         adb_tv.A_CNXN ^ 0xFFFFFFFF),
            "checksum": adb_tv.pack(adb_tv.A_CNXN, 0x01000000, 4096, b"host::\0", check=1),
            "checksum after CNXN": adb_tv.pack(adb_tv.A_CNXN, 0x01000000, 4096, b"host::\0")
                                   + adb_tv.pack(adb_tv.A_AUTH, 2, 0, b"x" * 256, check=5),
        }
        for name, data in bad.items():
            with self.subTest(name), RunningDouble() as tv:
                host = RawHost(tv.port)
                host.sock.sendall(data)
                while host.sock.recv(4096):  # a token may come first; then the end (3 s at most)
                    pass
                host.close()
                self.assertTrue(wait_for(lambda: tv.events("protocol-error")))

    def test_serves_connections_at_once(self):
        with RunningDouble("--no-auth") as tv:
            hosts = [RawHost(tv.port) for _ in range(3)]
            for host in hosts:
                self.assertEqual(host.connect()[0], adb_tv.A_CNXN)
            for i, host in enumerate(reversed(hosts)):
                self.assertEqual(host.shell("echo %d" % i)[0], "%d\n" % i)
                host.close()

    def test_addresses_and_lifetime(self):
        refused = subprocess.run([sys.executable, DOUBLE, "--address", "10.0.0.1", "--lifetime", "1"],
                                 capture_output=True, text=True, timeout=30)
        self.assertEqual(refused.returncode, 2)
        self.assertIn("not in 127.0.0.0/8", refused.stderr)
        with RunningDouble("--address", "127.0.0.2", "--lifetime", "1") as tv:
            socket.create_connection(("127.0.0.2", tv.port), timeout=3).close()
            self.assertEqual(tv.process.wait(10), 0)  # stops by itself

    def test_help_names_every_option(self):
        text = subprocess.run([sys.executable, DOUBLE, "--help"], capture_output=True, text=True,
                              timeout=30).stdout
        for option in ["--address", "--port", "--port-file", "--lifetime", "--packages", "--state",
                       "--android", "--keys", "--accept", "--tls", "--slow", "--drop-mid-command",
                       "--garbage", "--oversized", "--out-of-order", "--bad-magic", "--bad-checksum",
                       "--never-reply", "--hostile-at", "--log", "--no-auth"]:
            self.assertIn(option, text)


# ---------------------------------------------------------------- the real adb client

def real_adb_missing():
    for tool in (ADB, shutil.which("unshare"), shutil.which("ip")):
        if not tool or not os.path.exists(tool):
            return "needs /usr/bin/adb, unshare and ip (packages adb, util-linux, iproute2)"
    if os.geteuid() != 0:
        return "needs root for a network namespace"
    return None


def run_inside_namespace(test, prefix):
    """Runs the RealAdbInsideNamespace tests named `prefix`* in a namespace with only loopback."""
    names = sorted(n for n in dir(RealAdbInsideNamespace) if n.startswith(prefix))
    script = "ip link set lo up && exec %s -m unittest -v %s" % (
        sys.executable, " ".join("test_adb_tv.RealAdbInsideNamespace." + n for n in names))
    env = dict(os.environ, **{INSIDE_NAMESPACE: "1"})
    result = subprocess.run(["unshare", "-n", "sh", "-c", script], cwd=HERE, env=env,
                            capture_output=True, text=True, timeout=240)
    report = result.stdout + result.stderr
    test.assertEqual(result.returncode, 0, report)
    test.assertIn("Ran %d test" % len(names), report)
    test.assertNotIn("skipped", report)


@unittest.skipIf(real_adb_missing(), real_adb_missing() or "")
class RealAdbTest(unittest.TestCase):
    def test_real_adb_in_a_loopback_only_namespace(self):
        run_inside_namespace(self, "test_adb_")

    @unittest.skipUnless(os.environ.get(SHIM), "%s names no built adb-linux.exe" % SHIM)
    def test_windows_shim_under_wine(self):
        run_inside_namespace(self, "test_shim_")


# A test case only inside its namespace, so that plain runs neither run nor list it as skipped.
InsideOnly = unittest.TestCase if os.environ.get(INSIDE_NAMESPACE) else object


class RealAdbInsideNamespace(InsideOnly):
    PKG = "com.xiaomi.mitv.upgrade"

    @classmethod
    def setUpClass(cls):
        cls.home = tempfile.mkdtemp(prefix="adb-home-")
        cls.env = dict(os.environ, HOME=cls.home, ANDROID_USER_HOME=os.path.join(cls.home, ".android"),
                       ANDROID_SDK_HOME=cls.home, ANDROID_ADB_SERVER_PORT="15037", USER="tester")
        cls.env.pop("ADB_VENDOR_KEYS", None)

    @classmethod
    def tearDownClass(cls):
        cls.adb("kill-server")
        shutil.rmtree(cls.home, ignore_errors=True)

    @classmethod
    def adb(cls, *args, timeout=30):
        result = subprocess.run([ADB, *args], env=cls.env, capture_output=True, text=True,
                                timeout=timeout, stdin=subprocess.DEVNULL)
        return result.returncode, result.stdout, result.stderr

    def serial(self, tv):
        return "127.0.0.1:%d" % tv.port

    def test_adb_0_nothing_but_loopback_is_reachable(self):
        links = subprocess.run(["ip", "-o", "link"], capture_output=True, text=True, timeout=10).stdout
        self.assertEqual([line.split(":")[1].strip() for line in links.splitlines()], ["lo"])
        with self.assertRaises(OSError):
            socket.create_connection(("10.0.0.1", 80), timeout=2)

    def test_adb_1_uninstall_restore_and_known_key(self):
        folder = tempfile.mkdtemp(prefix="adb-tv-")
        with RunningDouble("--packages", self.PKG, "--accept", "now", folder=folder) as tv:
            serial = self.serial(tv)
            # adb 29 reports the new key as a failure at once, then the TV's CNXN makes it a device.
            code, out, _ = self.adb("connect", serial)
            self.assertIn(serial, out)
            self.assertTrue(wait_for(lambda: self.adb("-s", serial, "get-state")[1] == "device\n"))
            uninstall = ("-s", serial, "shell", "pm", "uninstall", "--user", "0", self.PKG)
            self.assertEqual(self.adb(*uninstall)[1], "Success\n")
            self.assertEqual(self.adb(*uninstall)[1], "Failure [not installed for 0]\n")
            self.assertEqual(tv.state(), {self.PKG: False})
            restore = ("-s", serial, "shell", "cmd", "package", "install-existing", "--user", "0", self.PKG)
            self.assertEqual(self.adb(*restore)[1], "Package %s installed for user: 0\n" % self.PKG)
            self.assertEqual(tv.state(), {self.PKG: True})
            self.assertEqual(self.adb("-s", serial, "shell", "getprop", "ro.build.version.sdk")[1], "30\n")
            self.assertEqual([e["command"] for e in tv.events("shell")],
                             [" ".join(uninstall[3:])] * 2 + [" ".join(restore[3:]),
                                                              "getprop ro.build.version.sdk"])
            with open(tv.path("keys"), encoding="utf-8") as f:
                trusted = f.read()
            with open(os.path.join(self.home, ".android", "adbkey.pub"), encoding="utf-8") as f:
                self.assertEqual(adb_tv.decode_android_key(trusted)[0], adb_tv.decode_android_key(f.read())[0])
            self.adb("disconnect", serial)

        # The same keys file on a new TV: the signature suffices, no key is offered.
        with RunningDouble("--packages", self.PKG, "--accept", "never", folder=folder) as tv:
            serial = self.serial(tv)
            self.assertEqual(self.adb("connect", serial)[1], "connected to %s\n" % serial)
            self.assertEqual(self.adb("-s", serial, "get-state")[1], "device\n")
            self.assertEqual([e["outcome"] for e in tv.events("auth")], ["signature accepted"])
            self.adb("disconnect", serial)
        shutil.rmtree(folder, ignore_errors=True)

    def test_adb_2_unauthorized_when_the_key_is_never_accepted(self):
        with RunningDouble("--accept", "never") as tv:
            serial = self.serial(tv)
            self.assertEqual(self.adb("connect", serial)[1], "failed to authenticate to %s\n" % serial)
            code, out, err = self.adb("-s", serial, "get-state")
            self.assertEqual((code, out), (1, ""))
            self.assertTrue(err.startswith("error: device unauthorized."), err)
            self.assertIn("%s\tunauthorized" % serial, self.adb("devices")[1])
            code, out, err = self.adb("-s", serial, "shell", "echo", "hi")
            self.assertTrue(err.startswith("error: device unauthorized."), err)
            self.assertEqual(tv.events("shell"), [])
            self.adb("disconnect", serial)

    def test_adb_3_tls_request_is_not_understood_by_this_adb(self):
        # adb 29 predates STLS: it ignores it and gives up after its 10 s handshake wait.
        with RunningDouble("--tls") as tv:
            serial = self.serial(tv)
            self.assertEqual(self.adb("connect", serial)[1], "failed to connect to %s\n" % serial)
            self.assertIn("%s\toffline" % serial, self.adb("devices")[1])
            self.adb("disconnect", serial)

    def test_adb_4_awkward_answers_to_a_shell_command(self):
        # What adb 29 makes of them: the command "succeeds" with no output; the state tells.
        table = [("--drop-mid-command", "offline"), ("--garbage", "offline"),
                 ("--oversized", "offline"), ("--out-of-order", "device"), ("--slow", "device")]
        for option, state in table:
            extra = ["300"] if option == "--slow" else []
            with self.subTest(option), RunningDouble("--no-auth", "--packages", "a.b", option, *extra) as tv:
                serial = self.serial(tv)
                self.assertEqual(self.adb("connect", serial)[1], "connected to %s\n" % serial)
                code, out, _ = self.adb("-s", serial, "shell", "pm", "uninstall", "--user", "0", "a.b")
                self.assertEqual((code, out), (0, "Success\n" if option == "--slow" else ""))
                self.assertTrue(wait_for(lambda: "%s\t%s" % (serial, state) in self.adb("devices")[1]))
                self.assertEqual(tv.state(), {"a.b": False})  # the TV did uninstall it
                self.adb("disconnect", serial)

    def shim(self, *args, linux_program=None):
        env = dict(self.env, OZ_LINUX_ADB=linux_program) if linux_program else self.env
        result = subprocess.run(["bash", WINE_RUN, os.environ[SHIM], *args], env=env,
                                capture_output=True, text=True, timeout=120, stdin=subprocess.DEVNULL)
        return result.returncode, result.stdout, result.stderr

    def test_shim_passes_arguments_output_and_exit_code(self):
        words = ["a b", 'q"uote', "back\\", "tail\\\\", "", "ü 中"]
        self.assertEqual(self.shim("[%s]\\n", *words, linux_program="/usr/bin/printf"),
                         (0, "".join("[%s]\n" % w for w in words), ""))
        self.assertEqual(self.shim("-c", "echo out; echo err >&2; echo $ANDROID_ADB_SERVER_PORT; exit 7",
                                   linux_program="/bin/sh"),
                         (7, "out\n15037\n", "err\n"))

    def test_shim_runs_the_real_adb_under_wine(self):
        with RunningDouble("--packages", self.PKG, "--accept", "now") as tv:
            serial = self.serial(tv)
            code, out, _ = self.shim("connect", serial)
            self.assertEqual(code, 0)
            self.assertIn(serial, out)
            self.assertTrue(wait_for(lambda: self.shim("-s", serial, "get-state")[1] == "device\n", 30))
            uninstall = ("-s", serial, "shell", "pm", "uninstall", "--user", "0", self.PKG)
            self.assertEqual(self.shim(*uninstall), (0, "Success\n", ""))
            self.assertEqual(self.shim(*uninstall)[1], "Failure [not installed for 0]\n")
            # stderr and the exit code come back apart from stdout
            self.assertEqual(self.shim("-s", "127.0.0.1:1", "get-state"),
                             (1, "", "error: device '127.0.0.1:1' not found\n"))
            self.assertEqual(tv.state(), {self.PKG: False})
            self.shim("disconnect", serial)


if __name__ == "__main__":
    unittest.main()
