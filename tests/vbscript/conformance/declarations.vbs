' Declarations: ReDim declares under Option Explicit, a script-level Dim exists before it runs,
' a constant is known throughout its scope (also from a one-line If)
Option Explicit
MsgBox TypeName(z)
Dim z
ReDim a(3)
a(1) = "one"
MsgBox UBound(a) & " " & a(1)
If False Then Dim hidden
hidden = "declared"
MsgBox hidden
If True Then Const Shown = 5
MsgBox Shown
If False Then Const Skipped = "constant"
MsgBox Skipped
MsgBox Later
Const Later = -2
Sub InProcedure
    If False Then Const Local = 7
    MsgBox Local + 1
End Sub
InProcedure
On Error Resume Next
Shown = 6
MsgBox "assigned: " & Err.Number & " " & Shown
