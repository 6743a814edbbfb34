#!/usr/bin/env python3
"""One scripted session of the demo's window program on a real X display.

Starts Xvfb at each depth asked for, starts the program on it, and walks it
through its states with xdotool: idle, the pointer over OK, OK pressed, the
list pressed, and after a resize to 800x600. In each state the window's
client area, taken from a screenshot of the X screen (ImageMagick's import), must equal pixel for
pixel the frame that the off-screen ziv-demo renders for the same pointer and
size. Escape must end the program with status 0 and every surface released.
With --direct-too the program is walked a second time, drawing straight onto
the primary surface through its clipper (--direct): idle, OK hovered and
pressed, and the resize.

  window_session.py --demo build/Hosts/demo/ziv-demo --work DIR [--depths 24,16]
                    [--wine WINE --wineserver WINESERVER --exe ziv-demo.exe --prefix DIR [--direct-too]]

Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

STATES = [  # name, pointer in client coordinates (None: outside), button down, report
    ("idle", None, False, "ok=idle cancel=idle list=idle status=idle"),
    ("ok-hover", (290, 313), False, "ok=hover cancel=idle list=idle status=hover"),
    ("ok-pressed", (290, 313), True, "ok=pressed cancel=idle list=idle status=pressed"),
    ("list-pressed", (200, 200), True, "ok=idle cancel=idle list=pressed status=idle"),
]
RESIZED = (800, 600)
OUTSIDE = (1023, 767)  # a corner of the screen no window reaches


class Failure(Exception):
    pass


def run(command, env=None, **kwargs):
    return subprocess.run(command, env=env, check=True, stdout=subprocess.PIPE, **kwargs).stdout


def start_xvfb(depth):
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x%d" % depth,
                               "-nolisten", "tcp", "-noreset"], pass_fds=[write], stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            raise Failure("Xvfb did not start at depth %d" % depth)
        number += chunk
    os.close(read)
    return server, ":" + number.decode().strip()


def reference_frames(args, work, fmt, size, options=()):
    """The off-screen frames of every state at this size, as raw RGB bytes.
    A window drawn straight onto the primary surface (--direct) draws without
    soft edges, and so do its frames here."""
    scene_dir = os.path.join(work, "scene")
    if not os.path.isdir(scene_dir):
        shutil.copytree(args.assets, scene_dir)
        text = run([args.demo, "--print-scene"]).decode()
        frames = []
        for name, at, down, _ in STATES:
            at = at if at is not None else (-1, -1)
            frames.append('{ "name": "%s", "pointer": [%d, %d], "down": %s }' % (name, at[0], at[1],
                                                                                 "true" if down else "false"))
        text = text[:text.rindex('"frames"')] + '"frames": [\n' + ",\n".join(frames) + "\n]\n}\n"
        with open(os.path.join(scene_dir, "window.json"), "w") as out:
            out.write(text)
    out = os.path.join(work, "reference-%s-%dx%d" % (fmt, size[0], size[1]))
    run([args.demo, "--scene", os.path.join(scene_dir, "window.json"), "--format", fmt, "--blend", "2",
         "--size", "%dx%d" % size, "--repeat", "1", "--out", out] + (["--hard-edges"] if "--direct" in options else []))
    return {name: run([args.convert, os.path.join(out, "desktop-%s-blend2-%s.png" % (fmt, name)), "rgb:-"])
            for name, _, _, _ in STATES}


class Session:
    def __init__(self, args, display, work, depth, options, states=STATES):
        self.args, self.display, self.work, self.depth, self.states = args, display, work, depth, states
        self.options = options
        self.env = dict(os.environ, DISPLAY=display)
        # SDL takes the server's deepest visual unless told the default one.
        info = run(["xdpyinfo", "-display", display]).decode()
        self.env["SDL_VIDEO_X11_VISUALID"] = re.search(r"default visual id:\s*(0x[0-9a-f]+)", info).group(1)
        self.report = os.path.join(work, "report.txt")
        if os.path.exists(self.report):
            os.remove(self.report)
        if args.wine:
            self.env.update(WINEPREFIX=args.prefix, WINEDEBUG="-all",
                            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
            command = [args.wine, args.exe, "--report", "Z:" + self.report]
        else:
            command = [args.demo, "--window", "--report", self.report]
        # In the AddressSanitizer build, LeakSanitizer writes its findings
        # here instead of failing the exit status: SDL2 itself leaves a few
        # blocks of libdbus and of the X libraries it unloads at SDL_Quit,
        # so only leaks allocated by this project's code count.
        self.lsan = os.path.join(work, "lsan")
        self.env["LSAN_OPTIONS"] = "exitcode=0:log_path=" + self.lsan
        self.xdotool("mousemove", *map(str, OUTSIDE))
        self.program = subprocess.Popen(command + ["--blend", "2"] + options, env=self.env,
                                        stdout=subprocess.DEVNULL)

    def xdotool(self, *words):
        return run(["xdotool"] + list(words), env=self.env).decode()

    def wait_for(self, regions, size, timeout=60):
        """The client area's place once the program has shown this state."""
        pattern = re.compile(r"^frame \d+ %dx%d at (-?\d+),(-?\d+) %s$" % (size[0], size[1], regions))
        deadline = time.time() + timeout
        lines = []
        while time.time() < deadline:
            if os.path.exists(self.report):
                with open(self.report) as report:
                    lines = report.read().splitlines()
                for line in reversed(lines):
                    if line.startswith("frame "):
                        found = pattern.match(line)
                        if found:
                            return int(found.group(1)), int(found.group(2))
                        break
                if any(line.startswith("error") for line in lines):
                    break
            if self.program.poll() is not None:
                break
            time.sleep(0.05)
        raise Failure("the window never showed %s at %dx%d; its report:\n  %s" %
                      (regions, size[0], size[1], "\n  ".join(lines)))

    def client_pixels(self, at, size):
        """The client area's RGB bytes from a screenshot of the X screen."""
        return run([self.args.imagemagick + "import", "-display", self.display, "-window", "root", "-crop",
                    "%dx%d+%d+%d" % (size[0], size[1], at[0], at[1]), "+repage", "-depth", "8", "rgb:-"])

    def check(self, name, at, size, expected):
        """Screenshots until the client area equals the frame (the X server may show it a moment later)."""
        keep = bytes([0xF8, 0xFC, 0xF8]) if self.depth == 16 else bytes([0xFF] * 3)
        mask = keep * (len(expected) // 3)
        want = bytes(a & b for a, b in zip(expected, mask))
        # Straight onto the primary surface (--direct) a frame appears quad by
        # quad, each through the X server: on a busy machine that takes a while.
        deadline = time.time() + (40 if "--direct" in self.options else 10)
        while True:
            got = self.client_pixels(at, size)
            got = bytes(a & b for a, b in zip(got, mask)) if self.depth == 16 else got
            if got == want:
                return
            if time.time() > deadline:
                break
            time.sleep(0.2)
        picture = os.path.join(self.work, "%s-screen.png" % name)
        subprocess.run([self.args.convert, "-size", "%dx%d" % size, "-depth", "8", "rgb:-", picture], input=got)
        if len(got) != len(want):
            raise Failure("%s: the screenshot has %d bytes, the frame %d" % (name, len(got), len(want)))
        first = next(i for i in range(len(want)) if got[i] != want[i]) // 3
        count = sum(1 for i in range(0, len(want), 3) if got[i:i + 3] != want[i:i + 3])
        raise Failure("%s at %d-bit depth: %d pixels differ from the off-screen frame, the first at %d,%d "
                      "(screenshot: %s)" % (name, self.depth, count, first % size[0], first // size[0], picture))

    def check_presented(self, name, size):
        """The frame that first showed the state put only what changed on the screen (the button)."""
        with open(self.report) as report:
            lines = report.read().splitlines()
        last = max(i for i, line in enumerate(lines) if line.startswith("frame "))
        found = re.match(r"^presented (\d+) px$", lines[last + 1]) if last + 1 < len(lines) else None
        if not found:
            raise Failure("%s: the report does not say what the frame presented" % name)
        if int(found.group(1)) * 10 > size[0] * size[1]:
            raise Failure("%s: the frame presented %s of %d pixels, more than what changed" %
                          (name, found.group(1), size[0] * size[1]))

    def format(self):
        """The pixel format the program draws in, as it reports it. The first
        start of Wine in a new prefix takes a while."""
        deadline = time.time() + 300
        while time.time() < deadline and self.program.poll() is None:
            if os.path.exists(self.report):
                with open(self.report) as report:
                    for line in report.read().splitlines():
                        if line.startswith("format "):
                            return line.split()[1]
            time.sleep(0.05)
        raise Failure("the window never said its pixel format")

    def walk(self):
        fmt = self.format()
        if fmt != ("565" if self.depth == 16 else "32"):
            raise Failure("the window draws in %s on a %d-bit display" % (fmt, self.depth))
        size = (640, 480)
        frames = reference_frames(self.args, self.work, fmt, size, self.options)
        origin = self.wait_for(STATES[0][3], size)
        for name, pointer, down, regions in self.states:
            if pointer is not None:
                self.xdotool("mousemove", str(origin[0] + pointer[0]), str(origin[1] + pointer[1]))
            if down:
                self.xdotool("mousedown", "1")
            self.check(name, self.wait_for(regions, size), size, frames[name])
            if name in ("ok-hover", "ok-pressed") and "--direct" not in self.options:
                self.check_presented(name, size)
            if down:
                self.xdotool("mouseup", "1")
        self.xdotool("mousemove", *map(str, OUTSIDE))
        self.wait_for(STATES[0][3], size)
        windows = self.xdotool("search", "--name", "ziv-demo").split()
        for window in windows:
            self.xdotool("windowsize", window, *map(str, RESIZED))
        resized = reference_frames(self.args, self.work, fmt, RESIZED, self.options)
        self.check("resized", self.wait_for(STATES[0][3], RESIZED), RESIZED, resized["idle"])
        for window in windows:
            subprocess.run(["xdotool", "key", "--window", window, "Escape"], env=self.env, stderr=subprocess.DEVNULL)
        try:
            status = self.program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise Failure("Escape did not end the program")
        with open(self.report) as report:
            lines = report.read().splitlines()
        if status != 0 or lines[-1] != "closed, every surface released":
            raise Failure("the program ended with status %d; its report ends: %s" % (status, lines[-1]))
        ours = []
        for name in os.listdir(self.work):
            if name.startswith("lsan."):
                with open(os.path.join(self.work, name)) as log:
                    records = log.read().split("leak of ")[1:]
                ours += [r for r in records if re.search(r"ziv|Hosts/demo|RendererModules|Platform/", r)]
        if ours:
            raise Failure("LeakSanitizer: %d leaks of this project's code, the first:\n%s" % (len(ours), ours[0]))

    def stop(self):
        if self.program.poll() is None:
            self.program.kill()
            self.program.wait()


def check_usage_error(args, display, work):
    """A mistake on the command line of a run with a report file: the line on
    standard error and exit status 2, never a box that waits for a person."""
    env = dict(os.environ, DISPLAY=display, WINEPREFIX=args.prefix or "", WINEDEBUG="-all")
    report = os.path.join(work, "usage.txt")
    command = [args.wine, args.exe, "--report", "Z:" + report] if args.wine else [args.demo, "--window", "--report", report]
    try:
        done = subprocess.run(command + ["--bogus"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                              timeout=120)
    except subprocess.TimeoutExpired:
        raise Failure("a wrong option with --report waits for someone")
    if done.returncode != 2 or b"ziv-demo: unknown option '--bogus'" not in done.stderr:
        raise Failure("a wrong option: exit %d, printed %r" % (done.returncode, done.stderr))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--demo", required=True)
    parser.add_argument("--assets", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--depths", default="24,16")
    parser.add_argument("--options", default="", help="more options for the program, such as --direct")
    parser.add_argument("--wine")
    parser.add_argument("--exe")
    parser.add_argument("--prefix")
    parser.add_argument("--wineserver", default="wineserver")
    parser.add_argument("--direct-too", action="store_true", help="walk the --direct program too (Windows)")
    args = parser.parse_args()
    if shutil.which("Xvfb") is None:
        print("skipped: no Xvfb (Debian package xvfb)")
        return 77
    args.imagemagick = "/usr/bin/" if os.path.exists("/usr/bin/import") else ""
    args.convert = args.imagemagick + "convert"
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    failed = False
    for depth in [int(d) for d in args.depths.split(",")]:
        server, display = start_xvfb(depth)
        work = os.path.join(args.work, "depth%d" % depth)
        os.makedirs(work)
        session, label = None, "%d-bit depth" % depth
        try:
            check_usage_error(args, display, work)
            session = Session(args, display, work, depth, args.options.split())
            session.walk()
            print("%d-bit depth: every state equals its off-screen frame" % depth)
            if args.direct_too:
                session.stop()
                work = os.path.join(args.work, "depth%d-direct" % depth)
                os.makedirs(work)
                label += ", drawn on the primary surface"
                session = Session(args, display, work, depth, args.options.split() + ["--direct"], STATES[:3])
                session.walk()
                print("%s: every state equals its off-screen frame" % label)
        except (Failure, subprocess.CalledProcessError) as error:
            print("FAILED at %s: %s" % (label, error))
            failed = True
        finally:
            if session is not None:
                session.stop()
            if args.wine:
                subprocess.run([args.wineserver, "-k"], env=dict(os.environ, WINEPREFIX=args.prefix))
            server.terminate()
            server.wait()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
