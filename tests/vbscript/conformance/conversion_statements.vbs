' A conversion called as a statement raises 458 (after converting); CStr and CBool do not
On Error Resume Next
Call CInt(1)
MsgBox "CInt: " & Err.Number & " " & Err.Description
Err.Clear
Call CByte(1)
MsgBox "CByte: " & Err.Number
Err.Clear
Call CCur(1)
MsgBox "CCur: " & Err.Number
Err.Clear
Call CDate(1)
MsgBox "CDate: " & Err.Number
Err.Clear
Call CDbl(1)
MsgBox "CDbl: " & Err.Number
Err.Clear
Call CLng(1)
MsgBox "CLng: " & Err.Number
Err.Clear
Call CSng(1)
MsgBox "CSng: " & Err.Number
Err.Clear
CLng 2
MsgBox "CLng without Call: " & Err.Number
Err.Clear
Call CInt("x")
MsgBox "bad argument first: " & Err.Number
Err.Clear
Call CStr(1)
Call CBool(1)
MsgBox "CStr, CBool: " & Err.Number
Sub Compiled
    Call CInt(3)
End Sub
Compiled
MsgBox "in a procedure: " & Err.Number
