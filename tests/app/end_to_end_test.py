#!/usr/bin/env python3
"""The moderator as a person uses it, end to end.

Starts a display server of its own, runs the real program in a fresh directory, types two bot
command lines, clicks Load Players and Go through a whole game, looks at a screenshot, clicks Reset
and Quit, and checks the move log. Controls are found where the layout puts them: positions in
dialog units, converted as the program converts them on this display (the dialog font's base
units, scaled down when the window would not fit the screen).

It does so on a large desktop screen, on the two common laptop screens 1366 x 768 and 1280 x 720,
and on a 1366 x 768 desktop drawn at a device pixel ratio of 2: the window must open whole on each.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

# Rectangles of the layout, in dialog units.
EDIT1 = (13, 138, 146, 13)
EDIT2 = (13, 284, 146, 13)
LOAD = (12, 435, 150, 14)
GO = (717, 343, 116, 44)
RESET = (717, 392, 116, 21)
QUIT = (717, 418, 116, 21)
BANNER = (376, 162, 132, 60)

RED = (255, 0, 0)
DARK_GREY = (73, 73, 73)
HOLE = (231, 231, 231)
WHITE = (255, 255, 255)


def cell(column, row):
    return (188 + 72 * (column - 1), 348 - 62 * (row - 1), 70, 61)


def mul_div(a, b, c):
    """a * b / c rounded half away from zero, as the dialog's conversion rounds."""
    n = a * b
    q, r = divmod(abs(n), c)
    if 2 * r >= c:
        q += 1
    return q if n >= 0 else -q


# The screens to run on: size in device pixels and device pixel ratio.
SCREENS = ((1920, 1080, 1), (1366, 768, 1), (1280, 720, 1), (2732, 1536, 2))


class Screen:
    def __init__(self, probe, env, ratio):
        self.probe = probe
        self.env = env
        self.ratio = ratio
        out = subprocess.check_output([probe, "units"], env=env, text=True)
        self.base_x, self.base_y, num, den = (int(v) for v in out.split())
        self.mul_x, self.div_x = self.base_x * num, 4 * den
        self.mul_y, self.div_y = self.base_y * num, 8 * den
        self.scaled = num != den

    def rect(self, window, dlu):
        """A rectangle of the layout in device pixels, for a window at `window` (device pixels)."""
        x, y, w, h = dlu
        r = self.ratio
        return (window[0] + r * mul_div(x, self.mul_x, self.div_x),
                window[1] + r * mul_div(y, self.mul_y, self.div_y),
                r * mul_div(w, self.mul_x, self.div_x), r * mul_div(h, self.mul_y, self.div_y))

    def centre(self, window, dlu):
        x, y, w, h = self.rect(window, dlu)
        return x + w // 2, y + h // 2

    def shot(self, path):
        subprocess.check_call([self.probe, "shot", path], env=self.env)
        with open(path, "rb") as f:
            data = f.read()
        # Binary PPM: "P6\n<width> <height>\n255\n" then RGB triples.
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        pos += 1
        width, height = int(fields[1]), int(fields[2])
        return Image(width, height, data[pos:])


class Image:
    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])


def close_to(colour, want, tolerance=10):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, want))


def xdotool(env, *args):
    # On a loaded machine xdotool now and then fails to connect to the display once
    # ("Can't open display"); a window that never shows still makes "search --sync" wait forever.
    for attempt in range(3):
        try:
            return subprocess.check_output(["xdotool", *args], env=env, text=True)
        except subprocess.CalledProcessError:
            if attempt == 2:
                raise
            time.sleep(0.5)


def click(env, point):
    xdotool(env, "mousemove", str(point[0]), str(point[1]))
    xdotool(env, "click", "1")
    time.sleep(0.15)


def start_display(width, height):
    read_fd, write_fd = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % (width, height),
         "-nolisten", "tcp"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    with os.fdopen(read_fd, "rb") as f:
        while not number.endswith(b"\n"):
            chunk = f.read(1)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
    return server, ":" + number.decode().strip()


def play(args, width, height, ratio, check):
    """The whole session on a screen of `width` x `height` device pixels at `ratio`; returns the
    directory it ran in."""
    workdir = tempfile.mkdtemp(prefix="fourfall-e2e-")
    server, display = start_display(width, height)
    moderator = None
    try:
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
        if ratio != 1:
            env["QT_SCALE_FACTOR"] = str(ratio)
        screen = Screen(args.probe, env, ratio)
        errors = open(os.path.join(workdir, "moderator.err"), "w+b")
        moderator = subprocess.Popen([args.moderator], cwd=workdir, env=env,
                                     stdout=subprocess.DEVNULL, stderr=errors)
        wid = xdotool(env, "search", "--sync", "--onlyvisible", "--name",
                      "^Fourfall Moderator$").split()[0]
        geometry = dict(line.split("=", 1) for line in
                        xdotool(env, "getwindowgeometry", "--shell", wid).split())
        window = (int(geometry["X"]), int(geometry["Y"]))
        size = (int(geometry["WIDTH"]), int(geometry["HEIGHT"]))
        check(window[0] >= 0 and window[1] >= 0 and window[0] + size[0] <= width
              and window[1] + size[1] <= height,
              "the window %dx%d at %d,%d lies inside the screen" % (size + window))
        check(screen.scaled == (ratio == 1 and width < 1600 or ratio == 2),
              "the layout is scaled exactly where it would not fit")
        time.sleep(0.5)

        click(env, screen.centre(window, EDIT1))
        xdotool(env, "type", "--delay", "5", args.bot + " 4444")
        click(env, screen.centre(window, EDIT2))
        xdotool(env, "type", "--delay", "5", args.bot + " 111")
        click(env, screen.centre(window, LOAD))
        time.sleep(0.6)

        # The start handshake, then seven half-moves: player 1 fills column 4 from the bottom
        # while player 2 plays column 1, and wins at its fourth disc.
        for _ in range(8):
            click(env, screen.centre(window, GO))
            time.sleep(0.35)

        image = screen.shot(os.path.join(workdir, "game.ppm"))
        for row in (1, 2, 3):
            colour = image.at(*screen.centre(window, cell(4, row)))
            check(close_to(colour, RED), "red disc in column 4, row %d: %s" % (row, colour))
            colour = image.at(*screen.centre(window, cell(1, row)))
            check(close_to(colour, DARK_GREY), "grey disc in column 1, row %d: %s" % (row, colour))
        colour = image.at(*screen.centre(window, cell(1, 4)))
        check(close_to(colour, HOLE), "column 1, row 4 is empty: %s" % (colour,))
        bx, by, bw, bh = screen.rect(window, BANNER)
        banner = [image.at(x, y) for y in range(by + 4, by + bh - 4, 2)
                  for x in range(bx + 4, bx + bw - 4, 2)]
        reds = sum(1 for c in banner if close_to(c, RED, 60))
        whites = sum(1 for c in banner if close_to(c, WHITE))
        check(reds > 20 and whites > len(banner) // 2,
              "the banner shows red lettering on white (%d red, %d white of %d)"
              % (reds, whites, len(banner)))

        click(env, screen.centre(window, RESET))
        time.sleep(0.3)
        image = screen.shot(os.path.join(workdir, "reset.ppm"))
        for column, row in ((4, 1), (1, 1), (4, 4)):
            colour = image.at(*screen.centre(window, cell(column, row)))
            check(close_to(colour, HOLE),
                  "after Reset column %d, row %d is empty: %s" % (column, row, colour))

        click(env, screen.centre(window, QUIT))
        try:
            code = moderator.wait(timeout=15)
            check(code == 0, "the program ends with status 0 after Quit (got %s)" % code)
            if code != 0:
                errors.seek(0)
                sys.stdout.write(errors.read().decode(errors="replace")[-6000:])
        except subprocess.TimeoutExpired:
            check(False, "the program ends after Quit")

        with open(os.path.join(workdir, "log.txt"), "rb") as f:
            log = f.read()
        check(log == b"\r\n4141414", "log.txt holds the moves: %r" % log)
    finally:
        if moderator is not None and moderator.poll() is None:
            moderator.kill()
            moderator.wait()
        server.terminate()
        server.wait()
    return workdir


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--moderator", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--bot", required=True)
    args = parser.parse_args()

    failures = []
    for width, height, ratio in SCREENS:
        print("screen %dx%d, device pixel ratio %d" % (width, height, ratio))

        def check(condition, what):
            print(("ok   " if condition else "FAIL ") + what)
            if not condition:
                failures.append(what)

        failed_before = len(failures)
        workdir = play(args, width, height, ratio, check)
        if len(failures) == failed_before:
            shutil.rmtree(workdir, ignore_errors=True)
        else:
            print("the session's files are kept in " + workdir)

    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
