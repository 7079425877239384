' Variant coercions and comparisons
MsgBox TypeName(1) & " " & TypeName(40000) & " " & TypeName(3000000000) & " " & TypeName(1.5)
MsgBox TypeName("1" + 2) & " " & ("1" + 2)
MsgBox "1" + "2"
MsgBox "1" & 2
MsgBox 1 + True
MsgBox TypeName(True + True) & " " & (True + True)
MsgBox TypeName(CByte(200) + CByte(100)) & " " & (CByte(200) + CByte(100))
MsgBox TypeName(CByte(2) + CByte(3))
MsgBox TypeName(CSng(1.5) + 1) & " " & TypeName(CSng(1.5) + 100000)
MsgBox TypeName(CCur(1.5) * 2) & " " & (CCur(1.5) * 2)
MsgBox 7 \ 2 & " " & -7 \ 2 & " " & 7 Mod 3 & " " & -7 Mod 3 & " " & 7.5 Mod 2
MsgBox 10 / 4 & " " & TypeName(10 / 5) & " " & 2 ^ 10 & " " & -2 ^ 2
MsgBox (5 And 3) & " " & (5 Or 3) & " " & (5 Xor 3) & " " & (Not 0) & " " & TypeName(Not 5)
MsgBox (True And False) & " " & (True Or False) & " " & (True Xor True) & " " & (False Eqv False) & " " & (True Imp False)
MsgBox ("abc" < "abd") & " " & ("B" < "a") & " " & ("abc" = "ABC")
Dim n, s
n = 1 : s = "1"
MsgBox (n = s) & " " & (n < s) & " " & (1 = "1") & " " & (s = 1)
MsgBox (Empty = 0) & " " & (Empty = "") & " " & IsEmpty(Empty)
MsgBox CStr(True) & " " & CStr(1E+16) & " " & CStr(123.456) & " " & CStr(-0.5)
MsgBox CBool("true") & " " & CBool(0) & " " & CBool("0") & " " & CBool(-3)
MsgBox CDbl("  12.5  ") & " " & CLng("&HFF") & " " & &HFF & " " & &H8000 & " " & &O17
MsgBox IsNumeric("12") & IsNumeric("1e3") & IsNumeric("abc") & IsNumeric("") & IsNumeric(Null)
On Error Resume Next
x = "abc" + 1
MsgBox Err.Number & " " & Err.Description
