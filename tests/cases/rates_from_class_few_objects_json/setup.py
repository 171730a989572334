# A made-up schedule log of 1,360 objects: 1,000 small ones, 300 of 10 KB,
# 20 of 100 KB, only 40 large ones, and two lines whose sizes pass 2^63 - 1.
# The listing's files are small and large, its average file large: the
# large class's rate is not to be trusted; the 100 KB class is not used.
SIZES = [900] * 1000 + [9000] * 300 + [90000] * 20 + [900000] * 40
second = 23 * 3600
with open("schedule.log", "w", newline="\n") as log:
    for i, size in enumerate(SIZES):
        second += 1 + i % 2
        stamp = f"2026-12-08 {second // 3600:02}:{second % 3600 // 60:02}:{second % 60:02}"
        log.write(f"{stamp} Sending file-->  {size:>12,} /data/e/f{i}.bin [done]\n")
        if i in (500, 900):
            log.write(f"{stamp} Sending file--> 9,300,000,000,000,000,000 /data/e/huge{i} [done]\n")
