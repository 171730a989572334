# 5 GiB of zero bytes (a sparse file: no disk space is used), then one line of
# a directory listing. Offsets past 2^32 must not lose or miscount anything.
with open("big.txt", "wb") as f:
    f.truncate(5 * 1024**3)
    f.seek(0, 2)
    f.write(b"\n03/14/2024  03:15 PM             1,234 after-the-zeros.txt\r\n")
