Option Explicit
Dim total
total = 1
Function Divide(a, b)
    Divide = a / b
End Function
MsgBox Divide(6, 3)
MsgBox Divide(1, 0)
MsgBox "not reached"
