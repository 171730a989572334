# 64 KiB of pseudo-random bytes, the same on every run: a binary file given by mistake.
import random
rng = random.Random(20261207)
with open("binary.bin", "wb") as f:
    f.write(bytes(rng.randrange(256) for _ in range(65536)))
