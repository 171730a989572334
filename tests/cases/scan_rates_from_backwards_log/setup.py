# A small tree to scan with rates learnt from a log whose clock goes back:
# the scan warns of what the log did, as a listing's run does.
import os

os.makedirs("tree/docs")
for path, size in {"tree/a.txt": 3000, "tree/docs/b.pdf": 600000}.items():
    with open(path, "wb") as out:
        out.truncate(size)
