#!/usr/bin/env python3
"""Measures whether the engines of an xboard match think on the opponent's time.

   match-meter.py DEBUG_LOG FIRST_DIR SECOND_DIR OUT_JSON WATCH_PID

Ten times a second it adds up the processor time of the processes working in each engine's folder (the
engine, and polyglot in front of a UCI engine) and charges the increase to whose move it is, read from
xboard's debug log as it grows (its time stamps, in milliseconds, place each hand-over): once xboard hands
a move (or "go") to an engine, that engine is on move. Tenths of a second in which the move changed hands
are left out of both sides' figures. An engine
that ponders burns processor time on the opponent's move; one that does not stays near zero there. It stops
when WATCH_PID has ended and writes OUT_JSON (also every few seconds, so a killed run keeps its figures).
"""
import json
import os
import re
import sys
import time

# xboard writes "<first : move e2e4" when an engine moves and ">second: e2e4" (or "usermove e2e4", or "go")
# when it hands the move on: from then on that engine is on move. Partial lines may run together in the log,
# so the forwarded move is looked for at the end of the line.
HANDED = re.compile(r'>(first|second)\s*: (?:usermove )?(?:[a-h][1-8][a-h][1-8][nbrq]?|go|playother)$')
STAMP = re.compile(r'^(\d+) [<>]')
IDLE = re.compile(r'>(first|second)\s*: (?:result.*|new|force|quit)$')
TICKS = os.sysconf('SC_CLK_TCK')


def engine_pids(folders):
    """The processes working in each side's folder (the engine, and polyglot in front of a UCI engine)."""
    found = {}
    for pid in os.listdir('/proc'):
        if not pid.isdigit():
            continue
        try:
            cwd = os.readlink(f'/proc/{pid}/cwd')
        except OSError:
            continue
        for side, folder in folders.items():
            if cwd == folder:
                found[pid] = side
    return found


def cpu_seconds(pid):
    try:
        with open(f'/proc/{pid}/stat') as f:
            fields = f.read().rsplit(')', 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def main():
    debug_log, first_dir, second_dir, out, watch = sys.argv[1:6]
    watch = int(watch)
    folders = {'first': os.path.realpath(first_dir), 'second': os.path.realpath(second_dir)}
    # cpu[side][whose move it is]: seconds; wall[whose move]: seconds. Intervals in which the move changed
    # hands are kept apart as "mixed": their processor time cannot be told apart.
    cpu = {s: {'own': 0.0, 'opponent': 0.0, 'idle': 0.0, 'mixed': 0.0} for s in folders}
    wall = {'first': 0.0, 'second': 0.0, 'idle': 0.0, 'mixed': 0.0}
    changes = [(0.0, None)]  # (monotonic time, who is on move from then on)
    lag = None               # monotonic time minus xboard's time stamp, smallest seen
    pending = []             # (start, end, {side: cpu seconds}) not yet charged
    last = {}
    pids = {}
    scanned = 0.0
    offset = 0
    partial = ''
    previous = time.monotonic()
    written = previous

    def state_at(t):
        state = None
        for when, who in changes:
            if when > t:
                break
            state = who
        return state

    def charge(upto):
        while pending and pending[0][1] <= upto:
            a, b, spent = pending.pop(0)
            mixed = any(a < when <= b for when, _ in changes)
            state = 'mixed' if mixed else state_at(a)
            wall[state or 'idle'] += b - a
            for side, seconds in spent.items():
                if state in ('mixed', None):
                    cpu[side][state or 'idle'] += seconds
                else:
                    cpu[side]['own' if state == side else 'opponent'] += seconds

    def save():
        with open(out + '.tmp', 'w') as f:
            json.dump({'cpu': cpu, 'wall': wall}, f, indent=1)
        os.replace(out + '.tmp', out)

    while True:
        running = alive(watch)
        time.sleep(0.1)
        now = time.monotonic()
        if now - scanned > 2:
            pids = engine_pids(folders)
            scanned = now
        spent = {side: 0.0 for side in folders}
        for pid, side in pids.items():
            total = cpu_seconds(pid)
            if total is None:
                continue
            spent[side] += total - last.get(pid, 0.0)
            last[pid] = total
        pending.append((previous, now, spent))
        previous = now
        try:
            with open(debug_log, errors='replace') as f:
                f.seek(offset)
                chunk = f.read()
                offset = f.tell()
        except OSError:
            chunk = ''
        partial += chunk
        *lines, partial = partial.split('\n')
        for line in lines:
            stamp = STAMP.match(line)
            if stamp:
                # A line is read after it was written: the smallest difference is the best clock match.
                seen = now - int(stamp.group(1)) / 1000
                lag = seen if lag is None else min(lag, seen)
            when = now if lag is None or not stamp else lag + int(stamp.group(1)) / 1000
            if line.startswith('GameEnds'):
                changes.append((now, None))
            elif m := HANDED.search(line):
                changes.append((when, m.group(1)))
            elif IDLE.search(line):
                changes.append((when, None))
        changes.sort(key=lambda c: c[0])
        # Charge what the log has certainly caught up with.
        charge(now - 1.0)
        if len(changes) > 200:
            del changes[:-50]
        if now - written > 5:
            save()
            written = now
        if not running:
            break
    charge(float('inf'))
    save()


if __name__ == '__main__':
    main()
