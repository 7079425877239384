' Currency is an exact scaled 64-bit integer: four decimals, no binary rounding
Dim c
MsgBox CCur("922337203685477")
MsgBox CCur("922337203685477.5807")
MsgBox CCur("-922337203685477.5808")
MsgBox CCur("0.1") + CCur("0.2") = CCur("0.3")
MsgBox CCur("1.23455") & " " & CCur("1.23465") & " " & CCur("1.234551")
MsgBox CCur("92233720368547.7") * 10
MsgBox CCur("1.5") * CCur("1.5") & " " & TypeName(CCur(2) * CCur(3))
MsgBox CCur(32767) * 65536 & " " & CCur(123456789) * CCur(1000)
c = CCur("100000000000000.0001")
MsgBox c + c & " " & c - CCur("0.0001")
MsgBox TypeName(c) & " " & VarType(c)
On Error Resume Next
c = CCur("922337203685478")
MsgBox Err.Number & " " & Err.Description
Err.Clear
c = CCur("900000000000000") + CCur("100000000000000")
MsgBox Err.Number
