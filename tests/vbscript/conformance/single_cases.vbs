' Single cases: Stop, an empty one-line If, a tiny literal, unary + on an object, With Nothing,
' For Each over an empty dynamic array, Split's compare mode, vbDatabaseCompare, Randomize for a
' value, a Boolean replacement, Rnd(0) before any other call
MsgBox Rnd(0)
Stop
MsgBox "after Stop"
if false then :
MsgBox 1e-94938484
Set d = CreateObject("Scripting.Dictionary")
Set e = +d
MsgBox TypeName(e) & " " & (e Is d)
With Nothing
End With
MsgBox "with"
Dim n()
For Each x In n
    MsgBox "turn"
Next
MsgBox "no turn"
MsgBox vbDatabaseCompare
On Error Resume Next
x = Split("a b", " ", -1, vbDatabaseCompare)
MsgBox "Split: " & Err.Number
Err.Clear
x = Randomize(0)
MsgBox "Randomize: " & Err.Number
Err.Clear
With Nothing
    y = .Count
End With
MsgBox "member of Nothing: " & Err.Number
Err.Clear
On Error GoTo 0
Set r = New RegExp
r.Pattern = "b"
MsgBox r.Replace("abc", True) & " " & r.Replace("abc", False)
