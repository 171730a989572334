# A folder given where the option belongs: the message says to scan it with -s.
import os

os.makedirs("share")
