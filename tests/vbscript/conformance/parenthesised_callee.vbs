' A callee in parentheses: (f)(1) and Call (f) (1) call f
Function Double(n)
    Double = n * 2
End Function
Sub Show(v)
    MsgBox "shown " & v
End Sub
Dim y
y = (Double)(21)
MsgBox y
Call (Show) (5)
Dim a
a = Array(10, 20, 30)
y = (a)(2) + 1
MsgBox y
Set d = CreateObject("Scripting.Dictionary")
d.Add "k", "v"
y = (d.Item)("k")
MsgBox y
Call (((Show))) ((7))
y = ((a))(0)
MsgBox y
y = (((Double)))(4)
MsgBox y
Function SetFirst(arr)
    arr(0) = 2
    SetFirst = 1
End Function
a = Array(1)
Call (((SetFirst))) ((a))
MsgBox "argument in parentheses, by value: " & a(0)
Call (((SetFirst))) (a)
MsgBox "argument list, by reference: " & a(0)
