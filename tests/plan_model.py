#!/usr/bin/env python3
"""A model of the night's schedule of plomet --plan, written apart from the C++.

It works in exact fractions and, unlike the C++ (which keeps clients in heaps
and a byte clock), recomputes everything at every event: the running clients'
max-min shares of the bandwidth by filling it up from the smallest demand,
each client's speed (share over demand), and the time until the first of them
ends. Clients whose remaining time reaches exactly 0 end together. The least
number of sessions that fit a window is found by trying every number from 1
up to one per client, not by the C++ search's bounds and halving.

    tests/plan_model.py plan [FLEET.json]
        Prints the plan of the fleet (standard input without a file) as JSON:
        every client's session, start and end, the plan's end, its busiest
        stretch and, with a window, the window's verdict.

    tests/plan_model.py compare --plomet PROGRAM [--fleets 300] [--seed 1]
        Makes random fleets, with and without a bandwidth cap, has plomet
        plan each one from JSON reports, and checks every start, end, session
        and verdict against this model: times within 0.5 %. Exits 1 on any
        difference.

A fleet is JSON:
    {"sessions": 2, "order": "longest", "bandwidth": 360, "window": 5400,
     "clients": [{"name": "alpha", "seconds": 3600, "bytes": 360000}, ...]}
"bandwidth" (bytes per second; 0 or absent: no cap) and "window" (seconds)
are optional. PROGRAM is the built plomet; how a plan is obtained from it is
in plan_from_program(), apart from the comparison.
"""
import argparse
import json
import os
import random
import subprocess
import sys
import tempfile
from fractions import Fraction

TOLERANCE = 0.005

# Two rules of the schedule are stated with a share, to be robust against the
# C++ sums' rounding; exact fractions follow them too. An end past the window
# by a billionth of it fits, and stretches whose rates (or lengths) differ by
# a billionth of the larger are as one.
WINDOW_SLACK = Fraction(1, 10**9)
NEARLY_EQUAL = Fraction(1, 10**9)


def nearly_equal(a, b):
    return abs(a - b) <= NEARLY_EQUAL * max(a, b)


def ordered(clients, order):
    """The clients in plan order: by estimate, then by name in byte order."""
    sign = -1 if order == "longest" else 1
    return sorted(clients, key=lambda c: (sign * Fraction(c["seconds"]), c["name"].encode()))


def fair_shares(demands, cap):
    """Max-min fair shares of cap for the demands (a list); cap None: no cap."""
    if cap is None or sum(demands) <= cap:
        return list(demands)
    shares = [None] * len(demands)
    left = Fraction(cap)
    waiting = sorted(range(len(demands)), key=lambda k: demands[k])
    while waiting:
        equal = left / len(waiting)
        k = waiting[0]
        if demands[k] <= equal:
            shares[k] = demands[k]
            left -= demands[k]
            waiting.pop(0)
        else:
            for k in waiting:
                shares[k] = equal
            waiting = []
    return shares


def simulate(clients, sessions, cap):
    """Plans clients (in order): returns their (session, start, end) and the
    stretches of time with the bytes per second moved in each."""
    seconds = [Fraction(c["seconds"]) for c in clients]
    demand = [Fraction(c["bytes"]) / s if s > 0 else Fraction(0) for c, s in
              zip(clients, seconds)]
    free = list(range(1, min(max(sessions, 1), len(clients)) + 1))
    placed = [None] * len(clients)
    left = {}  # running client -> seconds left at its own speed
    now = Fraction(0)
    stretches = []
    waiting = 0
    while True:
        while waiting < len(clients) and free:
            i, session = waiting, min(free)
            waiting += 1
            free.remove(session)
            placed[i] = [session, now, now]
            if seconds[i] == 0:
                free.append(session)
            else:
                left[i] = seconds[i]
        if not left:
            return placed, stretches
        running = sorted(left)
        shares = fair_shares([demand[i] for i in running], cap)
        speed = {i: (s / demand[i] if demand[i] > 0 else Fraction(1)) for i, s in
                 zip(running, shares)}
        step = min(left[i] / speed[i] for i in running)
        stretches.append((now, now + step, sum(shares)))
        now += step
        for i in running:
            left[i] -= speed[i] * step
            if left[i] == 0:
                del left[i]
                placed[i][2] = now
                free.append(placed[i][0])


def busiest(stretches):
    """The stretch, unbroken, of the highest rate; the longest of those, then the first."""
    merged = []  # a stretch keeps the rate it began with
    for start, end, rate in stretches:
        if end == start:
            continue
        if merged and nearly_equal(merged[-1][2], rate):
            merged[-1][1] = end
        else:
            merged.append([start, end, rate])
    best = None
    for m in merged:
        if best is None or beats(m, best):
            best = m
    return best or [0, 0, 0]


def beats(stretch, best):
    if not nearly_equal(stretch[2], best[2]):
        return stretch[2] > best[2]
    length, best_length = stretch[1] - stretch[0], best[1] - best[0]
    return length > best_length and not nearly_equal(length, best_length)


def alone(client, cap):
    seconds = Fraction(client["seconds"])
    if seconds == 0 or cap is None:
        return seconds
    return max(seconds, Fraction(client["bytes"]) / cap)


def window_verdict(clients, sessions, cap, window, plan_end):
    """fits, the least sessions that fit (tried one by one), and why none does."""
    limit = window * (1 + WINDOW_SLACK)
    verdict = {"fits": plan_end <= limit, "needed": 0, "why": "none", "long": None}
    for k in range(1, len(clients) + 1):
        placed, _ = simulate(clients, k, cap)
        if max(p[2] for p in placed) <= limit:
            verdict["needed"] = k
            return verdict
    if not clients:
        verdict["needed"] = 1
        return verdict
    longest = max(range(len(clients)), key=lambda i: (alone(clients[i], cap), -i))
    moving = [Fraction(c["bytes"]) for c in clients if c["seconds"] > 0]
    if alone(clients[longest], cap) > limit:
        verdict["why"], verdict["long"] = "client", clients[longest]["name"]
    elif cap is not None and sum(moving) / cap > limit:
        verdict["why"] = "bytes"
    else:
        verdict["why"] = "sharing"
    return verdict


def plan(fleet):
    """The model's plan of a fleet, in the form that compare() takes."""
    cap = Fraction(fleet["bandwidth"]) if fleet.get("bandwidth") else None
    clients = ordered(fleet["clients"], fleet.get("order", "longest"))
    placed, stretches = simulate(clients, fleet.get("sessions", 1), cap)
    end = max((p[2] for p in placed), default=Fraction(0))
    result = {
        "clients": {c["name"]: {"session": p[0], "start": float(p[1]), "end": float(p[2])}
                    for c, p in zip(clients, placed)},
        "order": [c["name"] for c in clients],
        "end": float(end),
        "busiest": [float(x) for x in busiest(stretches)],
    }
    if "window" in fleet:
        result["window"] = window_verdict(clients, fleet.get("sessions", 1), cap,
                                          Fraction(fleet["window"]), end)
    return result


def plan_from_program(program, fleet):
    """plomet's plan of a fleet, in plan()'s form: every client becomes a JSON
    report in a folder of its own, and plomet --plan --json plans the folder."""
    with tempfile.TemporaryDirectory() as folder:
        for n, c in enumerate(fleet["clients"]):
            report = {"format": 1, "client": c["name"], "total": {"files": 1, "bytes": c["bytes"]},
                      "estimate_seconds": c["seconds"]}
            with open(os.path.join(folder, f"c{n}.json"), "w", encoding="utf-8") as f:
                json.dump(report, f, ensure_ascii=False)
        args = [program, "--plan", folder, "--json", f"--sessions={fleet.get('sessions', 1)}",
                f"--order={fleet.get('order', 'longest')}"]
        if fleet.get("bandwidth"):
            args.append(f"--bandwidth={fleet['bandwidth']}")
        if "window" in fleet:
            args.append(f"--window={fleet['window']}")
        run = subprocess.run(args, check=True, stdout=subprocess.PIPE)
    plan = json.loads(run.stdout)["plan"]
    result = {"clients": {}, "order": [], "end": plan["end_seconds"]}
    for c in plan["clients"]:
        result["clients"][c["client"]] = {"session": c["session"], "start": c["start_seconds"],
                                          "end": c["end_seconds"]}
        result["order"].append(c["client"])
    busiest = plan["busiest"]
    result["busiest"] = [busiest["start_seconds"], busiest["end_seconds"], busiest["bytes_per_s"]]
    if plan["window_seconds"] is not None:
        why = plan["why_not"] or {"reason": "none"}
        reasons = {"none": "none", "client_longer_than_window": "client",
                   "bytes_over_bandwidth": "bytes", "bandwidth_sharing": "sharing"}
        result["window"] = {"fits": plan["fits"], "needed": plan["sessions_needed"] or 0,
                            "why": reasons[why["reason"]], "long": why.get("client")}
    return result


def near(a, b):
    return abs(a - b) <= TOLERANCE * max(abs(a), abs(b)) + 1e-9


def same_instant(model, name, session):
    """True when, in the model, the session another plan gave the client was
    freed at the same instant as the model's own, but for a billionth: the
    C++ takes ends that close as one (its sums round), and then the
    lowest-numbered of the sessions they free."""
    freed = {}
    for other in model["order"]:
        if other == name:
            break
        placed = model["clients"][other]
        freed[placed["session"]] = max(freed.get(placed["session"], 0), placed["end"])
    start = model["clients"][name]["start"]
    mine, theirs = freed.get(model["clients"][name]["session"], 0), freed.get(session, 0)
    return theirs <= start * (1 + 1e-9) and abs(theirs - mine) <= 1e-9 * max(start, 1)


def differences(model, other):
    """What differs between two plans of one fleet, as lines of text."""
    found = []
    if model["order"] != other["order"]:
        found.append(f"order {model['order']} != {other['order']}")
    for name, want in model["clients"].items():
        got = other["clients"].get(name)
        if got is None:
            found.append(f"{name}: missing")
            continue
        if got["session"] != want["session"] and not same_instant(model, name, got["session"]):
            found.append(f"{name}: session {got['session']} != {want['session']}")
        for what in ("start", "end"):
            if not near(got[what], want[what]):
                found.append(f"{name}: {what} {got[what]!r} != {want[what]!r}")
    if not near(other["end"], model["end"]):
        found.append(f"end {other['end']!r} != {model['end']!r}")
    if not all(near(a, b) for a, b in zip(other["busiest"], model["busiest"])):
        found.append(f"busiest {other['busiest']} != {model['busiest']}")
    if "window" in model and other.get("window") != model["window"]:
        found.append(f"window {other.get('window')} != {model['window']}")
    return found


NAMES = ["alpha", "bravo", "charlie", "Delta", "echo", "fox", "golf", "hotel", "india", "juliet",
         "kilo", "lima", "mike", "nov", "oscar", "papa", "\u00e4rger", "\u00c9cole", "zulu", "a"]


def random_fleet(rng):
    """A small fleet with ties, zeros, maybe huge values and maybe a cap, and a
    window near what the fleet needs, so that the search has work to do."""
    count = rng.randint(1, 14)
    huge = rng.random() < 0.15
    clients = []
    for name in rng.sample(NAMES, min(count, len(NAMES))):
        seconds = rng.choice([0, 60, 600, 600, 1800, 3600, rng.randint(1, 7200)])
        size = rng.choice([0, rng.randint(1, 10**6), rng.randint(1, 10**10),
                           rng.randint(1, 10**10)])
        if huge and rng.random() < 0.3:
            size, seconds = 2**64 - 1, rng.choice([seconds, 10**8])  # years at most a few
        clients.append({"name": name, "seconds": seconds, "bytes": size})
    fleet = {"sessions": rng.randint(1, count + 2), "order": rng.choice(["longest", "shortest"]),
             "clients": clients}
    demands = sorted(c["bytes"] / c["seconds"] for c in clients if c["seconds"])
    if demands and rng.random() < 0.6:
        pick = demands[rng.randrange(len(demands))]
        fleet["bandwidth"] = max(1000, int(pick * rng.choice([0.5, 1, 1.5, 3])))
    cap = Fraction(fleet["bandwidth"]) if "bandwidth" in fleet else None
    times = [alone(c, cap) for c in clients]
    fleet["window"] = max(1, int(rng.choice([max(times), max(times) * Fraction(13, 10),
                                             sum(times) / 2, sum(times) / 3, sum(times)])))
    return fleet


def compare(program, fleets, seed):
    rng = random.Random(seed)
    failures = 0
    for n in range(fleets):
        fleet = random_fleet(rng)
        found = differences(plan(fleet), plan_from_program(program, fleet))
        if found:
            failures += 1
            print(f"fleet {n}: {json.dumps(fleet)}")
            for line in found[:10]:
                print("  " + line)
    print(f"{fleets - failures} of {fleets} fleets agree")
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="mode", required=True)
    one = sub.add_parser("plan")
    one.add_argument("fleet", nargs="?")
    many = sub.add_parser("compare")
    many.add_argument("--plomet", required=True)
    many.add_argument("--fleets", type=int, default=300)
    many.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.mode == "plan":
        text = open(args.fleet).read() if args.fleet else sys.stdin.read()
        json.dump(plan(json.loads(text)), sys.stdout, indent=1, ensure_ascii=False)
        print()
        return 0
    return compare(args.plomet, args.fleets, args.seed)


if __name__ == "__main__":
    sys.exit(main())
