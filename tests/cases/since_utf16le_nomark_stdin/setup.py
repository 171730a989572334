# The listing in UTF-16LE without a mark, CR LF line ends, made from
# listing.src (UTF-8) so that the case reads.
text = open("listing.src", encoding="utf-8").read().replace("\n", "\r\n")
with open("listing.txt", "wb") as f:
    f.write(text.encode("utf-16-le"))
