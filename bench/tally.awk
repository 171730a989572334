# The four size-class tallies that plomet computes, as an administrator would
# write them in awk; the benchmark's reference for "a one-liner".
#   awk -v kind=d -f tally.awk listing.txt     (directory listing)
#   awk -v kind=l -f tally.awk schedule.log    (schedule log)
function count(size) {
  gsub(/[,.]/, "", size)
  size += 0
  c = size < 5120 ? 1 : size < 51200 ? 2 : size < 512000 ? 3 : 4
  files[c]++
  bytes[c] += size
}
kind == "l" {
  i = index($0, "-->")
  if (i > 0) {
    split(substr($0, i + 3), f, " ")
    count(f[1])
  }
  next
}
/^[ \t]/ || /<DIR>/ || /File\(s\)/ || !/:/ { next }
{
  s = ($3 == "AM" || $3 == "PM") ? $4 : $3
  if (s !~ /^</) count(s)
}
END {
  for (c = 1; c <= 4; c++) printf "%d %d %.0f\n", c, files[c], bytes[c]
}
