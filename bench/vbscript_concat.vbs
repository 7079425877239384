' A 1 MB string built by concatenation in a loop.
Dim i, s
s = ""
For i = 1 To 1048576
    s = s & "x"
Next
If Len(s) <> 1048576 Then Err.Raise 5
