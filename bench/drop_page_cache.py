#!/usr/bin/env python3
"""Empties the page cache for every file under the given folders, without root:
each file is flushed (dirty pages cannot be dropped) and then advised
POSIX_FADV_DONTNEED. Usage: bench/drop_page_cache.py DIR..."""
import os
import sys


def drop(path: str) -> None:
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fdatasync(fd)
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    finally:
        os.close(fd)


def main(roots: list[str]) -> int:
    if not roots:
        print(__doc__, file=sys.stderr)
        return 2
    for root in roots:
        for folder, _, names in os.walk(root):
            for name in names:
                drop(os.path.join(folder, name))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
