r
d 80 L 20
d 5c L 20
n other.com a:x.y c:z
r
d 80 L 20
d 5c L 20
q
