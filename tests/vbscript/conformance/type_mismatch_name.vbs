' An unknown procedure called with arguments: Err.Description without the name, the report with it
Dim r
On Error Resume Next
r = NoSuchFunction(1)
MsgBox Err.Number & " [" & Err.Description & "]"
On Error GoTo 0
NoSuchSub 1, 2
