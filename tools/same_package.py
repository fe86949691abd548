#!/usr/bin/env python3
"""Compares two ZIP packages entry by entry: the same names in the same order,
the same modification times and the same uncompressed bytes, every entry's
CRC checked. The compressed bytes may differ. Exit status 1 and the first
difference on standard error when they are not the same.

    tools/same_package.py A B
"""
import sys
import zipfile


def main():
    a, b = (zipfile.ZipFile(path) for path in sys.argv[1:3])
    left, right = a.infolist(), b.infolist()
    names = [i.filename for i in left], [i.filename for i in right]
    if names[0] != names[1]:
        sys.exit("entries differ: %s / %s" % names)
    for x, y in zip(left, right):
        if x.date_time != y.date_time:
            sys.exit("%s: time %s / %s" % (x.filename, x.date_time, y.date_time))
        if a.read(x) != b.read(y):  # reading checks the CRC
            sys.exit("%s: bytes differ" % x.filename)


if __name__ == "__main__":
    main()
