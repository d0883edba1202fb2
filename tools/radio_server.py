#!/usr/bin/env python3
"""A test radio station on 127.0.0.1 only, for the player's network tests.

    radio_server.py FOLDER [LIFETIME_SECONDS]

Makes an MP3 tone with ffmpeg, listens on a free port of the loopback
address and writes FOLDER/port (the port, then this process's pid) once it
listens. Each connection opens and closes a line in FOLDER/log ("open /path",
"closed /path"), so a test can see the player let go. It ends by itself after
LIFETIME_SECONDS (60 at most).

Paths:
  /station.pls   a playlist naming /stream
  /nest.m3u      a playlist naming itself, /station.pls, a missing list, a
                 local file and /tone.mp3
  /stream        an endless MP3 station answering "ICY 200 OK", icy-name
                 "Tavlin Test FM", metadata every 8000 bytes: StreamTitle
                 "First Song", then "Second Song" after 3 s
  /drop          the same, but its first connection is cut after 4 s
  /silent        takes the connection and never answers
  /loop          redirects to itself
  /badmeta       states icy-metaint 1000 but sends metadata every 8000 bytes
  /garbage       audio/mpeg of random bytes
  /html          a web page
  /headers       header lines without end
  /tone.mp3      the tone as a plain file, with its length
  /tone.aac      the tone as ADTS AAC, with its length
"""
import os
import random
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

METAINT = 8000
NAME = b"Tavlin Test FM"


def make_tone(folder):
    path = os.path.join(folder, "tone-station.mp3")
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=6", "-af", "volume=2",
                    "-ar", "44100", "-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0",
                    "-id3v2_version", "0", path], check=True)
    aac = os.path.join(folder, "tone-station.aac")
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-i", path, "-c:a", "aac", "-b:a", "128k", "-f", "adts", aac],
                   check=True)
    return open(path, "rb").read(), open(aac, "rb").read()


def split_frames(data):
    """The MPEG-1 Layer III frames of a plain MP3 file."""
    rates = [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
    frames, at = [], 0
    while at + 4 <= len(data):
        if data[at] != 0xFF or (data[at + 1] & 0xFE) != 0xFA:
            at += 1
            continue
        bitrate = rates[(data[at + 2] >> 4) - 1] * 1000
        length = 144 * bitrate // 44100 + ((data[at + 2] >> 1) & 1)
        frames.append(data[at:at + length])
        at += length
    return frames


class Station:
    def __init__(self, folder, frames, tone):
        self.folder, self.frames, self.tone = folder, frames, tone
        self.lock = threading.Lock()
        self.connections = {}

    def log(self, line):
        with self.lock:
            with open(os.path.join(self.folder, "log"), "a") as f:
                f.write(line + "\n")

    def count(self, path):
        with self.lock:
            self.connections[path] = self.connections.get(path, 0) + 1
            return self.connections[path]


def metadata_block(title):
    text = b"StreamTitle='" + title + b"';"
    blocks = (len(text) + 15) // 16
    return bytes([blocks]) + text.ljust(blocks * 16, b"\0")


def stream(sock, station, cut_after=None, stated_interval=METAINT):
    head = b"ICY 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: " + NAME + \
           b"\r\nicy-br: 128\r\nicy-metaint: " + str(stated_interval).encode() + b"\r\n\r\n"
    sock.sendall(head)
    frame_time = 1152 / 44100
    start = time.time()
    sent_time = -1.0  # a second ahead at once, then in real time
    left = METAINT
    index = 0
    while True:
        now = time.time() - start
        if cut_after is not None and now >= cut_after:
            return
        if sent_time - now > 0:
            time.sleep(min(sent_time - now, 0.05))
            continue
        data = station.frames[index % len(station.frames)]
        index += 1
        sent_time += frame_time
        out = b""
        while data:
            take = data[:left]
            out += take
            data = data[len(take):]
            left -= len(take)
            if left == 0:
                out += metadata_block(b"First Song" if now < 3 else b"Second Song")
                left = METAINT
        sock.sendall(out)


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        station = self.server.station
        sock = self.request
        request = b""
        while b"\r\n\r\n" not in request and len(request) < 65536:
            chunk = sock.recv(4096)
            if not chunk:
                return
            request += chunk
        parts = request.split(b" ")
        path = parts[1].decode("latin-1") if len(parts) > 1 else "/"
        number = station.count(path)
        station.log("open " + path)
        try:
            self.answer(sock, station, path, number)
        except OSError:
            pass
        finally:
            station.log("closed " + path)

    def answer(self, sock, station, path, number):
        host = "127.0.0.1:%d" % self.server.server_address[1]
        if path == "/station.pls":
            body = ("[playlist]\nFile1=http://%s/stream\nTitle1=Tavlin Test FM\nLength1=-1\n"
                    "NumberOfEntries=1\nVersion=2\n" % host).encode()
            sock.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/x-scpls\r\nContent-Length: %d\r\n\r\n" % len(body)
                         + body)
        elif path == "/nest.m3u":
            body = ("#EXTM3U\n#EXTINF:-1,Itself\nhttp://{0}/nest.m3u\nhttp://{0}/station.pls\nhttp://{0}/missing.pls\n"
                    "C:\\windows\\win.ini\n#EXTINF:-1,Direct\nhttp://{0}/tone.mp3\n".format(host)).encode()
            sock.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/x-mpegurl\r\nContent-Length: %d\r\n\r\n" % len(body)
                         + body)
        elif path == "/stream":
            stream(sock, station)
        elif path == "/drop":
            stream(sock, station, cut_after=4 if number == 1 else None)
        elif path == "/badmeta":
            stream(sock, station, stated_interval=1000)
        elif path == "/silent":
            while sock.recv(4096):
                pass
        elif path == "/loop":
            sock.sendall(b"HTTP/1.0 302 Found\r\nLocation: http://%s/loop\r\nContent-Length: 0\r\n\r\n" % host.encode())
        elif path == "/garbage":
            sock.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n")
            rng = random.Random(1)
            while True:
                sock.sendall(bytes(rng.getrandbits(8) for _ in range(4096)))
                time.sleep(0.01)
        elif path == "/html":
            body = b"<html><body>Not a station</body></html>"
            sock.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
        elif path == "/headers":
            sock.sendall(b"HTTP/1.0 200 OK\r\n")
            while True:
                sock.sendall(b"X-Filler: " + b"x" * 1000 + b"\r\n")
                time.sleep(0.001)
        elif path == "/tone.mp3":
            sock.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: %d\r\n\r\n" % len(station.tone)
                         + station.tone)
        elif path == "/tone.aac":
            sock.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/aac\r\nContent-Length: %d\r\n\r\n" % len(station.aac)
                         + station.aac)
        else:
            sock.sendall(b"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    folder = sys.argv[1]
    lifetime = min(float(sys.argv[2]) if len(sys.argv) > 2 else 60, 60)
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch:
        tone, aac = make_tone(scratch)
    server = Server(("127.0.0.1", 0), Handler)
    server.station = Station(folder, split_frames(tone), tone)
    server.station.aac = aac
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(os.path.join(folder, "port.part"), "w") as f:
        f.write("%d %d\n" % (server.server_address[1], os.getpid()))
    os.replace(os.path.join(folder, "port.part"), os.path.join(folder, "port"))
    print(server.server_address[1], flush=True)
    time.sleep(lifetime)
    server.shutdown()
    # Connections still open end with the process.
    os._exit(0)


if __name__ == "__main__":
    main()
