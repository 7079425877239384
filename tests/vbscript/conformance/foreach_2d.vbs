' For Each walks a multi-dimensional array in memory order: the first subscript fastest
Dim a(1, 2), b(1, 1, 1), i, j, k, v, s
For i = 0 To 1
    For j = 0 To 2
        a(i, j) = i & j
    Next
Next
s = ""
For Each v In a
    s = s & v & " "
Next
MsgBox s
For i = 0 To 1: For j = 0 To 1: For k = 0 To 1: b(i, j, k) = i & j & k: Next: Next: Next
s = ""
For Each v In b
    s = s & v & " "
Next
MsgBox s
ReDim c(2, 0)
c(0, 0) = "x": c(1, 0) = "y": c(2, 0) = "z"
s = ""
For Each v In c
    s = s & v
Next
MsgBox s
