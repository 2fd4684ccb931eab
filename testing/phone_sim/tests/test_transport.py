#!/usr/bin/python3
"""The adb transport spoken directly (no adb server): the handshake for both
protocol versions, checksums, streams and refused services."""

import socket
import struct
import unittest

from harness import PhoneSim
from phonesim.adb_transport import (A_CLSE, A_CNXN, A_OKAY, A_OPEN, A_VERSION_MIN,
                                    A_VERSION_SKIP_CHECKSUM, A_WRTE, HEADER, checksum,
                                    encode_message)


class RawHost:
    """A minimal adb host over one TCP connection."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)

    def close(self):
        self.sock.close()

    def send(self, command, arg0, arg1, payload=b"", check=None):
        raw = bytearray(encode_message(command, arg0, arg1, payload))
        if check is not None:
            raw[16:20] = struct.pack("<I", check)
        self.sock.sendall(bytes(raw))

    def receive(self):
        head = b""
        while len(head) < HEADER.size:
            chunk = self.sock.recv(HEADER.size - len(head))
            if not chunk:
                return None
            head += chunk
        command, arg0, arg1, length, check, magic = HEADER.unpack(head)
        payload = b""
        while len(payload) < length:
            payload += self.sock.recv(length - len(payload))
        return command, arg0, arg1, payload, check

    def shell(self, command, local_id=7):
        self.send(A_OPEN, local_id, 0, ("shell:%s\0" % command).encode())
        okay = self.receive()
        assert okay[0] == A_OKAY and okay[2] == local_id, okay
        out = b""
        self.packets = []
        while True:
            msg = self.receive()
            if msg[0] == A_WRTE:
                out += msg[3]
                self.packets.append(len(msg[3]))
                self.send(A_OKAY, local_id, msg[1])
            elif msg[0] == A_CLSE:
                return out, msg


class TransportTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = PhoneSim("--no-adb")

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def host(self):
        host = RawHost(self.sim.device_port)
        self.addCleanup(host.close)
        return host

    def test_handshake_for_both_versions(self):
        for version in (A_VERSION_MIN, A_VERSION_SKIP_CHECKSUM):
            with self.subTest(version=hex(version)):
                host = self.host()
                host.send(A_CNXN, version, 1024 * 1024, b"host::\0")
                command, arg0, arg1, banner, check = host.receive()
                self.assertEqual((command, arg0, arg1), (A_CNXN, version, 256 * 1024))
                self.assertTrue(banner.startswith(b"device::ro.product.name=zsim;"))
                self.assertEqual(check, checksum(banner))
                out, _ = host.shell("getprop ro.product.brand")
                self.assertEqual(out, b"Zelvik\r\n")

    def test_old_version_checks_checksums(self):
        host = self.host()
        host.send(A_CNXN, A_VERSION_MIN, 4096, b"host::\0")
        host.receive()
        host.send(A_OPEN, 3, 0, b"shell:echo hi\0", check=12345)
        self.assertIsNone(host.receive())   # the phone drops a host that sends bad data

    def test_refused_services_close_at_once(self):
        host = self.host()
        host.send(A_CNXN, A_VERSION_SKIP_CHECKSUM, 4096, b"host::\0")
        host.receive()
        for service in (b"tcp:21222\0", b"reboot:\0", b"tcp:21220:10.0.0.1\0"):
            with self.subTest(service=service):
                host.send(A_OPEN, 9, 0, service)
                command, arg0, arg1, _, _ = host.receive()
                self.assertEqual((command, arg0, arg1), (A_CLSE, 0, 9))

    def test_output_is_cut_to_the_host_payload_limit(self):
        host = self.host()
        host.send(A_CNXN, A_VERSION_SKIP_CHECKSUM, 256, b"host::\0")
        self.assertEqual(host.receive()[2], 256)
        out, _ = host.shell("getprop")
        self.assertIn(b"[ro.product.model]: [Z1 Sim]\r\n", out)
        self.assertGreater(len(host.packets), 2)
        self.assertTrue(all(n <= 256 for n in host.packets))

if __name__ == "__main__":
    unittest.main()
