# A tree whose files changed years apart, so that the local time zone cannot
# move one across the date given to --since. The files are sparse.
import os
import time

FILES = {"tree/a.txt": (2000, "2020-01-15"), "tree/b.dat": (9000, "2025-09-15"),
         "tree/docs/c.pdf": (300000, "2020-01-15"), "tree/docs/d.pdf": (70000, "2025-09-15"),
         "tree/media/e.mov": (4000000, "2025-09-15"), "tree/media/f.mov": (800000, "2019-05-01")}
for path, (size, day) in FILES.items():
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.truncate(size)
    moment = time.mktime(time.strptime(day + " 12:00", "%Y-%m-%d %H:%M"))
    os.utime(path, (moment, moment))
