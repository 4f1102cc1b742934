#!/usr/bin/env python3
"""Prints the version resource of a Windows program, read back from the file as Windows reads it:
one line per string, LANGCODEPAGE KEY=VALUE, then the translations.

    version_resource.py EXE
"""
import struct
import subprocess
import sys


def node(data, at):
    """One VS_VERSIONINFO node at `at`: (key, value, children, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16le")
    pos = (key_end + 2 + 3) & ~3
    size = value_length * 2 if kind == 1 else value_length
    value = data[pos:pos + size]
    pos = (pos + size + 3) & ~3
    children = []
    while pos < end:
        child = node(data, pos)
        children.append(child)
        pos = (child[3] + 3) & ~3
    return key, value, children, end


def main(exe):
    data = subprocess.run(["wrestool", "--raw", "-x", "-t", "16", exe], check=True,
                          capture_output=True).stdout
    key, _, children, _ = node(data, 0)
    assert key == "VS_VERSION_INFO", key
    for name, _, blocks, _ in children:
        if name == "StringFileInfo":
            for table, _, strings, _ in blocks:
                for k, v, _, _ in strings:
                    print("%s %s=%s" % (table, k, v.decode("utf-16le").rstrip("\0")))
        elif name == "VarFileInfo":
            for _, value, _, _ in blocks:
                pairs = struct.unpack("<%dH" % (len(value) // 2), value)
                print("Translation " + " ".join("%04x:%d" % pairs[i:i + 2] for i in range(0, len(pairs), 2)))


if __name__ == "__main__":
    main(sys.argv[1])
