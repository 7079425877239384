' Arrays, ReDim Preserve, Erase, multi-dimensional arrays
Dim a(3), m(1, 2), d()
MsgBox UBound(a) & " " & LBound(a) & " " & IsArray(a) & " " & TypeName(a) & " " & VarType(a)
a(0) = 1 : a(3) = "x"
MsgBox a(0) & a(3) & "[" & a(1) & "]"
m(1, 2) = "corner"
MsgBox UBound(m, 1) & " " & UBound(m, 2) & " " & m(1, 2)
ReDim d(2)
d(0) = "a" : d(2) = "c"
ReDim Preserve d(4)
MsgBox UBound(d) & " " & d(0) & d(2) & "[" & d(4) & "]"
ReDim Preserve d(1)
MsgBox UBound(d) & " " & d(0)
ReDim d(1)
MsgBox "[" & d(0) & "]"
Dim v
v = Array(1, "two", 3.5)
MsgBox UBound(v) & " " & v(1) & " " & TypeName(v(2))
v = Array()
MsgBox UBound(v)
Dim total, item
total = 0
For Each item In Array(1, 2, 3, 4)
    total = total + item
Next
MsgBox total
Erase a
MsgBox UBound(a) & "[" & a(0) & "]"
ReDim g(1, 1)
g(0, 1) = 5
ReDim Preserve g(1, 3)
MsgBox g(0, 1) & " " & UBound(g, 2)
On Error Resume Next
x = a(4)
MsgBox Err.Number & " " & Err.Description
Err.Clear
ReDim a(5)
MsgBox Err.Number & " " & Err.Description
Err.Clear
Erase d
x = UBound(d)
MsgBox Err.Number
Err.Clear
ReDim Preserve g(2, 3)
MsgBox Err.Number
