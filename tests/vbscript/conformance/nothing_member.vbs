' A member reached through Nothing or a non-object: 424 Object required
Dim o, x, e
Set o = Nothing
On Error Resume Next
x = o.Name
MsgBox Err.Number & " " & Err.Description
Err.Clear
o.Run 1
MsgBox Err.Number & " " & Err.Description
Err.Clear
o.Value = 3
MsgBox Err.Number & " " & Err.Description
Err.Clear
x = e.Name
MsgBox Err.Number & " " & Err.Description
Err.Clear
On Error GoTo 0
o.Run
