#!/usr/bin/env python3
"""Time of quorlane.read_bic_directory on a БИК directory of full size.

For a synthetic ED807 of realistic size (gen_bic_directory.py; 4,000 entries by default, a little more than
the Bank of Russia's whole directory), in windows-1251 as published and in UTF-8, it prints the file's size,
the best time of reading it into a BicDirectory (target: well under a second), and the ratio to
xml.etree.ElementTree.parse of the same file, which only builds the element tree that the reader never makes.

The directories are kept under bench/data/ (git-ignored).
Usage: bench_bic_directory.py [--entries N] [--repeat R]
"""

from __future__ import annotations

import argparse
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from bench_parse import best_time, generated  # noqa: E402  (the same cache folder and timing)


def directory_file(entries: int, encoding: str) -> Path:
    return generated(f"ed807-{entries}-{encoding}.xml", "gen_bic_directory.py", "--entries", str(entries),
                     "--encoding", encoding)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--entries", type=int, default=4000)
    parser.add_argument("--repeat", type=int, default=7)
    args = parser.parse_args()

    import quorlane

    print(f"{'encoding':<8} {'size':>8} {'entries':>8} {'read_bic_directory':>19} {'ElementTree.parse':>18} "
          f"{'ratio':>6}")
    for encoding in ("cp1251", "utf-8"):
        path = directory_file(args.entries, encoding)
        directory = quorlane.read_bic_directory(path)
        reading = best_time(lambda: quorlane.read_bic_directory(path), args.repeat)
        tree = best_time(lambda: ElementTree.parse(path), args.repeat)
        size = path.stat().st_size / 1e6
        print(f"{encoding:<8} {size:>6.2f}MB {len(directory):>8} {reading * 1e3:>16.1f}ms {tree * 1e3:>15.1f}ms "
              f"{reading / tree:>5.2f}x")


if __name__ == "__main__":
    main()
