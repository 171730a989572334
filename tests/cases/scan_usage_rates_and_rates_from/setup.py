# A small tree for the scan's command line to name.
import os

os.makedirs("share/docs")
with open("share/docs/a.txt", "wb") as out:
    out.truncate(3000)
