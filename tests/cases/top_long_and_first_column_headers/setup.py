# Headers written from the first column, whose paths pass 4,096 bytes, and a
# folder name with an escape sequence in it.
LONG = "C:\\Data\\" + "A" * 4100
LINES = [
    "V\u00fdpis adres\u00e1\u0159e " + LONG + "\\x",
    "",
    "03/14/2024  03:15 PM               100 a.txt",
    "",
    "V\u00fdpis adres\u00e1\u0159e " + LONG + "\\y\x1b]0;owned\x07\x1b[31m",
    "",
    "03/14/2024  03:15 PM           200,000 b.txt",
    "03/14/2024  03:15 PM    <DIR>          C:\\Data\\z",
    "",
]
with open("listing.txt", "wb") as f:
    f.write("\r\n".join(LINES).encode("utf-8"))
