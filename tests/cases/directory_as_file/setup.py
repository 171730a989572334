# A directory opens for reading, but reading it fails.
import os

os.mkdir("adir")
