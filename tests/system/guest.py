"""The Debian 12 guest of the system test, seen from the host: qemu with no network (or a link to
one port of the host only), the guest's console in a log file, and a root shell in the guest
reached through the virtio serial port "timoradesk.test" (see guest-setup for the other end).

Run as a program, to try things by hand:
    python3 guest.py serve IMAGE-FOLDER RUN-FOLDER    boots the guest (until it ends)
    python3 guest.py RUN-FOLDER/relay.sock 'command'  runs a command in it as root (prints its
                                                      output, exits with its status)
"""

import base64
import os
import shutil
import socket
import subprocess
import sys
import time

X = "DISPLAY=:0 XAUTHORITY=/var/run/lightdm/root/:0 "
# The room's server as the guest reaches it over its host-only link.
SERVER_ADDRESS = "10.0.2.100"


class GuestGone(Exception):
    """qemu ended while the test still spoke to the guest."""


class Channel:
    """One connection to the guest's test shell."""

    def __init__(self, path):
        self.path = path
        self.sock = None
        self.buffer = b""
        self.serial = 0
        import threading
        self.lock = threading.Lock()

    def connect(self, alive, timeout=60):
        deadline = time.monotonic() + timeout
        while True:
            try:
                self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.sock.connect(self.path)
                return
            except OSError:
                self.sock.close()
                self.sock = None
                if not alive() or time.monotonic() > deadline:
                    raise GuestGone("no test channel at " + self.path)
                time.sleep(0.5)

    def run(self, command, timeout=120, alive=lambda: True):
        """Runs COMMAND with bash as root in the guest; returns (exit status, output bytes)."""
        with self.lock:
            return self._run(command, timeout, alive)

    def _run(self, command, timeout, alive):
        self.serial += 1
        ident = "c%d" % self.serial
        line = "%s %s\n" % (ident, base64.b64encode(command.encode()).decode())
        self.sock.sendall(line.encode())
        deadline = time.monotonic() + timeout
        while True:
            while b"\n" in self.buffer:
                answer, self.buffer = self.buffer.split(b"\n", 1)
                fields = answer.split(b" ", 2)
                # Answers to earlier commands that timed out are passed over.
                if len(fields) >= 2 and fields[0].decode(errors="replace") == ident:
                    output = base64.b64decode(fields[2]) if len(fields) == 3 else b""
                    return int(fields[1]), output
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no answer from the guest within %ds to: %s" % (timeout, command))
            self.sock.settimeout(min(left, 2))
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                if not alive():
                    raise GuestGone("the guest ended during: " + command)
                continue
            if not data:
                raise GuestGone("the test channel closed during: " + command)
            self.buffer += data


class Guest:
    """The guest machine: boots the disk image (one overlay kept across the boots of a run)."""

    def __init__(self, image, run_dir, log):
        self.image = image
        self.run_dir = run_dir
        self.log = log
        self.disk = os.path.join(run_dir, "disk.qcow2")
        self.boots = 0
        self.boxes = 0
        self.proc = None
        self.channel = None
        self.console = None
        self.booted_at = 0.0
        subprocess.run(["qemu-img", "create", "-q", "-f", "qcow2", "-F", "raw", "-b",
                        os.path.join(image, "disk.raw"), self.disk], check=True)

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    def boot(self, server_port=None):
        """Boots the guest. With SERVER_PORT, the guest has one network link, to the host only:
        10.0.2.100:5432 in the guest is 127.0.0.1:SERVER_PORT on the host (through socat), and
        nothing else is reached (qemu's user network, restricted)."""
        self.boots += 1
        self.console = os.path.join(self.run_dir, "console-%d.log" % self.boots)
        sock = os.path.join(self.run_dir, "channel.sock")
        if os.path.exists(sock):
            os.unlink(sock)
        accel = ["-accel", "kvm", "-cpu", "host"] if os.environ.get("TIMORA_SYSTEM_KVM") == "1" \
            else ["-accel", "tcg,thread=multi"]
        # No graphics card: Xorg's dummy driver needs none, and Xorg crashed now and then probing
        # the card's DRM device while udev was still bringing it up.
        # qemu starts the command for each connection the guest makes (a chardev of its own
        # would carry the first connection only).
        nic = "none" if server_port is None else (
            "user,model=virtio-net-pci,restrict=on,guestfwd=tcp:%s:5432-cmd:socat - TCP:127.0.0.1:%d"
            % (SERVER_ADDRESS, server_port))
        command = ["qemu-system-x86_64", *accel, "-smp", str(min(os.cpu_count() or 1, 2)),
                   "-m", "2048", "-nic", nic, "-vga", "none", "-no-reboot", "-display", "none",
                   "-monitor", "none", "-serial", "file:" + self.console,
                   "-kernel", os.path.join(self.image, "vmlinuz"),
                   "-initrd", os.path.join(self.image, "initrd.img"),
                   "-append", "root=/dev/vda rw console=ttyS0 systemd.show_status=1 quiet",
                   "-drive", "file=%s,if=virtio,format=qcow2,cache=unsafe" % self.disk,
                   "-device", "virtio-serial-pci",
                   "-chardev", "socket,id=test,path=%s,server=on,wait=off" % sock,
                   "-device", "virtserialport,chardev=test,name=timoradesk.test"]
        self.booted_at = time.monotonic()
        self.proc = subprocess.Popen(command, stdin=subprocess.DEVNULL,
                                     stdout=open(os.path.join(self.run_dir, "qemu.log"), "ab"),
                                     stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 30
        while not os.path.exists(sock):
            if not self.alive() or time.monotonic() > deadline:
                raise GuestGone("qemu did not start (see %s/qemu.log)" % self.run_dir)
            time.sleep(0.2)
        self.channel = Channel(sock)
        self.channel.connect(self.alive)
        self._relay()

    def _relay(self):
        """Serves RUN_DIR/relay.sock while the guest runs, so that a person can look into the guest
        during a run (python3 guest.py RUN_DIR/relay.sock 'command'); the guest's port takes one
        connection only, which the test holds."""
        import threading
        relay = os.path.join(self.run_dir, "relay.sock")
        if os.path.exists(relay):
            os.unlink(relay)
        server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        server.bind(relay)
        server.listen(4)
        server.settimeout(1)
        channel = self.channel

        def answer(conn):
            with conn, conn.makefile("rb") as f:
                command = base64.b64decode(f.readline()).decode()
                try:
                    status, output = channel.run(command, timeout=300, alive=self.alive)
                except (TimeoutError, GuestGone, OSError) as error:
                    status, output = 255, str(error).encode()
                conn.sendall(b"%d %s\n" % (status, base64.b64encode(output)))

        def serve():
            while self.alive() and channel is self.channel:
                try:
                    conn, _ = server.accept()
                except socket.timeout:
                    continue
                threading.Thread(target=answer, args=(conn,), daemon=True).start()
            server.close()

        threading.Thread(target=serve, daemon=True).start()

    def wait_channel(self, timeout):
        """Waits until the guest's test shell answers; returns the seconds since the boot began."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                status, _ = self.channel.run("true", timeout=5, alive=self.alive)
                if status == 0:
                    return time.monotonic() - self.booted_at
            except TimeoutError:
                pass
            if time.monotonic() > deadline:
                raise TimeoutError("the guest's test channel did not answer within %ds" % timeout)

    def sh(self, command, timeout=120):
        """(status, output text) of COMMAND run as root in the guest."""
        status, output = self.channel.run(command, timeout=timeout, alive=self.alive)
        text = output.decode(errors="replace")
        self.log.write("$ %s\n[%d] %s\n" % (command, status, text))
        self.log.flush()
        return status, text

    def until(self, command, timeout, every=2.0):
        """Runs COMMAND until it succeeds; returns its output, or None after TIMEOUT seconds."""
        deadline = time.monotonic() + timeout
        while True:
            status, text = self.sh(command)
            if status == 0:
                return text
            if time.monotonic() > deadline:
                return None
            time.sleep(every)

    def screenshot(self, name):
        """Saves the guest's screen as NAME.png in the run's folder; returns its path or None."""
        status, output = self.channel.run(X + "xwd -root -silent 2>/dev/null", timeout=120, alive=self.alive)
        if status != 0 or not output:
            return None
        raw = os.path.join(self.run_dir, name + ".xwd")
        with open(raw, "wb") as f:
            f.write(output)
        png = os.path.join(self.run_dir, name + ".png")
        if shutil.which("convert") and subprocess.run(
                ["convert", "xwd:" + raw, png], stderr=subprocess.DEVNULL).returncode == 0:
            os.unlink(raw)
            return png
        return raw

    def wait_end(self, timeout):
        """Waits for qemu to end; returns the kernel's last word on the console: "restart",
        "power off", or None when qemu still runs after TIMEOUT seconds."""
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        with open(self.console, errors="replace") as f:
            console = f.read()
        if "reboot: Restarting system" in console:
            return "restart"
        if "reboot: Power down" in console:
            return "power off"
        return "ended"

    def stop(self):
        if self.alive():
            self.proc.kill()
            self.proc.wait()


def serve(image, run_dir):
    """Boots the guest and keeps it until it ends; commands go through RUN_DIR/relay.sock."""
    os.makedirs(run_dir, exist_ok=True)
    guest = Guest(image, run_dir, open(os.path.join(run_dir, "commands.log"), "w"))
    guest.boot()
    print("guest booting; commands: python3 %s %s/relay.sock 'command'" % (__file__, run_dir),
          flush=True)
    print("the guest ended:", guest.wait_end(None), flush=True)


if __name__ == "__main__":
    if sys.argv[1] == "serve":
        serve(sys.argv[2], sys.argv[3])
        sys.exit(0)
    conn = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    conn.connect(sys.argv[1])
    conn.sendall(base64.b64encode(sys.argv[2].encode()) + b"\n")
    status, output = conn.makefile("rb").readline().split(b" ", 1)
    sys.stdout.buffer.write(base64.b64decode(output))
    sys.exit(int(status))
