' Numeric loop: ten million iterations of integer arithmetic.
Dim i, s
s = 0
For i = 1 To 10000000
    s = s + (i Mod 7)
Next
If s <> 29999997 Then Err.Raise 5
