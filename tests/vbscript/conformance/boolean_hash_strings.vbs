' "#TRUE#" and "#FALSE#" are Boolean texts like "True" and "False"
MsgBox CBool("#TRUE#") & " " & CBool("#FALSE#") & " " & CBool("#true#")
If "#TRUE#" Then MsgBox "condition"
If Not "#FALSE#" Then MsgBox "not"
MsgBox ("#TRUE#" And True) & " " & TypeName("#TRUE#" Or False)
On Error Resume Next
x = CBool("#TRUE")
MsgBox "unclosed: " & Err.Number
