' String functions and their edge cases
MsgBox Mid("abcdef", 3) & " " & Mid("abcdef", 3, 2) & " [" & Mid("abc", 5) & "] " & Mid("abc", 2, 100)
MsgBox InStr("abcabc", "c") & " " & InStr(4, "abcabc", "c") & " " & InStr("abc", "") & " " & InStr(5, "abc", "a") & " " & InStr("abc", "z")
MsgBox InStr(1, "ABC", "b", vbTextCompare) & " " & InStr(1, "ABC", "b", vbBinaryCompare) & " " & InStr(2, "abc", "")
MsgBox InStrRev("abcabc", "b") & " " & InStrRev("abcabc", "b", 4) & " " & InStrRev("abc", "z")
MsgBox Left("abc", 0) & "|" & Left("abc", 10) & "|" & Right("abc", 2) & "|" & Len("") & "|" & Len(12345)
MsgBox Replace("aXbXc", "X", "-") & " " & Replace("aXbXc", "x", "-", 1, -1, 1) & " " & Replace("aXbXc", "X", "-", 3) & " " & Replace("aXbXc", "X", "-", 1, 1)
MsgBox "[" & Trim("  a b  ") & "][" & LTrim("  a ") & "][" & RTrim(" a  ") & "]"
MsgBox UCase("istanbul ığüşöç") & " " & LCase("İSTANBUL ABC")
Dim parts
parts = Split("a,b,,c", ",")
MsgBox UBound(parts) & " " & Join(parts, "|")
parts = Split("a b c")
MsgBox UBound(parts) & " " & parts(2)
parts = Split("")
MsgBox UBound(parts)
parts = Split("a,b,c,d", ",", 2)
MsgBox UBound(parts) & " " & parts(1)
MsgBox "[" & Space(3) & "]" & String(3, "xy") & String(2, 65)
MsgBox StrComp("a", "b") & " " & StrComp("b", "a") & " " & StrComp("A", "a") & " " & StrComp("A", "a", 1)
MsgBox StrReverse("abc") & " " & Chr(65) & Asc("a") & " " & ChrW(8364) & AscW(ChrW(8364))
MsgBox Join(Filter(Array("apple", "banana", "cherry"), "an"), ",") & " " & Join(Filter(Array("apple", "banana"), "an", False), ",")
MsgBox Hex(255) & " " & Hex(-1) & " " & Hex(65536) & " " & Oct(8)
On Error Resume Next
x = Mid("abc", 0)
MsgBox Err.Number & " " & Err.Description
Err.Clear
x = Left("abc", -1)
MsgBox Err.Number
