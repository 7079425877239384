' Unbounded recursion ends in "Out of stack space", which can be trapped
Function Down(n)
    Down = Down(n + 1)
End Function
On Error Resume Next
x = Down(1)
MsgBox Err.Number & " " & Err.Description
On Error GoTo 0
x = Down(1)
