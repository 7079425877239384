' Integer overflow promotes to the next wider subtype
Dim a, b
a = 32767
b = a + 1
MsgBox TypeName(a) & " " & TypeName(b) & " " & b
a = 2147483647
b = a + 1
MsgBox TypeName(a) & " " & TypeName(b) & " " & b
b = -32768 - 1
MsgBox TypeName(b) & " " & b
b = 200 * 200
MsgBox TypeName(b) & " " & b
b = 65536 * 65536
MsgBox TypeName(b) & " " & b
b = CInt(100) * CInt(100)
MsgBox TypeName(b) & " " & b
On Error Resume Next
b = CInt(32768)
MsgBox Err.Number & " " & Err.Description
Err.Clear
b = CLng(2147483648)
MsgBox Err.Number & " " & Err.Description
Err.Clear
b = CByte(256)
MsgBox Err.Number
Err.Clear
b = 2147483647 \ 1
MsgBox TypeName(b) & " " & Err.Number
b = 2147483648 \ 1
MsgBox Err.Number & " " & Err.Description
