#!/usr/bin/env python3
"""Writes into an Ardour 7 session what Lua cannot make: a MIDI region holding one note, and an
automation ramp of one plugin port; and sets the session's range.

    edit_session.py SESSION.ardour NOTE ON OFF END PORT-SYMBOL RAMP-START RAMP-END FROM TO

Times in seconds. The region's MIDI file goes to interchange/NAME/midifiles/."""
import os
import re
import struct
import sys

SUPERCLOCK = 282240000  # Ardour 7's superclock ticks a second
PPQN = 1920


def smf(note, on_beats, off_beats):
    def vlq(n):
        out = [n & 0x7F]
        n >>= 7
        while n:
            out.insert(0, 0x80 | (n & 0x7F))
            n >>= 7
        return bytes(out)
    on, off = round(on_beats * PPQN), round(off_beats * PPQN)
    track = vlq(on) + bytes([0x90, note, 100]) + vlq(off - on) + bytes([0x80, note, 64]) + vlq(0) + b'\xff\x2f\x00'
    return (b'MThd' + struct.pack('>IHHH', 6, 0, 1, PPQN) + b'MTrk' + struct.pack('>I', len(track)) + track)


def main(path, note, on, off, end, symbol, ramp_start, ramp_end, value_from, value_to):
    note, on, off, end = int(note), float(on), float(off), float(end)
    ramp_start, ramp_end, value_from, value_to = map(float, (ramp_start, ramp_end, value_from, value_to))
    xml = open(path).read()
    name = re.search(r'<Session [^>]*name="([^"]*)"', xml).group(1)
    counter = int(re.search(r'id-counter="(\d+)"', xml).group(1))
    src, whole, reg, loc = counter + 1, counter + 2, counter + 3, counter + 4
    xml = xml.replace('id-counter="%d"' % counter, 'id-counter="%d"' % (counter + 10), 1)
    midi_dir = os.path.join(os.path.dirname(path), 'interchange', name, 'midifiles')
    os.makedirs(midi_dir, exist_ok=True)
    # The session's tempo is 120 bpm: two beats a second.
    open(os.path.join(midi_dir, 'held.mid'), 'wb').write(smf(note, on * 2, off * 2))
    length = 'a%d' % round(end * SUPERCLOCK)
    region = ('name="held%s" muted="0" opaque="1" locked="0" video-locked="0" automatic="%d" whole-file="%d" '
              'import="0" external="0" sync-marked="0" left-of-split="0" right-of-split="0" hidden="0" '
              'position-locked="0" valid-transients="0" start="a0" length="%s@a0" sync-position="a0" '
              'ancestral-start="a0" ancestral-length="a0@a0" stretch="1" shift="1" layering-index="0" tags="" '
              'contents="0" id="%d" type="midi" first-edit="nothing" source-0="%d" master-source-0="%d"')
    xml = xml.replace('<Sources/>', '<Sources>\n    <Source name="held.mid" type="midi" flags="" id="%d" '
                      'natural-position="a0" origin=""/>\n  </Sources>' % src, 1)
    xml = xml.replace('<Regions/>', '<Regions>\n    <Region %s/>\n  </Regions>' %
                      (region % ('', 1, 1, length, whole, src, src)), 1)
    xml, n = re.subn(r'(<Playlist [^>]*type="midi"[^>]*)/>',
                     lambda m: m.group(1) + '>\n      <Region %s/>\n    </Playlist>' %
                     (region % ('.1', 0, 0, length, reg, src, src)), xml, count=1)
    assert n == 1, 'no MIDI playlist'
    xml = xml.replace('<Locations/>', '<Locations>\n    <Location id="%d" name="session" start="a0" end="%s" '
                      'flags="IsSessionRange" locked="0" timestamp="0" cue="0"/>\n  </Locations>' % (loc, length[:]), 1)
    # The port's automation: held, then a straight ramp, then held again.
    param = re.search(r'<Controllable [^>]*parameter="(\d+)" symbol="%s"' % symbol, xml).group(1)
    events = '\n'.join('a%d %g' % (round(t * SUPERCLOCK), v) for t, v in
                       ((0, value_from), (ramp_start, value_from), (ramp_end, value_to), (end, value_to)))
    xml, n = re.subn(r'<AutomationList automation-id="parameter-%s"([^>]*)time-domain="[^"]*" state="Off"/>' % param,
                     lambda m: '<AutomationList automation-id="parameter-%s"%stime-domain="AudioTime" state="Play">'
                     '\n<events>%s\n</events>\n</AutomationList>' % (param, m.group(1), events), xml, count=1)
    assert n == 1, 'no automation list for ' + symbol
    open(path, 'w').write(xml)


if __name__ == '__main__':
    main(*sys.argv[1:])
