#!/usr/bin/env python3
"""Two real Syncthing devices (A and B) on 127.0.0.1, sharing one folder.

Library use:
    import syncthing_pair
    pair = syncthing_pair.start("/tmp/st", ignore_patterns=["data.enc.lock", "data.enc.*"])
    try:
        pair.folder("A")            # Path of A's synced folder
        pair.wait_in_sync(30)
    finally:
        pair.stop()

Command line: python3 syncthing_pair.py {selftest,serve,start,stop,pause,resume,
rescan,wait-in-sync,status,check-sockets} BASE_DIR  (see README.md).

Standard library only. Linux only (/proc, prctl).
"""

from __future__ import annotations

import argparse
import atexit
import copy
import ctypes
import json
import os
import re
import secrets
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request
import xml.etree.ElementTree as ET
from pathlib import Path

SYNCTHING = os.environ.get("SYNCTHING_BIN", "/usr/bin/syncthing")
DEVICES = ("A", "B")
DEFAULT_FOLDER_ID = "keyhaven-test"
STATE_FILE = "pair.json"
CONFLICT_RE = re.compile(
    r"^(?P<stem>.+)\.sync-conflict-(?P<date>\d{8})-(?P<time>\d{6})-(?P<short>[A-Z2-7]{7})(?P<ext>\.[^.]*)?$"
)

# Proxies from the environment must never see loopback API traffic.
_OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))

_live_pairs: list["SyncthingPair"] = []
_live_lock = threading.Lock()


class HarnessError(RuntimeError):
    pass


def _free_port() -> int:
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _child_env() -> dict:
    env = dict(os.environ)
    env.update(
        STNOUPGRADE="1",
        STNORESTART="1",
        # Run the syncthing process itself, not its restart monitor plus a child:
        # the pid we hold is then the one serving, listening and syncing.
        STMONITORED="yes",
        STNODEFAULTFOLDER="1",
        STGUIASSETS="",
        STTRACE=os.environ.get("STTRACE", ""),
    )
    for k in ("HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "http_proxy", "https_proxy", "all_proxy"):
        env.pop(k, None)
    return env


def _die_with_parent():
    # Runs in the child between fork and exec: SIGTERM it when the parent dies.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def _set(parent: ET.Element, tag: str, text) -> None:
    el = parent.find(tag)
    if el is None:
        el = ET.SubElement(parent, tag)
    el.text = str(text)


class Device:
    def __init__(self, name: str, base: Path):
        self.name = name
        self.root = base / name
        self.home = self.root / "home"
        self.folder = self.root / "folder"
        self.log = self.root / "syncthing.log"
        self.id = ""
        self.gui_port = 0
        self.listen_port = 0
        self.apikey = ""
        self.pid = 0
        self.proc: subprocess.Popen | None = None

    @property
    def short_id(self) -> str:
        return self.id[:7]

    @property
    def url(self) -> str:
        return f"http://127.0.0.1:{self.gui_port}"

    @property
    def address(self) -> str:
        return f"tcp://127.0.0.1:{self.listen_port}"

    def api(self, method: str, path: str, body=None, timeout: float = 10.0):
        data = None if body is None else json.dumps(body).encode()
        req = urllib.request.Request(self.url + path, data=data, method=method)
        req.add_header("X-API-Key", self.apikey)
        if data is not None:
            req.add_header("Content-Type", "application/json")
        with _OPENER.open(req, timeout=timeout) as resp:
            raw = resp.read()
        if not raw:
            return None
        try:
            return json.loads(raw)
        except ValueError:
            return raw.decode(errors="replace")

    def alive(self) -> bool:
        if self.proc is not None:
            return self.proc.poll() is None
        if not self.pid:
            return False
        try:
            cmd = Path(f"/proc/{self.pid}/cmdline").read_bytes()
        except OSError:
            return False
        # Guard against pid reuse when attached from a state file.
        return str(self.home).encode() in cmd

    def to_state(self) -> dict:
        return dict(id=self.id, gui_port=self.gui_port, listen_port=self.listen_port,
                    apikey=self.apikey, pid=self.pid)


class SyncthingPair:
    """Devices A and B; base_dir/A/folder and base_dir/B/folder share folder_id."""

    def __init__(self, base_dir, folder_id: str = DEFAULT_FOLDER_ID,
                 ignore_patterns: list[str] | None = None,
                 rescan_interval_s: int = 5, fs_watcher_delay_s: int = 1):
        self.base = Path(base_dir).resolve()
        self.folder_id = folder_id
        self.ignore_patterns = ignore_patterns
        self.rescan_interval_s = rescan_interval_s
        self.fs_watcher_delay_s = fs_watcher_delay_s
        self.dev = {n: Device(n, self.base) for n in DEVICES}
        self.detached = False
        self._dial_seq = 0

    # ---- setup -------------------------------------------------------------
    def folder(self, name: str) -> Path:
        return self.dev[name].folder

    def peer(self, name: str) -> Device:
        return self.dev["B" if name == "A" else "A"]

    def _generate(self, d: Device) -> None:
        d.home.mkdir(parents=True, exist_ok=True)
        os.chmod(d.home, 0o700)
        if not (d.home / "cert.pem").exists():
            subprocess.run([SYNCTHING, "generate", f"--home={d.home}", "--no-default-folder",
                            "--skip-port-probing"], env=_child_env(), check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        out = subprocess.run([SYNCTHING, "serve", f"--home={d.home}", "--device-id"],
                             env=_child_env(), check=True, capture_output=True, text=True,
                             timeout=30).stdout.strip()
        if not re.fullmatch(r"[A-Z2-7]{7}(-[A-Z2-7]{7}){7}", out):
            raise HarnessError(f"unexpected device id output: {out!r}")
        d.id = out

    def _write_config(self, d: Device) -> None:
        p = self.peer(d.name)
        cfg_path = d.home / "config.xml"
        tree = ET.parse(cfg_path)
        root = tree.getroot()
        defaults = root.find("defaults")
        dev_tpl = defaults.find("device")
        fol_tpl = defaults.find("folder")

        # Idempotent on restart: drop folders and every device but ourselves.
        for el in root.findall("folder"):
            root.remove(el)
        for el in root.findall("device"):
            if el.get("id") != d.id:
                root.remove(el)
        me = root.find(f"device[@id='{d.id}']")
        me.set("name", d.name)
        for a in me.findall("address"):
            me.remove(a)
        own = ET.Element("address")
        own.text = d.address  # no "dynamic" anywhere in the file
        me.insert(0, own)

        peer_el = copy.deepcopy(dev_tpl)
        peer_el.set("id", p.id)
        peer_el.set("name", p.name)
        for a in peer_el.findall("address"):
            peer_el.remove(a)
        addr = ET.Element("address")
        addr.text = p.address  # explicit, never "dynamic"
        peer_el.insert(0, addr)
        _set(peer_el, "paused", "false")
        root.insert(list(root).index(me) + 1, peer_el)

        fol = copy.deepcopy(fol_tpl)
        fol.set("id", self.folder_id)
        fol.set("label", self.folder_id)
        fol.set("path", str(d.folder))
        fol.set("type", "sendreceive")
        fol.set("rescanIntervalS", str(self.rescan_interval_s))
        fol.set("fsWatcherEnabled", "true")
        fol.set("fsWatcherDelayS", str(self.fs_watcher_delay_s))
        for el in fol.findall("device"):
            fol.remove(el)
        for i, dev_id in enumerate((d.id, p.id)):
            fd = ET.Element("device", {"id": dev_id, "introducedBy": ""})
            ET.SubElement(fd, "encryptionPassword").text = ""
            fol.insert(1 + i, fd)
        _set(fol, "paused", "false")
        md = fol.find("minDiskFree")
        if md is not None:
            md.text = "0"  # a nearly full test disk must not stop the folder
        root.insert(list(root).index(root.find("gui")), fol)

        gui = root.find("gui")
        gui.set("enabled", "true")
        gui.set("tls", "false")
        _set(gui, "address", f"127.0.0.1:{d.gui_port}")
        _set(gui, "apikey", d.apikey)

        o = root.find("options")
        for tag, val in {
            # tcp only: no QUIC, hence no UDP. The tcp4 scheme also keeps
            # Syncthing from dialing out of its listen port (see resume()).
            "listenAddress": f"tcp4://127.0.0.1:{d.listen_port}",
            "globalAnnounceEnabled": "false",
            "localAnnounceEnabled": "false",
            "relaysEnabled": "false",
            "natEnabled": "false",
            "startBrowser": "false",
            "urAccepted": "-1",
            "urSeen": "3",
            "crashReportingEnabled": "false",
            "autoUpgradeIntervalH": "0",
            "announceLANAddresses": "false",
            "stunKeepaliveStartS": "0",
            "stunKeepaliveMinS": "0",
            # A redials every 5 s (the minimum); B in effect never on its own,
            # see _quiet_dialer().
            "reconnectionIntervalS": "5" if d.name == "A" else "86400",
            "minHomeDiskFree": "0",
            "restartOnWakeup": "false",
            "setLowPriority": "false",
        }.items():
            _set(o, tag, val)
        for tag in ("listenAddress", "globalAnnounceServer", "stunServer"):
            els = o.findall(tag)
            for extra in els[1:]:
                o.remove(extra)
        _set(o, "globalAnnounceServer", "")
        _set(o, "stunServer", "")
        tree.write(cfg_path, encoding="unicode")
        os.chmod(cfg_path, 0o600)

    def _prepare_folder(self, d: Device) -> None:
        d.folder.mkdir(parents=True, exist_ok=True)
        (d.folder / ".stfolder").mkdir(exist_ok=True)
        if self.ignore_patterns is not None:
            (d.folder / ".stignore").write_text("".join(p + "\n" for p in self.ignore_patterns))

    def _launch(self, d: Device) -> None:
        logf = open(d.log, "ab")
        try:
            d.proc = subprocess.Popen(
                [SYNCTHING, "serve", f"--home={d.home}", "--no-browser", "--no-restart",
                 "--no-upgrade", "--no-default-folder", "--skip-port-probing"],
                env=_child_env(), stdin=subprocess.DEVNULL, stdout=logf, stderr=logf,
                start_new_session=True,  # own process group, killable as a whole
                preexec_fn=None if self.detached else _die_with_parent,
                close_fds=True,
            )
        finally:
            logf.close()
        d.pid = d.proc.pid

    def _wait_api(self, d: Device, timeout: float) -> None:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not d.alive():
                raise HarnessError(f"syncthing {d.name} exited early; see {d.log}")
            try:
                if d.api("GET", "/rest/system/ping", timeout=2) == {"ping": "pong"}:
                    return
            except (urllib.error.URLError, OSError):
                pass
            time.sleep(0.1)
        raise HarnessError(f"syncthing {d.name} API not up within {timeout}s; see {d.log}")

    def start(self, timeout: float = 30.0, detached: bool = False) -> "SyncthingPair":
        self.detached = detached
        self.base.mkdir(parents=True, exist_ok=True)
        ports = set()
        while len(ports) < 4:
            ports.add(_free_port())
        ports = sorted(ports)
        for i, d in enumerate(self.dev.values()):
            d.root.mkdir(parents=True, exist_ok=True)
            self._generate(d)
            d.gui_port, d.listen_port = ports[2 * i], ports[2 * i + 1]
            d.apikey = secrets.token_urlsafe(24)
        for d in self.dev.values():
            self._write_config(d)
            self._prepare_folder(d)
        if not detached:
            with _live_lock:
                _live_pairs.append(self)
        try:
            a, b = self.dev["A"], self.dev["B"]
            self._launch(b)
            self._wait_api(b, timeout)
            self._quiet_dialer(b)
            self._launch(a)
            self._wait_api(a, timeout)
            self._save_state()
        except BaseException:
            self.stop()
            raise
        return self

    def _quiet_dialer(self, d: Device, wakes: int = 8) -> None:
        """Stop `d` from dialing its peer on its own.

        Syncthing 1.19 exchanges the Hello of new connections one at a time, so
        when both devices dial each other at once each waits for the other's
        Hello and both stall for 20 s, often again right after. Only A dials
        therefore. For its first minute Syncthing dials on a fixed ramp-up
        (1, 2, 4 ... 32 s) whatever the redial interval says; each wake of the
        dial loop advances that ramp-up one step. With A not yet running the
        wake-up dials are refused at once, and afterwards B's 24 h redial
        interval keeps it quiet. Should it redial when a live connection drops,
        pause() has paused A first, so that dial is refused."""
        for i in range(wakes):
            # Own address: unused for dialing, but any address change wakes the loop.
            d.api("PATCH", f"/rest/config/devices/{d.id}", {"addresses": [f"{d.address}?wake={i}"]})
            time.sleep(0.05)
        d.api("PATCH", f"/rest/config/devices/{d.id}", {"addresses": [d.address]})

    def _save_state(self) -> None:
        state = dict(folder_id=self.folder_id, devices={n: d.to_state() for n, d in self.dev.items()})
        path = self.base / STATE_FILE
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        with os.fdopen(fd, "w") as f:
            json.dump(state, f, indent=1)

    @classmethod
    def attach(cls, base_dir) -> "SyncthingPair":
        """Re-open a pair started elsewhere (e.g. `start` on the command line)."""
        pair = cls(base_dir)
        state = json.loads((pair.base / STATE_FILE).read_text())
        pair.folder_id = state["folder_id"]
        pair.detached = True
        for n, s in state["devices"].items():
            d = pair.dev[n]
            d.id, d.gui_port, d.listen_port = s["id"], s["gui_port"], s["listen_port"]
            d.apikey, d.pid = s["apikey"], s["pid"]
        return pair

    # ---- control -----------------------------------------------------------
    def _poll(self, cond, timeout: float, what: str, interval: float = 0.1):
        deadline = time.monotonic() + timeout
        last = None
        while True:
            for d in self.dev.values():
                if not d.alive():
                    raise HarnessError(f"syncthing {d.name} died while waiting for {what}; see {d.log}")
            try:
                ok, last = cond()
            except (urllib.error.URLError, OSError) as e:
                ok, last = False, repr(e)
            if ok:
                return last
            if time.monotonic() >= deadline:
                raise HarnessError(f"timeout after {timeout}s waiting for {what}: {last}")
            time.sleep(interval)

    def connections(self) -> dict:
        """{name: peer connection entry from /rest/system/connections}."""
        return {n: d.api("GET", "/rest/system/connections")["connections"].get(self.peer(n).id, {})
                for n, d in self.dev.items()}

    def wait_connected(self, timeout: float = 30.0, nudge_every: float = 2.0) -> float:
        """Wait until A and B see each other connected. While they do not, A's
        dial loop is woken every `nudge_every` s (pause state left as is)."""
        t0 = time.monotonic()
        deadline = t0 + timeout

        def cond():
            c = self.connections()
            return all(v.get("connected") for v in c.values()), c
        while True:
            try:
                self._poll(cond, min(nudge_every, max(0.0, deadline - time.monotonic())), "connection")
                return time.monotonic() - t0
            except HarnessError:
                if time.monotonic() >= deadline:
                    raise
                self._dial_now("A")

    def wait_disconnected(self, timeout: float = 30.0) -> float:
        t0 = time.monotonic()

        def cond():
            c = self.connections()
            return not any(v.get("connected") for v in c.values()), c
        self._poll(cond, timeout, "disconnection")
        return time.monotonic() - t0

    def pause(self, wait: bool = True, timeout: float = 30.0) -> None:
        """Both devices pause each other; returns once both report disconnected.
        A goes first, so B's immediate redial on the dropped connection is refused."""
        for n, d in self.dev.items():  # A, then B
            d.api("POST", f"/rest/system/pause?device={self.peer(n).id}")
        if wait:
            self.wait_disconnected(timeout)

    def _dial_now(self, name: str, **changes) -> None:
        """Make `name` dial its peer at once, applying `changes` to its view of the peer.

        Syncthing's dial loop redials only every 5 s to 60 s, and unpausing does
        not wake it. A changed address list does, and an address never dialed
        before is dialed at once, so each call gives the peer's address a new
        (ignored) query tag: tcp://127.0.0.1:PORT?redial=N."""
        d, p = self.dev[name], self.peer(name)
        self._dial_seq += 1
        d.api("PATCH", f"/rest/config/devices/{p.id}",
              dict(changes, addresses=[f"{p.address}?redial={self._dial_seq}"]))

    def resume(self, wait: bool = True, timeout: float = 30.0) -> None:
        """Both devices resume each other; returns once they are connected again.

        B is unpaused first and only A is made to dial, so the two do not race.
        Both dialing at once used to meet in a TCP simultaneous open (Syncthing
        dials out of its listen port when the schemes match), which hangs both
        TLS handshakes for 20 s; listening on tcp4:// and dialing tcp:// avoids it."""
        self.dev["B"].api("PATCH", f"/rest/config/devices/{self.dev['A'].id}", {"paused": False})
        self._dial_now("A", paused=False)
        if wait:
            self.wait_connected(timeout)

    def rescan(self, timeout: float = 60.0) -> None:
        """Scan both folders now. The REST call returns after the scan finished."""
        for d in self.dev.values():
            d.api("POST", f"/rest/db/scan?folder={self.folder_id}", timeout=timeout)

    def status(self) -> dict:
        out = {}
        for n, d in self.dev.items():
            st = d.api("GET", f"/rest/db/status?folder={self.folder_id}")
            comp = d.api("GET", f"/rest/db/completion?folder={self.folder_id}&device={self.peer(n).id}")
            out[n] = dict(status=st, peer_completion=comp)
        return out

    def _in_sync_now(self):
        conns = self.connections()
        s = self.status()
        brief = {}
        ok = True
        for n in DEVICES:
            st, comp = s[n]["status"], s[n]["peer_completion"]
            brief[n] = dict(connected=conns[n].get("connected"), state=st.get("state"),
                            need=st.get("needTotalItems"), pullErrors=st.get("pullErrors"),
                            peerCompletion=comp.get("completion"), peerNeed=comp.get("needItems"),
                            peerNeedDeletes=comp.get("needDeletes"),
                            remoteState=comp.get("remoteState"),
                            globalFiles=st.get("globalFiles"), globalBytes=st.get("globalBytes"),
                            globalDeleted=st.get("globalDeleted"))
            b = brief[n]
            ok &= bool(b["connected"]) and b["state"] == "idle" and b["need"] == 0 \
                and not b["pullErrors"] and b["peerCompletion"] == 100 and b["peerNeed"] == 0 \
                and b["peerNeedDeletes"] == 0 and b["remoteState"] in (None, "valid")
        a, b = brief["A"], brief["B"]
        ok &= (a["globalFiles"], a["globalBytes"]) == (b["globalFiles"], b["globalBytes"])
        return ok, brief

    def wait_in_sync(self, timeout: float = 60.0, rescan: bool = True, stable_polls: int = 3) -> float:
        """Both folders idle, nothing needed, peer completion 100% both ways,
        same global totals; holds for `stable_polls` polls in a row.
        With rescan=True both folders are scanned first so fresh disk writes count."""
        t0 = time.monotonic()
        if rescan:
            self.rescan(timeout=timeout)
        streak = [0]

        def cond():
            ok, brief = self._in_sync_now()
            streak[0] = streak[0] + 1 if ok else 0
            return streak[0] >= stable_polls, brief
        self._poll(cond, max(0.0, timeout - (time.monotonic() - t0)), "in-sync", interval=0.2)
        return time.monotonic() - t0

    def pids(self) -> list[int]:
        """Every live process in our devices' process groups."""
        return [p for d in self.dev.values() if d.pid for p in _group_pids(d.pid)]

    def sockets(self) -> list[tuple[str, str, str, str]]:
        """(pid, proto, local, remote) for every inet socket our processes hold."""
        return _sockets_of(self.pids())

    def check_sockets(self) -> list:
        """Raise unless every socket is TCP on 127.0.0.1 at both ends."""
        socks = self.sockets()
        bad = [s for s in socks if s[1] != "tcp"
               or not s[2].startswith("127.0.0.1:")
               or not (s[3].startswith("127.0.0.1:") or s[3] == "0.0.0.0:*")]
        if bad:
            raise HarnessError(f"non-loopback or non-TCP sockets: {bad}")
        return socks

    # ---- teardown ----------------------------------------------------------
    def stop(self, timeout: float = 10.0) -> None:
        """REST shutdown, then SIGTERM, then SIGKILL to each process group."""
        for d in self.dev.values():
            if d.alive() and d.apikey and d.gui_port:
                try:
                    d.api("POST", "/rest/system/shutdown", timeout=3)
                except (urllib.error.URLError, OSError):
                    pass
        for sig, wait in ((None, timeout), (signal.SIGTERM, 5.0), (signal.SIGKILL, 5.0)):
            live = [d for d in self.dev.values() if d.alive()]
            if not live:
                break
            for d in live:
                if sig is not None:
                    try:
                        os.killpg(d.pid, sig)
                    except ProcessLookupError:
                        pass
            deadline = time.monotonic() + wait
            while time.monotonic() < deadline and any(d.alive() for d in live):
                time.sleep(0.05)
        for d in self.dev.values():
            if d.proc is not None:
                try:
                    d.proc.wait(timeout=1)
                except subprocess.TimeoutExpired:
                    pass
        with _live_lock:
            if self in _live_pairs:
                _live_pairs.remove(self)
        for d in self.dev.values():
            if d.pid and _group_pids(d.pid):
                try:
                    os.killpg(d.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        time.sleep(0.1)
        leftover = [d.name for d in self.dev.values() if d.alive() or (d.pid and _group_pids(d.pid))]
        if leftover:
            raise HarnessError(f"syncthing still running: {leftover}")


def _stop_all() -> None:
    with _live_lock:
        pairs = list(_live_pairs)
    for p in pairs:
        try:
            p.stop(timeout=5)
        except Exception as e:  # atexit must try every pair
            print(f"syncthing_pair: stop failed: {e}", file=sys.stderr)


atexit.register(_stop_all)


def start(base_dir, **kwargs) -> SyncthingPair:
    """Create (or reuse) devices under base_dir and start them. kwargs: folder_id,
    ignore_patterns, rescan_interval_s, fs_watcher_delay_s; start() also takes timeout."""
    timeout = kwargs.pop("timeout", 30.0)
    return SyncthingPair(base_dir, **kwargs).start(timeout=timeout)


def _group_pids(pgid: int) -> list[int]:
    out = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            stat_line = Path(f"/proc/{entry}/stat").read_text()
        except OSError:
            continue
        fields = stat_line.rsplit(")", 1)[1].split()
        # fields[0] is the state, fields[2] the process group; zombies hold nothing
        if int(fields[2]) == pgid and fields[0] != "Z":
            out.append(int(entry))
    return out


def _sockets_of(pids: list[int]) -> list[tuple[str, str, str, str]]:
    inode_pid = {}
    for pid in pids:
        try:
            for fd in os.listdir(f"/proc/{pid}/fd"):
                try:
                    link = os.readlink(f"/proc/{pid}/fd/{fd}")
                except OSError:
                    continue
                m = re.fullmatch(r"socket:\[(\d+)\]", link)
                if m:
                    inode_pid[m.group(1)] = pid
        except OSError:
            pass
    out = []
    for proto in ("tcp", "tcp6", "udp", "udp6", "raw", "raw6"):
        try:
            lines = Path(f"/proc/net/{proto}").read_text().splitlines()[1:]
        except OSError:
            continue
        for line in lines:
            f = line.split()
            if f[9] in inode_pid:
                out.append((str(inode_pid[f[9]]), proto.rstrip("6"),
                            _addr(f[1], proto.endswith("6")), _addr(f[2], proto.endswith("6"))))
    return out


def _addr(hexaddr: str, v6: bool) -> str:
    ip, port = hexaddr.split(":")
    raw = bytes.fromhex(ip)
    if v6:
        raw = b"".join(raw[i:i + 4][::-1] for i in range(0, 16, 4))
        if raw[:12] == b"\0" * 10 + b"\xff\xff":
            return f"{socket.inet_ntop(socket.AF_INET, raw[12:])}:{int(port, 16)}"
        return f"[{socket.inet_ntop(socket.AF_INET6, raw)}]:{int(port, 16)}"
    host = socket.inet_ntop(socket.AF_INET, raw[::-1])
    p = int(port, 16)
    return f"{host}:{p}" if p or host != "0.0.0.0" else "0.0.0.0:*"


# ---- self-test ---------------------------------------------------------------
def atomic_write(path: Path, data: bytes) -> None:
    """Write like an atomic save: temp file `NAME.XXXXXX` beside it, then rename over."""
    fd, tmp = tempfile.mkstemp(prefix=path.name + ".", dir=path.parent)
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
        os.replace(tmp, path)
    except BaseException:
        if os.path.exists(tmp):
            os.unlink(tmp)
        raise


def conflict_copies(folder: Path) -> list[str]:
    return sorted(p.name for p in folder.iterdir() if CONFLICT_RE.match(p.name))


def _listing(folder: Path) -> str:
    rows = []
    for p in sorted(folder.iterdir()):
        if p.is_file():
            rows.append(f"    {p.stat().st_size:6d}  {p.name}")
        else:
            rows.append(f"       dir  {p.name}/")
    return "\n".join(rows)


def _wait_file(path: Path, data: bytes, timeout: float) -> float:
    t0 = time.monotonic()
    while time.monotonic() - t0 < timeout:
        try:
            if path.read_bytes() == data:
                return time.monotonic() - t0
        except OSError:
            pass
        time.sleep(0.05)
    raise HarnessError(f"{path} did not get the expected bytes within {timeout}s")


def selftest(base_dir) -> int:
    base = Path(base_dir)
    if base.exists() and any(base.iterdir()):
        raise HarnessError(f"{base} must be empty or absent")
    timings = []

    def step(name, t0):
        timings.append((name, time.monotonic() - t0))
        print(f"[{timings[-1][1]:6.2f}s] {name}", flush=True)

    def check(cond, msg):
        if not cond:
            raise HarnessError("FAILED: " + msg)
        print("  ok:", msg)

    t_all = time.monotonic()
    t = time.monotonic()
    pair = start(base, ignore_patterns=["data.enc.lock", "data.enc.*"])
    A, B = pair.folder("A"), pair.folder("B")
    step("start both devices (generate keys, config, API up)", t)
    try:
        t = time.monotonic()
        pair.wait_connected()
        step("wait_connected", t)
        socks = pair.check_sockets()
        check(len(socks) >= 4, f"{len(socks)} sockets, all TCP on 127.0.0.1, no UDP: "
              + ", ".join(f"{s[1]} {s[2]}->{s[3]}" for s in socks))
        ss = subprocess.run(["ss", "-tunap"], capture_output=True, text=True).stdout
        print("  ss -tunap (syncthing lines):")
        for line in ss.splitlines():
            if "syncthing" in line:
                print("   ", " ".join(line.split()))

        t = time.monotonic()
        v1 = b"version 1 from A\n" * 100
        atomic_write(A / "data.enc", v1)
        (A / "data.enc.lock").write_text("lock held by A\n")
        (A / "data.enc.Ab12Cd").write_bytes(b"stray save temp file\n")
        _wait_file(B / "data.enc", v1, 30)
        step("write data.enc on A -> same bytes on B (no rescan, watcher only)", t)
        pair.wait_in_sync(30)
        check(not (B / "data.enc.lock").exists() and not (B / "data.enc.Ab12Cd").exists(),
              ".stignore keeps data.enc.lock and data.enc.XXXXXX off B")

        t = time.monotonic()
        pair.pause()
        step("pause (both report disconnected)", t)

        t = time.monotonic()
        va = b"edit made on A while paused\n" * 50
        vb = b"edit made on B while paused, later\n" * 60
        atomic_write(A / "data.enc", va)
        time.sleep(1.1)  # B's save is clearly newer
        atomic_write(B / "data.enc", vb)
        pair.rescan()
        step("divergent atomic saves on A then B + rescan", t)

        t = time.monotonic()
        pair.resume()
        step("resume (both report connected)", t)
        t = time.monotonic()
        pair.wait_in_sync(60)
        step("wait_in_sync after resume (conflict resolved)", t)

        ca, cb = conflict_copies(A), conflict_copies(B)
        print("  A/folder:\n" + _listing(A))
        print("  B/folder:\n" + _listing(B))
        check(ca or cb, f"conflict copy exists: A={ca} B={cb}")
        check(ca == cb, "the conflict copy is synced to the other side too")
        name = (ca or cb)[0]
        m = CONFLICT_RE.match(name)
        check(m["stem"] == "data" and m["ext"] == ".enc",
              f"name {name} = data.sync-conflict-YYYYMMDD-HHMMSS-ID7.enc")
        check(m["short"] == pair.dev["B"].short_id,
              f"ID7 {m['short']} = first 7 chars of B's device ID (author of the WINNING version)")
        stamp = time.mktime(time.strptime(m["date"] + m["time"], "%Y%m%d%H%M%S"))
        check(abs(time.time() - stamp) < 120, "YYYYMMDD-HHMMSS is local time when the conflict was resolved")
        check((A / "data.enc").read_bytes() == vb == (B / "data.enc").read_bytes(),
              "data.enc on both sides holds the newer save (B's)")
        check((A / name).read_bytes() == va == (B / name).read_bytes(),
              "conflict copy holds the older save (A's)")

        t = time.monotonic()
        merged = b"merged on B\n" + va + vb
        for n in conflict_copies(B):
            (B / n).unlink()
        atomic_write(B / "data.enc", merged)
        pair.wait_in_sync(60)
        _wait_file(A / "data.enc", merged, 10)
        step("delete conflict copy + write merged data.enc on B, wait_in_sync", t)
        print("  A/folder:\n" + _listing(A))
        print("  B/folder:\n" + _listing(B))
        check((A / "data.enc").read_bytes() == merged == (B / "data.enc").read_bytes(),
              "both sides hold the merged data.enc")
        check(not conflict_copies(A) and not conflict_copies(B), "no conflict copies left on either side")

        t = time.monotonic()
        check(len(pair.pids()) == 2, f"one process per device: {pair.pids()}")
        pgids = [d.pid for d in pair.dev.values()]
    finally:
        pair.stop()
    step("stop", t)
    check(not any(_group_pids(g) for g in pgids), "no process left in either process group")
    total = time.monotonic() - t_all
    print(f"SELFTEST PASSED in {total:.1f}s")
    print("timings:")
    for n, s in timings:
        print(f"  {s:6.2f}s  {n}")
    return 0


# ---- command line -----------------------------------------------------------
def main(argv=None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = ap.add_subparsers(dest="cmd", required=True)
    for name in ("selftest", "serve", "start", "stop", "pause", "resume", "rescan",
                 "wait-in-sync", "status", "check-sockets"):
        p = sub.add_parser(name)
        p.add_argument("base_dir")
        if name in ("serve", "start"):
            p.add_argument("--folder-id", default=DEFAULT_FOLDER_ID)
            p.add_argument("--ignore", action="append", default=None,
                           help="line for .stignore on both sides (repeatable)")
        if name == "wait-in-sync":
            p.add_argument("--timeout", type=float, default=60.0)
    a = ap.parse_args(argv)

    if a.cmd == "selftest":
        return selftest(a.base_dir)
    if a.cmd in ("serve", "start"):
        pair = SyncthingPair(a.base_dir, folder_id=a.folder_id, ignore_patterns=a.ignore)
        pair.start(detached=(a.cmd == "start"))
        pair.wait_connected()
        info = dict(base_dir=str(pair.base), folder_id=pair.folder_id,
                    devices={n: dict(d.to_state(), folder=str(d.folder)) for n, d in pair.dev.items()})
        print(json.dumps(info), flush=True)
        if a.cmd == "start":
            return 0
        # serve: run until SIGINT/SIGTERM or stdin closes, then stop.
        done = threading.Event()
        for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(s, lambda *_: done.set())
        if stat.S_ISFIFO(os.fstat(0).st_mode):  # parent holds the pipe: its exit stops us
            threading.Thread(target=lambda: (sys.stdin.read(), done.set()), daemon=True).start()
        done.wait()
        pair.stop()
        return 0
    pair = SyncthingPair.attach(a.base_dir)
    if a.cmd == "stop":
        pair.stop()
    elif a.cmd == "pause":
        pair.pause()
    elif a.cmd == "resume":
        pair.resume()
    elif a.cmd == "rescan":
        pair.rescan()
    elif a.cmd == "wait-in-sync":
        print(f"in sync after {pair.wait_in_sync(a.timeout):.2f}s")
    elif a.cmd == "status":
        print(json.dumps(dict(connections=pair.connections(), folders=pair.status()), indent=1))
    elif a.cmd == "check-sockets":
        for s in pair.check_sockets():
            print(*s)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except HarnessError as e:
        print(f"syncthing_pair: {e}", file=sys.stderr)
        sys.exit(1)
