# One line of 10 MB without a line feed; a size field appears only at its very end.
with open("long.txt", "wb") as f:
    f.write(b"x" * (10 * 1000 * 1000 - 20) + b"-->  4,096 end.txt")
