#!/usr/bin/env python3
"""Prints a tone file's settings as the plugin's port assignments (symbol=value ...), so a host
can be set up as the program would be by that tone. Filters are not printed: they reach the
plugin by path."""
import struct
import sys


def main(path):
    data = open(path, 'rb').read()
    pos = 0

    def i32():
        nonlocal pos
        (v,) = struct.unpack_from('<i', data, pos)
        pos += 4
        return v

    def text():
        nonlocal pos
        n = i32()
        s = data[pos:pos + n - 1].decode('utf-8')
        pos += n
        return s

    def taps():
        nonlocal pos
        n = i32()
        pos += 4 * n

    i32()  # version
    names = ['range', 'range_adjust', 'left_shift', 'right_shift', 'mod_ratio', 'mod_depth', 'feedback',
             'distortion']
    ports = {name: text() for name in names}
    ports['detune'] = i32()
    ports['filter'] = 1 if i32() == 1 else 0
    ports['filter_input_volume'] = i32()
    ports['filter2_volume'] = i32()
    text(), text()
    taps(), taps()
    ports['filter_delay'] = i32()
    ports['filter_feedback'] = i32()
    print(' '.join(f'{k}={v}' for k, v in ports.items()))


if __name__ == '__main__':
    main(sys.argv[1])
