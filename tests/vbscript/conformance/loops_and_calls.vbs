' Loops, exits and calls in procedures and top-level code, including the paths that leave a loop
' from inside a Select, counters changed in the body and arguments passed by reference
Function Sum(n)
    Dim i, t
    t = 0
    For i = 1 To n
        t = t + i
    Next
    Sum = t
End Function
MsgBox Sum(100) & " " & Sum(0)

Function FirstOver(limit)
    Dim i
    For i = 1 To 100
        Select Case True
            Case i * i > limit
                Exit For
        End Select
    Next
    FirstOver = i
End Function
MsgBox FirstOver(50)

Function Skip()
    Dim i, s
    s = ""
    For i = 1 To 10
        s = s & i
        i = i + 2
    Next
    Skip = s & "/" & i
End Function
MsgBox Skip()

Function Steps()
    Dim x, s
    For x = 0 To 1 Step 0.25
        s = s & x & ";"
    Next
    For x = 3 To 1 Step -1
        s = s & x
    Next
    Steps = s & "/" & x & " " & TypeName(x)
End Function
MsgBox Steps()

Function Nested()
    Dim i, j, n
    n = 0
    Do
        i = i + 1
        For j = 1 To 5
            If j > i Then Exit For
            n = n + 1
        Next
        If i >= 4 Then Exit Do
    Loop
    Nested = n & " " & i & " " & j
End Function
MsgBox Nested()

Function Whiles()
    Dim k, n
    n = 0
    Do While True
        k = 0
        While k < 3
            k = k + 1
            If n > 5 Then Exit Do
            n = n + 1
        Wend
    Loop
    Whiles = n & " " & k
End Function
MsgBox Whiles()

Function Untils()
    Dim a, b
    a = 0
    Do Until a >= 5
        a = a + 2
    Loop
    b = 10
    Do
        b = b - 3
    Loop While b > 0
    Untils = a & " " & b
End Function
MsgBox Untils()

Sub Bump(ByRef v, ByVal w)
    v = v + 1
    w = w + 1
End Sub
Dim p, q
p = 1: q = 1
Bump p, q
Bump p, q
MsgBox p & " " & q

Function Fact(n)
    If n <= 1 Then
        Fact = 1
    Else
        Fact = n * Fact(n - 1)
    End If
End Function
MsgBox Fact(10) & " " & TypeName(Fact(7)) & " " & TypeName(Fact(8)) & " " & Fact(13)

Function Early(n)
    Early = "small"
    If n < 10 Then Exit Function
    Early = "big"
End Function
MsgBox Early(3) & " " & Early(30)

Dim total, k
total = 0
For k = 1 To 5
    total = total + k * k
Next
MsgBox total & " " & k
k = 40000
MsgBox TypeName(k + k) & " " & TypeName(32767 + 1) & " " & TypeName(2147483647 + 1) & " " & (7 \ 2) & " " & (-7 Mod 3)

Function Guarded(d)
    On Error Resume Next
    Guarded = 10 / d
    If Err.Number <> 0 Then Guarded = "error " & Err.Number
End Function
MsgBox Guarded(2) & " " & Guarded(0)

Function Deep()
    Dim a, b, c, d, e, n
    For a = 1 To 2: For b = 1 To 2: For c = 1 To 2: For d = 1 To 2: For e = 1 To 3
        n = n + 1
        If e = 2 Then Exit For
    Next: Next: Next: Next: Next
    Deep = n & " " & a & b & c & d & e
End Function
MsgBox Deep()

Function Divide(a, b)
    Divide = a / b
End Function
MsgBox Divide(9, 3)
MsgBox Divide(1, 0)
