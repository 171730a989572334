# A made-up schedule log of one night: 1,200 objects, 300 of each size
# class, each taking a second or two, and a few more for the large ones.
# One session, large enough to be fitted alone: no range of sessions.
BOUNDS = [(700, 4000), (6000, 40000), (60000, 400000), (600000, 5000000)]
second = 22 * 3600
with open("schedule.log", "w", newline="\n") as log:
    log.write("2026-12-07 22:00:00 Schedule 'nightly' started on fileserver2\n")
    for i in range(1200):
        low, span = BOUNDS[i % 4]
        size = low + (i * 7919) % span
        second += 1 + (i * 7) % 2 + size // 1_000_000
        log.write(f"2026-12-07 {second // 3600:02}:{second % 3600 // 60:02}:{second % 60:02} "
                  f"Sending file-->  {size:>12,} /srv/share/d{i % 17}/f{i}.dat [done]\n")
    log.write(f"2026-12-07 {second // 3600:02}:{second % 3600 // 60:02}:{second % 60:02} "
              "Schedule 'nightly' completed\n")
