# 5000 files of 1000000 bytes: 5000000000 bytes, more than 32 bits hold.
with open("schedule.log", "w", newline="\n") as f:
    for i in range(5000):
        f.write(f"12/07/2026 22:{i // 60 % 60:02d}:{i % 60:02d} Copied-->     1,000,000 /data/part{i:04d}.bin [ok]\n")
