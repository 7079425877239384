' Null and Empty propagation
Dim e, n
n = Null
MsgBox IsNull(n + 1) & " " & IsNull(n & "") & " " & ("a" & n & "b")
MsgBox IsNull(n = n) & " " & IsNull(n = 1) & " " & IsNull(Not n)
MsgBox (n And False) & " " & IsNull(n And True) & " " & (n Or True) & " " & IsNull(n Or False)
MsgBox TypeName(e) & " " & VarType(e) & " " & (e + 1) & " " & Len(e) & "[" & e & "]"
MsgBox TypeName(n) & " " & VarType(n) & " " & IsNull(Len(n)) & " " & IsNull(Left(n, 2))
If n Then MsgBox "null is true" Else MsgBox "null is not true"
MsgBox IsEmpty(e) & " " & IsEmpty("") & " " & IsNull(Empty)
On Error Resume Next
x = CInt(n)
MsgBox Err.Number & " " & Err.Description
Err.Clear
MsgBox Err.Number
Dim o
Set o = Nothing
MsgBox TypeName(o) & " " & (o Is Nothing) & " " & IsObject(o)
x = o.Foo
MsgBox Err.Number & " " & Err.Description
