MsgBox "never shown"
Dim a
a = (1 + 2
MsgBox a
