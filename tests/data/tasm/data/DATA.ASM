; Data definitions: sizes, strings, nested DUP, structures, records, LABEL, EQU and =.
point   struc
px      dw      1
py      dw      2
tag     db      'P'
point   ends
color   record  blink:1, back:3=2, fore:4
data    segment para public 'DATA'
b1      db      1, -1, 255, 'Hi', "it's", 'it''s'
w1      dw      1234h, -2, 'AB', offset w1
d1      dd      12345678h, w1
q1      dq      1
t1      dt      2
n1      db      2 dup(1, 2 dup(3)), ?
nothing dw      ?
p1      point   <>
p2      point   <10, , 'Q'>
c1      color   <1, 3, 5>
c2      color   <>
blabel  label   byte
wlabel  label   word
        dw      0AAAAh
ten     equ     10
msgtext equ     <'text'>
val     =       ten * 2
val     =       val + 1
        db      val, ten, msgtext
        dw      p2.py, size p1, type point, width back, mask fore, fore
        db      '$'
data    ends
        end
