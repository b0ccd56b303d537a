#!/usr/bin/env python3
"""Generates the sample classified map used by the demo.

The landscape is a mosaic of patches of twelve classes: seeds jittered on a coarse
lattice, each pixel taking the class of its nearest seed after its position has been
bent by a smooth noise field, then a majority filter to round off the patch edges.
A small blob and a few scattered pixels carry 255, the code of pixels without class.

The output is deterministic (its own random generator, no library), so the committed
map can always be rebuilt byte for byte:

    python3 tools/make_sample_map.py data/sample

writes data/sample.raw (one byte per pixel, top line first) and data/sample.txt (lines,
columns, 1, 0, 255 and the pixel size in metres, one per line).
"""

import math
import sys

LINES = 300
COLUMNS = 400
PIXEL_SIZE = 25  # metres
CELL = 36  # spacing of the seed lattice, in pixels
CODES = [3, 7, 12, 18, 21, 25, 33, 40, 41, 52, 60, 64]  # twelve classes
NO_VALUE = 255


class Random:
    """A 32-bit xorshift generator: the same numbers on every system and version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def uniform(self):
        return self.next() / 4294967296.0

    def below(self, n):
        return self.next() % n


def value_noise(rnd, lines, columns, step):
    """Smooth noise in [-1, 1): random values on a lattice, interpolated between."""
    gl = lines // step + 2
    gc = columns // step + 2
    lattice = [[rnd.uniform() * 2 - 1 for _ in range(gc)] for _ in range(gl)]

    def at(i, j):
        y, x = i / step, j / step
        i0, j0 = int(y), int(x)
        fy, fx = y - i0, x - j0
        # Smoothstep weights avoid visible lattice lines.
        fy = fy * fy * (3 - 2 * fy)
        fx = fx * fx * (3 - 2 * fx)
        top = lattice[i0][j0] * (1 - fx) + lattice[i0][j0 + 1] * fx
        bottom = lattice[i0 + 1][j0] * (1 - fx) + lattice[i0 + 1][j0 + 1] * fx
        return top * (1 - fy) + bottom * fy

    return at


def generate():
    rnd = Random(20230501)

    # One seed per lattice cell, jittered inside it, with a class drawn at random;
    # neighbouring seeds often share their class, which makes larger formations.
    rows = LINES // CELL + 2
    cols = COLUMNS // CELL + 2
    seeds = {}
    for r in range(rows):
        for c in range(cols):
            y = (r + rnd.uniform()) * CELL
            x = (c + rnd.uniform()) * CELL
            if c > 0 and rnd.uniform() < 0.35:
                code = seeds[(r, c - 1)][2]
            elif r > 0 and rnd.uniform() < 0.35:
                code = seeds[(r - 1, c)][2]
            else:
                code = CODES[rnd.below(len(CODES))]
            seeds[(r, c)] = (y, x, code)

    warp_y = value_noise(rnd, LINES, COLUMNS, 48)
    warp_x = value_noise(rnd, LINES, COLUMNS, 48)
    fine_y = value_noise(rnd, LINES, COLUMNS, 12)
    fine_x = value_noise(rnd, LINES, COLUMNS, 12)

    grid = [[0] * COLUMNS for _ in range(LINES)]
    for i in range(LINES):
        for j in range(COLUMNS):
            y = i + 22 * warp_y(i, j) + 5 * fine_y(i, j)
            x = j + 22 * warp_x(i, j) + 5 * fine_x(i, j)
            r0 = int(y // CELL)
            c0 = int(x // CELL)
            best, code = None, CODES[0]
            for r in range(r0 - 1, r0 + 2):
                for c in range(c0 - 1, c0 + 2):
                    s = seeds.get((r, c))
                    if s is None:
                        continue
                    d = (s[0] - y) ** 2 + (s[1] - x) ** 2
                    if best is None or d < best:
                        best, code = d, s[2]
            grid[i][j] = code

    # Majority filter over 3 x 3 neighbourhoods: smooth edges, no isolated pixels.
    smooth = [row[:] for row in grid]
    for i in range(1, LINES - 1):
        for j in range(1, COLUMNS - 1):
            counts = {}
            for di in (-1, 0, 1):
                for dj in (-1, 0, 1):
                    v = grid[i + di][j + dj]
                    counts[v] = counts.get(v, 0) + 1
            v, n = max(counts.items(), key=lambda kv: (kv[1], -kv[0]))
            if n >= 5:
                smooth[i][j] = v
    grid = smooth

    # Pixels without class: a small blob (a cloud over the scene) and a few strays.
    ci, cj, radius = 212, 287, 4.6
    for i in range(LINES):
        for j in range(COLUMNS):
            if math.hypot(i - ci, j - cj) <= radius:
                grid[i][j] = NO_VALUE
    for _ in range(12):
        grid[rnd.below(LINES)][rnd.below(COLUMNS)] = NO_VALUE
    return grid


def main():
    base = sys.argv[1] if len(sys.argv) > 1 else "data/sample"
    grid = generate()
    with open(base + ".raw", "wb") as f:
        for row in grid:
            f.write(bytes(row))
    with open(base + ".txt", "w", newline="\n") as f:
        f.write("%d\n%d\n1\n0\n255\n%d\n" % (LINES, COLUMNS, PIXEL_SIZE))


if __name__ == "__main__":
    main()
