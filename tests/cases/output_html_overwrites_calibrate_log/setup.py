# The page is named by a symbolic link to the log.
import os

os.symlink("schedule.log", "link.log")
