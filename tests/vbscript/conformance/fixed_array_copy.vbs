' A copy of a fixed-size array is an ordinary dynamic array; the original stays fixed.
On Error Resume Next
Dim a(2), x
a(0) = "first"
x = a
x = 0
MsgBox "copy assigned: " & Err.Number & " " & x
Err.Clear
x = a
ReDim Preserve x(4)
MsgBox "copy redimmed: " & Err.Number & " " & UBound(x) & " " & x(0) & " " & UBound(a)
Err.Clear
a = 0
MsgBox "original assigned: " & Err.Number & " " & IsArray(a)
Err.Clear
ReDim a(5)
MsgBox "original redimmed: " & Err.Number & " " & UBound(a)
Err.Clear
Sub TakeByVal(ByVal p)
    p = "replaced"
    MsgBox "by value: " & Err.Number & " " & p
End Sub
TakeByVal a
Err.Clear
Sub TakeByRef(p)
    p = "replaced"
End Sub
TakeByRef a
MsgBox "by reference: " & Err.Number & " " & IsArray(a)
Err.Clear
Function Copied()
    Dim local(1)
    local(1) = "inner"
    Copied = local
End Function
Dim y
y = Copied()
y = 7
MsgBox "returned copy assigned: " & Err.Number & " " & y
Err.Clear
Sub LocalCopy
    Dim b(1), c
    c = b
    c = "plain"
    MsgBox "local copy assigned: " & Err.Number & " " & c
End Sub
LocalCopy
