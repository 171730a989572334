# A tree to scan; the listing would be written inside it, and counted.
import os

os.makedirs("tree/docs")
with open("tree/docs/report.pdf", "wb") as out:
    out.truncate(90000)
