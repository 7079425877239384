' Property, Default, Error, Step and Explicit are ordinary names; after a dot any keyword is a member
Option Explicit
Dim Property, Default, Error, Step, Explicit, i, total
Property = 1
Default = 2
Error = 3
Step = 2
Explicit = 5
MsgBox Property & Default & Error & Step & Explicit
For i = 1 To 5 Step Step
    total = total + i
Next
MsgBox total
Sub Local
    Dim Property
    Property = "local"
    MsgBox Property
End Sub
Local
Class Bag
    Public Property
    Public Default Property Get Item
        Item = "item"
    End Property
End Class
Dim b
Set b = New Bag
b.Property = "field"
MsgBox b.Property & " " & b
Dim re
Set re = New RegExp
re.Pattern = "x"
Dim d
Set d = CreateObject("Scripting.Dictionary")
d.Add "k", 1
On Error Resume Next
MsgBox d.rem
MsgBox "member rem: " & Err.Number
Err.Clear
MsgBox d.end
MsgBox "member end: " & Err.Number
