Dim a
If a = 1 MsgBox "x"
