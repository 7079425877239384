' Err.Description of a run-time error carries VBScript's text alone; the host's report names the identifier
Option Explicit
Dim a
On Error Resume Next
a = b + 1
MsgBox Err.Number & " [" & Err.Description & "]"
Err.Clear
Set a = New NoSuchClass
MsgBox Err.Number & " [" & Err.Description & "]"
On Error GoTo 0
a = c
