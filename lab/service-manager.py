#!/usr/bin/python3
"""A lab PC's service manager: the RemoteRegistry service as Windows plays it, behind a real smbd.

smbd forwards \\pipe\\svcctl to the unix socket NP_DIR/svcctl, which this serves. The service's
own pipe, NP_DIR/winreg, is a link to a real winreg server only while the service runs; while it
is stopped with a trigger start, this listens there itself, closes each connection unread (which
smbd, with lab/pipe-not-available.c preloaded, reports as STATUS_PIPE_NOT_AVAILABLE) and starts
the service. Every change of the service is written to the state file, which tests read.
"""
import argparse
import json
import os
import select
import signal
import socket
import struct
import threading
import traceback
import uuid

from samba import ndr
from samba.dcerpc import misc, svcctl

STOPPED, START_PENDING, STOP_PENDING, RUNNING = 1, 2, 3, 4
STATE_NAMES = {STOPPED: "stopped", START_PENDING: "start_pending", STOP_PENDING: "stop_pending",
               RUNNING: "running"}
START_TYPES = {"auto": 2, "manual": 3, "disabled": 4}
START_TYPE_NAMES = {v: k for k, v in START_TYPES.items()}
SERVICE = "remoteregistry"

# Windows codes.
ACCESS_DENIED, INVALID_HANDLE, INSUFFICIENT_BUFFER = 5, 6, 122
ALREADY_RUNNING, DISABLED, NO_SUCH_SERVICE, CANNOT_ACCEPT_CTRL, NOT_ACTIVE = 1056, 1058, 1060, 1061, 1062

# Access rights that need an administrator: SERVICE_CHANGE_CONFIG, SERVICE_START, SERVICE_STOP,
# WRITE_DAC, WRITE_OWNER, GENERIC_ALL, GENERIC_WRITE, MAXIMUM_ALLOWED.
CONTROL_RIGHTS = 0x0002 | 0x0010 | 0x0020 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000
ADMINISTRATORS_SID = bytes.fromhex("01020000000000052000000020020000")  # S-1-5-32-544

NPAM_REPLY = bytes.fromhex("000000204e50414d07000000070000000200ff05000000000010000000000000"
                           "00000000")
NDR32 = uuid.UUID("8a885d04-1ceb-11c9-9fe8-08002b104860").bytes_le + struct.pack("<I", 2)
SVCCTL = uuid.UUID("367abb81-9844-35f1-ad32-98f038001003").bytes_le + struct.pack("<I", 2)


class Service:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.listener = None
        self.generation = 0
        self.reset()

    def reset(self, *_):
        """The service as it started, for the next test (SIGHUP)."""
        with self.lock:
            self.generation += 1  # a pending start or stop of before is dropped
            self.state = RUNNING if self.args.state == "running" else STOPPED
            self.start_type = START_TYPES[self.args.start_type]
            self.starts = self.stops = self.trigger_starts = 0
            self.settle()

    def write_state(self):
        text = json.dumps({"state": STATE_NAMES[self.state],
                           "start_type": START_TYPE_NAMES[self.start_type],
                           "starts": self.starts, "stops": self.stops,
                           "trigger_starts": self.trigger_starts})
        temporary = self.args.state_file + ".new"
        with open(temporary, "w") as out:
            out.write(text + "\n")
        os.replace(temporary, self.args.state_file)

    def settle(self):
        """Puts np/winreg in the shape the state asks for, then records the state."""
        winreg = os.path.join(self.args.np_dir, "winreg")
        triggered = self.state in (STOPPED, START_PENDING) and self.args.trigger \
            and self.start_type != START_TYPES["disabled"]
        if self.state == RUNNING:
            self.close_listener()
            if not os.path.islink(winreg):
                self.remove(winreg)
                os.symlink(self.args.winreg_socket, winreg)
        elif triggered:
            if self.listener is None:
                self.remove(winreg)
                self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.listener.bind(winreg)
                self.listener.listen(16)
                threading.Thread(target=self.refuse_and_trigger, args=(self.listener,),
                                 daemon=True).start()
        else:
            self.close_listener()
            self.remove(winreg)
        self.write_state()

    @staticmethod
    def remove(path):
        try:
            os.unlink(path)
        except FileNotFoundError:
            pass

    def close_listener(self):
        if self.listener is not None:
            self.listener.close()
            self.listener = None

    def refuse_and_trigger(self, listener):
        while True:
            try:
                connection, _ = listener.accept()
            except OSError:
                return
            # Waiting for smbd's request first makes the close one with unread data, which smbd
            # sees as a reset connection.
            select.select([connection], [], [], 2)
            connection.close()
            with self.lock:
                if self.state == STOPPED and self.start_type != START_TYPES["disabled"]:
                    self.trigger_starts += 1
                    self.begin_start()

    def begin_start(self):
        self.starts += 1
        self.state = START_PENDING
        self.settle()
        threading.Timer(self.args.start_ms / 1000, self.finish_start,
                        args=(self.generation,)).start()

    def finish_start(self, generation):
        with self.lock:
            if self.state == START_PENDING and generation == self.generation:
                self.state = STOPPED if self.args.start_fails else RUNNING
                self.settle()

    def finish_stop(self, generation):
        with self.lock:
            if self.state == STOP_PENDING and generation == self.generation:
                self.state = STOPPED
                self.settle()

    def start(self):
        with self.lock:
            if self.start_type == START_TYPES["disabled"]:
                return DISABLED
            if self.state != STOPPED:
                return ALREADY_RUNNING
            self.begin_start()
            return 0

    def stop(self):
        with self.lock:
            if self.state == STOPPED:
                return NOT_ACTIVE
            if self.state != RUNNING:
                return CANNOT_ACCEPT_CTRL
            self.stops += 1
            self.state = STOP_PENDING
            self.settle()
            threading.Timer(self.args.stop_ms / 1000, self.finish_stop,
                            args=(self.generation,)).start()
            return 0

    def status(self):
        status = svcctl.SERVICE_STATUS()
        with self.lock:
            status.type = 0x20  # SERVICE_WIN32_SHARE_PROCESS
            status.state = self.state
            status.controls_accepted = 1 if self.state == RUNNING else 0  # SERVICE_ACCEPT_STOP
            pending = self.state in (START_PENDING, STOP_PENDING)
            status.wait_hint = (self.args.start_ms if self.state == START_PENDING
                                else self.args.stop_ms) if pending else 0
            status.check_point = 1 if pending else 0
        return status


class Connection:
    """One client of \\pipe\\svcctl: its handles and whether it is an administrator."""

    def __init__(self, service, sock):
        self.service, self.sock, self.handles = service, sock, {}

    def read_exactly(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise EOFError
            data += chunk
        return data

    def serve(self):
        try:
            length = struct.unpack(">I", self.read_exactly(4))[0]
            token = self.read_exactly(length)
            self.admin = ADMINISTRATORS_SID in token
            self.sock.sendall(NPAM_REPLY)
            while True:
                pdu = self.read_exactly(struct.unpack("<H", self.read_exactly(2))[0])
                reply = self.answer(pdu)
                self.sock.sendall(struct.pack("<H", len(reply)) + reply)
        except (EOFError, OSError):
            pass
        finally:
            self.sock.close()

    @staticmethod
    def pdu(ptype, call_id, body):
        return struct.pack("<BBBB4sHHI", 5, 0, ptype, 3, b"\x10\0\0\0", 16 + len(body), 0,
                           call_id) + body

    def answer(self, pdu):
        ptype, call_id = pdu[2], struct.unpack_from("<I", pdu, 12)[0]
        if ptype in (11, 14):  # bind, alter context
            return self.pdu(ptype + 1, call_id, self.bind_ack(pdu, ptype == 11))
        if ptype == 0:
            context, opnum = struct.unpack_from("<HH", pdu, 20)
            stub = pdu[24 + (16 if pdu[3] & 0x80 else 0):]
            try:
                out = self.call(opnum, stub)
            except Exception:  # a call this peer does not serve, or one it cannot decode
                traceback.print_exc()
                out = None
            if out is None:  # nca_s_op_rng_error
                return self.pdu(3, call_id, struct.pack("<IHBBII", 32, context, 0, 0,
                                                        0x1C010002, 0))
            return self.pdu(2, call_id, struct.pack("<IHBB", len(out), context, 0, 0) + out)
        return self.pdu(3, call_id, struct.pack("<IHBBII", 32, 0, 0, 0, 0x1C010003, 0))

    @staticmethod
    def bind_ack(pdu, with_address):
        count = pdu[24]
        results, offset = b"", 28
        for _ in range(count):
            syntaxes = pdu[offset + 2]
            abstract = pdu[offset + 4:offset + 24]
            transfers = [pdu[offset + 24 + 20 * i:offset + 44 + 20 * i] for i in range(syntaxes)]
            offset += 24 + 20 * syntaxes
            if abstract == SVCCTL and NDR32 in transfers:
                results += struct.pack("<HH", 0, 0) + NDR32
            else:  # provider rejection: proposed transfer syntaxes not supported
                results += struct.pack("<HH", 2, 2) + b"\0" * 20
        address = b"\\PIPE\\svcctl\0" if with_address else b""
        body = struct.pack("<HHIH", 4280, 4280, 0x12345, len(address)) + address
        body += b"\0" * (-(len(body) + 16) % 4)
        return body + struct.pack("<B3x", count) + results

    def call(self, opnum, stub):
        handlers = {0: self.close, 1: self.control, 6: self.query_status, 11: self.change_config,
                    15: self.open_manager, 16: self.open_service, 17: self.query_config,
                    19: self.start, 40: self.query_status_ex}
        if opnum not in handlers:
            return None
        function = {0: svcctl.CloseServiceHandle, 1: svcctl.ControlService,
                    6: svcctl.QueryServiceStatus, 11: svcctl.ChangeServiceConfigW,
                    15: svcctl.OpenSCManagerW, 16: svcctl.OpenServiceW,
                    17: svcctl.QueryServiceConfigW, 19: svcctl.StartServiceW,
                    40: svcctl.QueryServiceStatusEx}[opnum]
        request = function()
        ndr.ndr_unpack_in(request, stub)
        handlers[opnum](request)
        return ndr.ndr_pack_out(request)

    def new_handle(self, kind, access):
        handle = misc.policy_handle()
        handle.handle_type = 0
        handle.uuid = misc.GUID(str(uuid.uuid4()))
        self.handles[str(handle.uuid)] = (kind, access)
        return handle

    def held(self, request, kind):
        return self.handles.get(str(request.in_handle.uuid), (None, 0))[0] == kind

    def allowed(self, access):
        if not access & CONTROL_RIGHTS:
            return True
        return self.admin and not self.service.args.refuse_control

    def open_manager(self, r):
        r.out_handle = self.new_handle("manager", r.in_access_mask) if self.allowed(
            r.in_access_mask) else misc.policy_handle()
        r.result = 0 if self.allowed(r.in_access_mask) else ACCESS_DENIED

    def open_service(self, r):
        r.out_handle = misc.policy_handle()
        if self.handles.get(str(r.in_scmanager_handle.uuid), (None,))[0] != "manager":
            r.result = INVALID_HANDLE
        elif r.in_ServiceName.lower() != SERVICE:
            r.result = NO_SUCH_SERVICE
        elif not self.allowed(r.in_access_mask):
            r.result = ACCESS_DENIED
        else:
            r.out_handle, r.result = self.new_handle("service", r.in_access_mask), 0

    def close(self, r):
        known = self.handles.pop(str(r.in_handle.uuid), None) is not None
        r.result = 0 if known else INVALID_HANDLE
        r.out_handle = misc.policy_handle()

    def query_status(self, r):
        r.out_service_status = self.service.status()
        r.result = 0 if self.held(r, "service") else INVALID_HANDLE

    def query_status_ex(self, r):
        status = self.service.status()
        blob = struct.pack("<9I", status.type, status.state, status.controls_accepted, 0, 0,
                           status.check_point, status.wait_hint,
                           os.getpid() if status.state != STOPPED else 0, 0)
        r.out_needed = len(blob)
        if not self.held(r, "service"):
            r.out_buffer, r.result = [0] * r.in_offered, INVALID_HANDLE
        elif r.in_offered < len(blob):
            r.out_buffer, r.result = [0] * r.in_offered, INSUFFICIENT_BUFFER
        else:
            r.out_buffer, r.result = list(blob) + [0] * (r.in_offered - len(blob)), 0

    def query_config(self, r):
        config = svcctl.QUERY_SERVICE_CONFIG()
        config.service_type, config.start_type, config.error_control = 0x20, \
            self.service.start_type, 1
        config.executablepath = "C:\\Windows\\system32\\svchost.exe -k localService -p"
        config.loadordergroup, config.dependencies = "", "RPCSS"
        config.startname, config.displayname = "NT AUTHORITY\\LocalService", "Remote Registry"
        config.tag_id = 0
        needed = 36 + 2 * sum(len(text) + 1 for text in (
            config.executablepath, config.loadordergroup, config.dependencies, config.startname,
            config.displayname))
        r.out_needed = needed
        r.out_query = config
        if not self.held(r, "service"):
            r.result = INVALID_HANDLE
        elif r.in_offered < needed:
            r.result = INSUFFICIENT_BUFFER
        else:
            r.result = 0

    def change_config(self, r):
        if not self.held(r, "service"):
            r.result = INVALID_HANDLE
            return
        if r.in_start_type != 0xFFFFFFFF:  # SERVICE_NO_CHANGE
            with self.service.lock:
                self.service.start_type = r.in_start_type
                self.service.settle()
        r.result = 0

    def start(self, r):
        r.result = self.service.start() if self.held(r, "service") else INVALID_HANDLE

    def control(self, r):
        if not self.held(r, "service"):
            r.result = INVALID_HANDLE
        elif r.in_control == 1:  # SERVICE_CONTROL_STOP
            r.result = self.service.stop()
        else:
            r.result = 0
        r.out_service_status = self.service.status()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--np-dir", required=True, help="smbd's np directory")
    parser.add_argument("--winreg-socket", required=True, help="the real winreg server's socket")
    parser.add_argument("--state-file", required=True)
    parser.add_argument("--start-type", choices=START_TYPES, default="manual")
    parser.add_argument("--state", choices=("stopped", "running"), default="stopped")
    parser.add_argument("--trigger", action="store_true", help="a first open of winreg starts it")
    parser.add_argument("--start-ms", type=int, default=500)
    parser.add_argument("--stop-ms", type=int, default=300)
    parser.add_argument("--start-fails", action="store_true", help="a start ends STOPPED")
    parser.add_argument("--refuse-control", action="store_true",
                        help="the service's control rights are refused even to an administrator")
    parser.add_argument("--pid-file", required=True)
    args = parser.parse_args()
    service = Service(args)
    signal.signal(signal.SIGHUP, service.reset)
    with open(args.pid_file, "w") as out:
        out.write(f"{os.getpid()}\n")
    path = os.path.join(args.np_dir, "svcctl")
    Service.remove(path)
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listener.bind(path)
    listener.listen(16)
    while True:
        sock, _ = listener.accept()
        threading.Thread(target=Connection(service, sock).serve, daemon=True).start()


if __name__ == "__main__":
    main()
