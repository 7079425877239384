' ByRef and ByVal parameters
Sub AddOne(ByRef n)
    n = n + 1
End Sub
Sub AddOneByVal(ByVal n)
    n = n + 1
End Sub
Sub Swap(a, b)
    Dim t
    t = a : a = b : b = t
End Sub
Dim x, y
x = 1
AddOne x
MsgBox x
AddOneByVal x
MsgBox x
AddOne (x)
MsgBox x
Call AddOne(x)
MsgBox x
x = "left" : y = "right"
Swap x, y
MsgBox x & " " & y
Dim arr(2)
arr(1) = 10
AddOne arr(1)
MsgBox arr(1)
Function Twice(ByRef v)
    v = v * 2
    Twice = v
End Function
x = 4
MsgBox Twice(x) & " " & x
MsgBox Twice((x)) & " " & x
Sub ChangeArray(a)
    a(0) = "changed"
End Sub
Dim b(1)
b(0) = "orig"
ChangeArray b
MsgBox b(0)
Sub ChangeCopy(ByVal a)
    a(0) = "copy"
End Sub
ChangeCopy b
MsgBox b(0)
Dim c
c = b
c(0) = "c only"
MsgBox b(0) & " " & c(0)
Class Box
    Public Value
End Class
Sub Fill(o)
    o.Value = 42
End Sub
Dim bx
Set bx = New Box
Fill bx
MsgBox bx.Value
