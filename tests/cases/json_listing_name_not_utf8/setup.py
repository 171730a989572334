# The listing's name holds bytes that are not UTF-8 (a lone 0x82, as a name
# in a console code page has, and a sequence cut short), beside valid UTF-8,
# a quotation mark, a backslash and a tab, which JSON writes escaped.
import os

os.rename(b"listing.txt", b'r\x82sum\xc3\xa9-\xe2\x82 "q1"\\\t.txt')
