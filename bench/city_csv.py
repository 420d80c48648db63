#!/usr/bin/env python3
"""Writes a random city CSV to standard output, the same for the same seed on every machine.

    bench/city_csv.py BUILDINGS [SEED]

Buildings of styles A and B, 1 to 8 cells wide and long and 1 to 12 storeys, on a grid of lots
40 cells apart (no two overlap), each turned by a multiple of 90 degrees, with a door and some
balconies and closed walls drawn at random.
"""
import random
import sys


def main():
    count = int(sys.argv[1])
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 1)
    side = max(1, int(count ** 0.5 + 0.999))
    out = sys.stdout
    out.write("id,style,width,length,height,door,balcony,close,x,z,angle\n")
    sides = "NSEW"
    for row in range(count):
        door = rng.choice(sides) + rng.choice("LCR")
        balcony = " ".join(rng.choice(sides) + rng.choice("AEOC") for _ in range(rng.randint(0, 2)))
        close = " ".join(rng.choice(sides) + rng.choice("AEOC") for _ in range(rng.randint(0, 1)))
        out.write("lot_%d,%s,%d,%d,%d,%s,%s,%s,%d,%d,%d\n" % (
            row + 1, rng.choice("AB"), rng.randint(1, 8), rng.randint(1, 8), rng.randint(1, 12),
            door, balcony, close, 40 * (row % side), 40 * (row // side), 90 * rng.randint(0, 3)))


if __name__ == "__main__":
    main()
