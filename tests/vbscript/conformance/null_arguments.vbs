' Null where these functions take a string, a number or a date: 94 (Join of a list holding Null: 13);
' Mid and Weekday give Null for a Null string or date, once their other arguments pass
On Error Resume Next
Sub Try(label)
    MsgBox label & ": " & Err.Number
    Err.Clear
End Sub
x = Sgn(Null)
Try "Sgn"
x = InStrRev(Null, "a")
Try "InStrRev string"
x = InStrRev("abc", Null)
Try "InStrRev match"
x = Replace(Null, "a", "b")
Try "Replace"
x = Weekday(Null)
MsgBox "Weekday: " & Err.Number & " " & IsNull(x)
x = Mid(Null, 1)
MsgBox "Mid: " & Err.Number & " " & IsNull(x)
x = Mid(Null, 5, 2)
MsgBox "Mid with a length: " & Err.Number & " " & IsNull(x)
x = Join(Array(1, Null))
Try "Join"
x = Left(Null, 1)
MsgBox "Left: " & Err.Number & " " & IsNull(x)
x = InStr("abc", Null)
MsgBox "InStr: " & Err.Number & " " & IsNull(x)
x = Mid("test", "a", Null)
Try "Mid, a Null length before a wrong start"
x = Mid("test", Null, -1)
Try "Mid, a Null start"
x = Mid("test", 0, Null)
Try "Mid, a Null length"
x = Mid("test", "a", 1)
Try "Mid, a start that is no number"
x = Mid(Null, -1, -1)
Try "Mid, a Null string with a wrong start"
x = Mid("test", 0, Empty)
Try "Mid, start 0"
x = Join(Null)
Try "Join of Null"
Dim grid(1, 1)
x = Join(grid)
Try "Join of a table"
x = Weekday(DateSerial(2000, 1, 1), Null)
Try "Weekday, a Null first day"
x = Weekday(Null, Null)
Try "Weekday, both Null"
x = Weekday(Null, -1)
Try "Weekday, a Null date and a wrong first day"
x = Weekday(Null, "a")
Try "Weekday, a first day that is no number"
x = Weekday(DateSerial(2000, 1, 1), vbMonday)
MsgBox "Weekday: " & TypeName(x) & " " & x
