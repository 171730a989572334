# Objects whose paths pass 4,096 bytes: their folders lie beyond that.
LONG = "/srv/" + "B" * 4100
with open("schedule.log", "w") as f:
    f.write(f"12/07/2026 22:01:00 Sending file-->   1,000 {LONG}/x/a.txt [done]\n")
    f.write(f"12/07/2026 22:01:01 Sending file-->   2,000 {LONG}/y/b.txt [done]\n")
    f.write(f"12/07/2026 22:01:02 Sending file-->     500 {LONG}/y/c.txt\n")
