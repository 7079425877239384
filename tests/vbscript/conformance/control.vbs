' Control flow: If forms, Select Case, loops, Exit, With, continuations and comments
Dim i, s
For i = 1 To 10 Step 3 : s = s & i & " " : Next
MsgBox s & "| after: " & i
s = ""
For i = 5 To 1 Step -2
    s = s & i
Next
MsgBox s
s = ""
For i = 1 To 0
    s = "ran"
Next
MsgBox "[" & s & "] " & i
i = 0
Do
    i = i + 1
    If i = 3 Then Exit Do
Loop
MsgBox i
i = 0
Do While i < 5
    i = i + 2
Loop
MsgBox i
i = 10
Do Until i <= 7 : i = i - 1 : Loop
MsgBox i
i = 0
Do
    i = i + 1
Loop While i < 0
MsgBox i
i = 0
Do : i = i + 1 : Loop Until i >= 4
MsgBox i
i = 0
While i < 3
    i = i + 1
Wend
MsgBox i
For Each x In Array(1, 2, 3)
    If x = 2 Then Exit For
Next
MsgBox x
Function Classify(v)
    Select Case v
        Case "a", "b"
            Classify = "letter"
        Case 1, 2, 3
            Classify = "small"
        Case 4 To 9
            Classify = "medium"
        Case Is >= 10
            Classify = "large"
        Case Else
            Classify = "other"
    End Select
End Function
MsgBox Classify(2) & " " & Classify(7) & " " & Classify(100) & " " & Classify("b") & " " & Classify(-1)
If 1 > 2 Then MsgBox "no" Else MsgBox "one-line else"
If True Then MsgBox "a" : MsgBox "b"
If False Then
    MsgBox "no"
ElseIf 2 > 1 Then
    MsgBox "elseif"
Else
    MsgBox "no"
End If
s = "con" & _
    "tinued" ' a comment
MsgBox s
Rem a Rem comment
MsgBox "rem done" : Rem trailing
Sub EarlyExit(v)
    If v Then Exit Sub
    MsgBox "not exited"
End Sub
EarlyExit True
EarlyExit False
Function Sum(a, b) : Sum = a + b : End Function
MsgBox Sum(2, 3)
For i = 1 To 3
    For j = 1 To 3
        If j = 2 Then Exit For
        s = i & j
    Next
Next
MsgBox s
eMpTy_VaR = 5
MsgBox EMPTY_var
MsgBox (1) + 2
MsgBox (1), vbOKOnly
nested = Array(Array(1, 2), Array(3, 4)) : MsgBox nested(1)(0)
MsgBox -2 ^ 2 & " " & 2 ^ -1 & " " & (Not 1 = 2)
