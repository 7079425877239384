' Rnd: the documented generator; a negative argument restarts a repeatable sequence
MsgBox Rnd & " " & Rnd & " " & Rnd
MsgBox Rnd(0)
a = Rnd(-1) : b = Rnd
c = Rnd(-1) : d = Rnd
MsgBox (a = c) & " " & (b = d)
Randomize 42
x = Rnd
Randomize 42
MsgBox (x >= 0 And x < 1) & " " & TypeName(x)
