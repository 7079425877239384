' Recursive Fibonacci of 30.
Function Fib(n)
    If n < 2 Then
        Fib = n
    Else
        Fib = Fib(n - 1) + Fib(n - 2)
    End If
End Function
If Fib(30) <> 832040 Then Err.Raise 5
