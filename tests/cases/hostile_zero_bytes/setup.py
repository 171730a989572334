# One megabyte of zero bytes and nothing else.
with open("zeros.bin", "wb") as f:
    f.write(bytes(1 << 20))
