# A listing in the shell's Unicode output, too large to keep: UTF-16LE with a
# mark and CR LF line ends, 200 directories of 90 files, about 2.4 MB. Names
# are full of characters outside the basic plane (surrogate pairs), and the
# lengths put such pairs across the 64 KiB to 512 KiB marks, so that pairs and
# line ends fall across the reader's blocks: nothing may be lost or read twice.
# The listing's own totals, in its last lines, are 18000 files and
# 1,289,773,314,047 bytes.
NAMES = ["\U0001F4C4 report", "\U0001F3B5\U0001F3B6 mix", "фото \U0001F5BC", "\U00020BB7野家 menu",
         "résumé \U0001F600\U0001F600", "notes", "\U0001F30A" * 40]
lines = [" Volume in drive C is Data", " Volume Serial Number is 5A3C-91E2"]
files = total = dirs = 0
size = 12345
for d in range(200):
    lines += ["", f" Directory of C:\\Users\\ana\\\U0001F4C1 archive {d:03d}", ""]
    lines += ["03/14/2024  03:15 PM    <DIR>          .", "03/14/2024  03:15 PM    <DIR>          .."]
    dirs += 2
    n_bytes = 0
    for i in range(90):
        size = (size * 1103515245 + 12345) % 2147483648
        s = size >> (i % 31)  # sizes from 0 bytes to 2 GB, in every class
        h = (d + i) % 24
        stamp = f"03/{1 + i % 28:02d}/2024  {h % 12 or 12:02d}:{i % 60:02d} {'AM' if h < 12 else 'PM'}"
        lines.append(f"{stamp}{s:>18,} {NAMES[(d + i) % len(NAMES)]} {i:02d}.bin")
        n_bytes += s
    lines.append(f"{90:>16} File(s) {n_bytes:>14,} bytes")
    files += 90
    total += n_bytes
lines += ["", "     Total Files Listed:", f"{files:>16} File(s) {total:>14,} bytes",
          f"{dirs:>16} Dir(s) {123456789012:>16,} bytes free"]
with open("listing.txt", "wb") as f:
    f.write(b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le"))
