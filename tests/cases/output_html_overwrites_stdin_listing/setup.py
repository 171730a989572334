# The page is named by a hard link to the listing that standard input reads.
import os

os.link("listing.txt", "copy.txt")
