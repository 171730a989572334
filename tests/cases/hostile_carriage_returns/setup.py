# 100000 carriage returns: no line feed ever follows, so every one is kept.
with open("cr.txt", "wb") as f:
    f.write(b"\r" * 100000)
