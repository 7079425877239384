' A sign binds tighter than ^ ; everything else keeps its usual order
Dim x
x = 3
MsgBox -2 ^ 2
MsgBox -x ^ 2
MsgBox 2 ^ -1
MsgBox -2 ^ -2
MsgBox -2 ^ 3
MsgBox -(2 ^ 2)
MsgBox 10 - 2 ^ 2
MsgBox 2 * -3 ^ 2
MsgBox - - 2 ^ 2
MsgBox -2 * 3 + 1
MsgBox 2 ^ 3 ^ 2
MsgBox 7 Mod -3 * 2
MsgBox "a" & -1 + 2
MsgBox Not 1 = 2
