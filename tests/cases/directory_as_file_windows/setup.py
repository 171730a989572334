# A directory does not open as a file on Windows.
import os

os.mkdir("adir")
