# 100000 files of 2000 bytes, 1000 of 20000, 100 of 200000 and 10 of 50000000.
with open("listing.txt", "w", newline="\n") as f:
    for count, size in ((100000, 2000), (1000, 20000), (100, 200000), (10, 50000000)):
        for i in range(count):
            f.write(f"03/14/96  11:02p     {size:>14,} file{i}.dat\n")
