# The source folder lies inside the target.
import os

os.mkdir("dst")
