' GetRef: a reference to a procedure, called through its default member
Function Twice(n)
    Twice = n * 2
End Function
Sub Bump(ByRef n)
    n = n + 1
End Sub
Dim f, g, v
Set f = GetRef("Twice")
MsgBox f(21)
MsgBox TypeName(f) & " " & IsObject(f)
Set g = GetRef("bump")
v = 1
g v
MsgBox v
On Error Resume Next
Set f = GetRef("NoSuchProcedure")
MsgBox Err.Number & " " & Err.Description
