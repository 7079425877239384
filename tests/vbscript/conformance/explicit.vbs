Option Explicit
Dim declared
declared = 1
MsgBox declared
undeclared = 2
