# A tree of files of every size class in nested folders, and an empty
# folder: the scan counts the files, not the folders. The files are sparse.
import os

SIZES = {"tree/a.txt": 0, "tree/b.txt": 5119, "tree/docs/c.pdf": 5120,
         "tree/docs/old/d.pdf": 51199, "tree/docs/old/e.pdf": 51200,
         "tree/media/f.mov": 512000, "tree/media/g.mov": 7_340_032_000}
os.makedirs("tree/empty/inner")
for path, size in SIZES.items():
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.truncate(size)
