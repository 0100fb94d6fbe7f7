#!/usr/bin/env python3
"""Writes input pairs for the engine benchmarks.

  genInputs.py logs LINES PERCENT SEED LEFT RIGHT
      log-like lines of about 90 bytes that share long prefixes (time stamps, host and service
      names); RIGHT is LEFT with PERCENT % of its lines inserted, deleted or changed (a third
      each), in short runs spread over the whole file.
  genInputs.py different LINES SEED LEFT RIGHT
      two files of LINES lines each with no line in common.
"""

import random
import sys

LEVELS = ["INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR"]
SERVICES = ["gateway", "billing", "search", "auth", "storage", "mailer"]
PATHS = ["/api/v1/items", "/api/v1/users", "/api/v2/orders", "/static/app.js", "/health"]


def logLine(rng, index):
    seconds = index // 12
    stamp = "2026-12-07T%02d:%02d:%02d.%06dZ" % (
        (seconds // 3600) % 24, (seconds // 60) % 60, seconds % 60, rng.randrange(1000000))
    return "%s %s[%d]: %-5s id=%08x %s/%d status=%d %dms\n" % (
        stamp, rng.choice(SERVICES), 1000 + rng.randrange(9000), rng.choice(LEVELS),
        rng.getrandbits(32), rng.choice(PATHS), rng.randrange(100000),
        rng.choice((200, 200, 200, 204, 301, 404, 500)), rng.randrange(900))


def writeLogs(lineCount, percent, seed, leftPath, rightPath):
    rng = random.Random(seed)
    left = [logLine(rng, i) for i in range(lineCount)]
    right = []
    edits = int(lineCount * percent / 100)
    # Edits come in runs of 1 to 5 lines at random places; each run inserts, deletes or changes.
    starts = sorted(rng.sample(range(lineCount), max(1, edits // 3)))
    budget = edits
    position = 0
    for start in starts:
        if budget <= 0 or start < position:
            continue
        right.extend(left[position:start])
        run = min(budget, rng.randint(1, 5))
        budget -= run
        kind = rng.randrange(3)
        if kind == 0:  # inserted lines
            right.extend(logLine(rng, start) for _ in range(run))
            position = start
        elif kind == 1:  # deleted lines
            position = min(lineCount, start + run)
        else:  # changed lines
            right.extend(logLine(rng, start + k) for k in range(run))
            position = min(lineCount, start + run)
    right.extend(left[position:])
    with open(leftPath, "w") as out:
        out.writelines(left)
    with open(rightPath, "w") as out:
        out.writelines(right)


def writeDifferent(lineCount, seed, leftPath, rightPath):
    rng = random.Random(seed)
    for path, tag in ((leftPath, "L"), (rightPath, "R")):
        with open(path, "w") as out:
            out.writelines("%s%d %s" % (tag, i, logLine(rng, i)) for i in range(lineCount))


def main(args):
    if len(args) == 6 and args[0] == "logs":
        writeLogs(int(args[1]), float(args[2]), int(args[3]), args[4], args[5])
    elif len(args) == 5 and args[0] == "different":
        writeDifferent(int(args[1]), int(args[2]), args[3], args[4])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
