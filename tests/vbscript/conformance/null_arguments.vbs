' Null where these functions take a string, a number or a date: 94 (Join: 13)
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
Try "Weekday"
x = Mid(Null, 1)
Try "Mid"
x = Join(Array(1, Null))
Try "Join"
x = Left(Null, 1)
MsgBox "Left: " & Err.Number & " " & IsNull(x)
x = InStr("abc", Null)
MsgBox "InStr: " & Err.Number & " " & IsNull(x)
