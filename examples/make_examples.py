#!/usr/bin/env python3
"""Writes the example job files of this folder (RML-1, counts of 0.01 mm).

    python3 examples/make_examples.py           writes engraving.rml, pocket.rml, rotary.rml
    python3 examples/make_examples.py --check   exits 1 when a file differs from what it would write

Every file keeps to X 0..100 mm, Y 0..100 mm and Z 0..75 mm from the origin, so
it runs within the travel both from a fresh installation's origin (the machine's
own, Z 0 at the bottom of the travel) and from an origin at mid-table 30 mm up.
That is why Z 0 is the table here (or the rotary axis), not the top of the stock.

It also prints each file's size, command count and machine time, from the same
rules the simulated machine moves by (sim/machine/motion.cpp).
"""

import math
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent

# Where every job ends: raised to Z 60 mm, at X 0 and Y 100 mm, clear of the work.
PARK_Z = 6000
PARK = (0, 10000)

MAX_XY_MM_PER_MIN = 3000
MAX_Z_MM_PER_MIN = 1800
MAX_A_DEG_PER_MIN = 3600


class Job:
    """Collects commands and follows the tool, so the machine time comes out too."""

    def __init__(self):
        self.lines = []
        # x, y, z, a: the time counts from where a previous run ended.
        self.pos = [float(PARK[0]), float(PARK[1]), float(PARK_Z), 0.0]
        self.xy_speed = 10.0  # mm/s, the machine's defaults
        self.z_speed = 5.0
        self.speed_3d = None
        self.down = 0
        self.up = 0
        self.minutes = 0.0

    def line(self, *commands):
        self.lines.append("".join(c + ";" for c in commands))

    def _move(self, target, mm_per_s):
        x, y, z, a = self.pos
        dx, dy, dz = (target[0] - x) / 100, (target[1] - y) / 100, (target[2] - z) / 100
        da = abs(target[3] - a)
        speed = min(max(mm_per_s * 60, 1), MAX_XY_MM_PER_MIN)
        self.minutes += max(math.sqrt(dx * dx + dy * dy + dz * dz) / speed,
                            abs(dz) / MAX_Z_MM_PER_MIN,
                            da / min(speed, MAX_A_DEG_PER_MIN))
        self.pos = list(target)

    def _z_only(self, z):
        self._move([self.pos[0], self.pos[1], z, self.pos[3]], self.z_speed)

    def _xy(self, x, y):
        self._move([x, y, self.pos[2], self.pos[3]], self.xy_speed)

    # -- commands ------------------------------------------------------------
    def header(self, *commands):
        """The opening line of CAM output: modes, speeds, heights, spindle."""
        for c in commands:
            if c.startswith("VS"):
                self.xy_speed = float(c[2:])
            elif c.startswith("!VZ"):
                self.z_speed = float(c[3:])
            elif c.startswith("V"):
                self.speed_3d = self.z_speed = float(c[1:])
            elif c.startswith("!PZ"):
                self.down, self.up = (int(v) for v in c[3:].split(","))
            elif c.startswith("!DW"):
                self.minutes += int(c[3:]) / 60000
        self.line(*commands)

    def pz(self, down, up):
        self.down, self.up = down, up
        self.line(f"!PZ{down},{up}")

    def pu(self, x, y):
        self._z_only(self.up)
        self._xy(x, y)
        self.line(f"PU{x},{y}")

    def pd(self, x, y):
        self._z_only(self.down)
        self._xy(x, y)
        self.line(f"PD{x},{y}")

    def z(self, x, y, z):
        self._move([x, y, z, self.pos[3]], self.speed_3d or self.xy_speed)
        self.line(f"Z{x},{y},{z}")

    def ze(self, dx, dy, dz, da):
        """4-axis move, all four relative; A in degrees."""
        x, y, z, a = self.pos
        self._move([x + dx, y + dy, z + dz, a + da], self.speed_3d or self.xy_speed)
        self.line(f"!ZE{dx},{dy},{dz},{da}")

    def park(self):
        """Raise, move clear of the work and stop the spindle, as CAM output ends."""
        self.up = PARK_Z
        self._z_only(PARK_Z)
        self._xy(*PARK)
        self.line("PA", "PA", f"!PZ0,{PARK_Z}", f"PU{PARK[0]},{PARK[1]}", "!MC0")

    def text(self):
        return "".join(line + "\n" for line in self.lines)


def polyline_cut(job, points, depth):
    """One stroke as PCB-style CAM writes it: up to the start, down, along, up."""
    x0, y0 = points[0]
    job.pu(x0, y0)
    for x, y in points:
        job.z(x, y, depth)
    job.pu(*points[-1])


# --- engraving.rml ------------------------------------------------------------

def arc(cx, cy, rx, ry, start_deg, end_deg, steps):
    return [(cx + rx * math.cos(math.radians(start_deg + (end_deg - start_deg) * i / steps)),
             cy + ry * math.sin(math.radians(start_deg + (end_deg - start_deg) * i / steps)))
            for i in range(steps + 1)]


# Single-stroke capitals on a grid 4 wide and 6 high.
FONT = {
    "T": [[(0, 6), (4, 6)], [(2, 6), (2, 0)]],
    "A": [[(0, 0), (2, 6), (4, 0)], [(0.67, 2), (3.33, 2)]],
    "R": [[(0, 0), (0, 6), (2.5, 6)] + arc(2.5, 4.5, 1.5, 1.5, 90, -90, 6)[1:] + [(0, 3)],
          [(2, 3), (4, 0)]],
    "N": [[(0, 0), (0, 6), (4, 0), (4, 6)]],
    "W": [[(0, 6), (1, 0), (2, 4), (3, 0), (4, 6)]],
    "I": [[(1, 6), (3, 6)], [(2, 6), (2, 0)], [(1, 0), (3, 0)]],
    "C": [arc(2, 3, 2, 3, 50, 310, 12)],
    "K": [[(0, 0), (0, 6)], [(4, 6), (0, 2)], [(1.2, 3.2), (4, 0)]],
}


def rounded_rect(x0, y0, x1, y1, r, steps=6):
    pts = []
    for cx, cy, start in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0),
                          (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)):
        pts += arc(cx, cy, r, r, start, start + 90, steps)
    return pts + [pts[0]]


def counts(points):
    return [(round(x * 100), round(y * 100)) for x, y in points]


def engraving():
    """'TARNWICK' in a rounded frame on a 10 mm plate, 0.3 mm deep."""
    job = Job()
    surface, depth = 1000, 970
    job.header("PA", "PA", "VS8", "!VZ4", "!PZ0,1200", "!RC15", "!MC1")
    unit, pitch, left, bottom = 1.5, 8.0, 10.0, 10.0  # mm
    for i, letter in enumerate("TARNWICK"):
        for stroke in FONT[letter]:
            polyline_cut(job, counts([(left + i * pitch + u * unit, bottom + v * unit)
                                      for u, v in stroke]), depth)
    polyline_cut(job, counts(rounded_rect(6, 6, 76, 23, 3)), depth)
    job.park()
    assert depth < surface
    return job


# --- pocket.rml -----------------------------------------------------------------

def pocket():
    """A 40 x 24 mm pocket 3 mm deep in a 15 mm block, in four levels, 3.175 mm end mill."""
    job = Job()
    up = 1700  # 2 mm above the block
    x0, y0, x1, y1 = 2000, 2000, 6000, 4400
    r = 159  # tool radius
    left, right, front, back = x0 + r, x1 - r, y0 + r, y1 - r
    rows = math.ceil((back - front) / 150)  # step-over 1.5 mm at most
    job.header("PA", "PA", "VS4", "!VZ2", f"!PZ1500,{up}", "!RC12000", "!MC1", "!DW1500")
    for level in (1425, 1350, 1275, 1200):
        job.pz(level, up)
        job.pu(left, front)
        job.pd(left, front)
        # Zig-zag along X, then one pass around the wall for a clean side.
        for row in range(rows + 1):
            y = front + round((back - front) * row / rows)
            if row:
                job.pd(job.pos[0], y)
            job.pd(right if row % 2 == 0 else left, y)
        x = round(job.pos[0])
        corners = [(left, back), (left, front), (right, front), (right, back)]
        if x == left:
            corners = [(left, front), (right, front), (right, back), (left, back)]
        for cx, cy in corners:
            job.pd(cx, cy)
        job.pu(left, front)
    job.park()
    return job


# --- rotary.rml -----------------------------------------------------------------

def rotary():
    """Rings, a helix and flutes on a 20 mm bar in the rotary axis, 0.5 mm deep, with a
    1 mm ball cutter. Y 0 and Z 0 are on the axis; X 0 is the bar's free end."""
    job = Job()
    surface, groove, up = 1000, 950, 1300
    job.header("PA", "PA", "V15", "VS8", "!VZ4", f"!PZ0,{up}", "!RC10", "!MC1")
    # Three rings, turned alternately forwards and back, a quarter turn per command.
    for i, x in enumerate((500, 1000, 1500)):
        job.pu(x, 0)
        job.z(x, 0, groove)
        for _ in range(4):
            job.ze(0, 0, 0, 90 if i % 2 == 0 else -90)
        job.pu(x, 0)
    # A helix of two turns, 12 mm a turn: X and A together.
    job.pu(2000, 0)
    job.z(2000, 0, groove)
    for _ in range(24):
        job.ze(100, 0, 0, 30)
    job.pu(round(job.pos[0]), 0)
    # Eight flutes along X, the bar turned 45 degrees between them (tool raised).
    for _ in range(8):
        job.pu(4800, 0)
        job.z(4800, 0, groove)
        job.z(7000, 0, groove)
        job.pu(7000, 0)
        job.ze(0, 0, 0, 45)
    job.park()
    assert groove < surface < up
    return job


def main():
    check = "--check" in sys.argv[1:]
    stale = []
    print(f"{'file':<15}{'bytes':>7}{'commands':>10}{'machine time':>14}{'at x10':>9}")
    for job, name in ((engraving(), "engraving.rml"), (pocket(), "pocket.rml"),
                      (rotary(), "rotary.rml")):
        text = job.text()
        path = HERE / name
        if check:
            if not path.exists() or path.read_text() != text:
                stale.append(name)
        else:
            path.write_text(text)
        seconds = job.minutes * 60
        print(f"{name:<15}{len(text):>7}{text.count(';'):>10}"
              f"{seconds / 60:>10.1f} min{seconds / 10:>7.0f} s")
    if stale:
        print("out of date (run python3 examples/make_examples.py): " + ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
