' On Error Resume Next: the failing statement is skipped, Err describes it
On Error Resume Next
Dim a
a = 1
a = 1 / 0
MsgBox "after: " & a & " " & Err.Number & " " & Err.Source
Err.Clear
Sub Fails
    MsgBox "in Fails"
    Err.Raise 1234, "MySource", "My description"
    MsgBox "not reached"
End Sub
Fails
MsgBox Err.Number & " " & Err.Source & " " & Err.Description
On Error GoTo 0
MsgBox Err.Number
Sub Local
    On Error Resume Next
    x = CLng("zz")
    MsgBox "local " & Err.Number
End Sub
Local
MsgBox "back"
Function Safe(v)
    On Error Resume Next
    Safe = 10 / v
    If Err.Number <> 0 Then Safe = -1
End Function
MsgBox Safe(2) & " " & Safe(0)
On Error Resume Next
Err.Raise vbObjectError + 1
MsgBox Err.Number - vbObjectError & " " & Err.Description
Err.Raise 5
MsgBox Err.Number & " " & Err.Description
If 1 / 0 = 5 Then
    MsgBox "entered"
End If
Err.Clear
Err.Number = 7
MsgBox Err & " " & Err.Description
On Error GoTo 0
Err.Raise 9
MsgBox "not reached"
