#!/usr/bin/python3
"""Feeds damaged zone files to velmora-inspect and keeps those it crashes on.

Usage: scripts/fuzz-zone-files.py SECONDS [SEED] [BUILD]
BUILD is a build directory with the sanitizers on (default: build-test). Each
round damages one of the shipped examples or test fixtures (bytes, numbers,
attribute values, element texts, cuts) and runs the checker, the schedule, the
comparison and a plain load on it. A crash, a sanitizer report or a run over a
minute leaves the file and what was printed in fuzz-out/.
"""
import os
import random
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NUMBERS = [b'0', b'-1', b'4294967295', b'4294967296', b'2147483648', b'-2147483649', b'99999999999999999999',
           b'1e308', b'nan', b'', b'00:00', b'24:00', b'23:59:60', b'31.02', b'29.02', b'0.0', b'-0']
VALUES = NUMBERS + [b'a;b', b'1,2;3', b';;', b',', b'1,1;1,1;1,1', b'&amp;', b'\xff\xfe']
TEXTS = NUMBERS + [b'1,2;3,4;5', b'0,0;0,0;0,0', b'1e308,1;2,2;3,3', b'nan,nan;1,1;2,2', b'1,2,3,4', b';',
                   b'00:00 1', b'1111111', b'12345678']


def replace_match(data, pattern, make):
    found = list(re.finditer(pattern, bytes(data)))
    if found:
        match = random.choice(found)
        data[match.start():match.end()] = make()


def damage(original):
    data = bytearray(original)
    for _ in range(random.randint(1, 4)):
        if not data:
            break
        at = random.randrange(len(data))
        kind = random.randint(0, 6)
        if kind == 0:
            data[at] = random.randrange(256)
        elif kind == 1:
            del data[at:at + random.randint(1, 40)]
        elif kind == 2:
            start = random.randrange(len(data))
            data[at:at] = data[start:start + random.randint(1, 200)]
        elif kind == 3:
            replace_match(data, rb'\d+', lambda: random.choice(NUMBERS))
        elif kind == 4:
            del data[at:]
        elif kind == 5:
            replace_match(data, rb'"[^"]*"', lambda: b'"' + random.choice(VALUES) + b'"')
        else:
            replace_match(data, rb'>[^<]*<', lambda: b'>' + random.choice(TEXTS) + b'<')
    return bytes(data)


def zone_files():
    for folder in ('examples', 'tests/data'):
        for path, _, names in os.walk(os.path.join(ROOT, folder)):
            for name in names:
                if name.endswith('.xtsc') and os.path.getsize(os.path.join(path, name)) < 200000:
                    with open(os.path.join(path, name), 'rb') as file:
                        yield file.read()


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 60
    random.seed(int(sys.argv[2]) if len(sys.argv) > 2 else 1)
    inspect = os.path.join(ROOT, sys.argv[3] if len(sys.argv) > 3 else 'build-test', 'bin', 'velmora-inspect')
    out = os.path.join(ROOT, 'fuzz-out')
    os.makedirs(out, exist_ok=True)
    env = dict(os.environ, QT_QPA_PLATFORM='offscreen', ASAN_OPTIONS='detect_leaks=0:abort_on_error=1',
               UBSAN_OPTIONS='print_stacktrace=1:halt_on_error=1')
    originals = list(zone_files())
    damaged_path, original_path = os.path.join(out, 'damaged.xtsc'), os.path.join(out, 'original.xtsc')
    runs = found = 0
    deadline = time.time() + seconds
    while time.time() < deadline:
        original = random.choice(originals)
        damaged = damage(original)
        with open(damaged_path, 'wb') as file:
            file.write(damaged)
        with open(original_path, 'wb') as file:
            file.write(original)
        for args in (['--check', damaged_path], ['--schedule', '2027-01-01..2027-01-02', damaged_path],
                     ['--diff', original_path, damaged_path], [damaged_path]):
            runs += 1
            try:
                run = subprocess.run([inspect] + args, env=env, capture_output=True, timeout=60)
                said = run.stderr.decode('utf-8', 'replace')
                failed = run.returncode < 0 or run.returncode > 2 or 'Sanitizer' in said or 'runtime error' in said
            except subprocess.TimeoutExpired:
                run, said, failed = None, 'over a minute', True
            if failed:
                found += 1
                with open(os.path.join(out, 'found-%d.xtsc' % found), 'wb') as file:
                    file.write(damaged)
                with open(os.path.join(out, 'found-%d.txt' % found), 'w') as file:
                    file.write(' '.join(args) + '\n' + said[-4000:])
    print('runs', runs, 'found', found)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
