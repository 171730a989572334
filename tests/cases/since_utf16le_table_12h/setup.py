# The newer shell's table redirected to a file: UTF-16LE with a mark and CR LF
# line ends, made from listing.src (UTF-8) so that the case reads.
text = open("listing.src", encoding="utf-8").read().replace("\n", "\r\n")
with open("listing.txt", "wb") as f:
    f.write(b"\xff\xfe" + text.encode("utf-16-le"))
