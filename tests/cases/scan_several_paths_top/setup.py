# Two trees scanned at once, with what --exclude leaves out: files by name
# (*.tmp), folders by name (cache/, folders only), and a folder by the end of
# its path (photos/raw). The files are sparse.
import os

SIZES = {"share/docs/a.txt": 3000, "share/docs/b.tmp": 9_000_000,
         "share/docs/cache/c.bin": 800_000, "share/photos/raw/d.raw": 50_000_000,
         "share/photos/e.jpg": 2_500_000, "share/cache": 100,
         "home/ana/notes/f.txt": 5119, "home/ana/notes/g.txt": 5120,
         "home/ana/cache/h.bin": 60_000, "home/ana/i.pdf": 51_200}
for path, size in SIZES.items():
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.truncate(size)
