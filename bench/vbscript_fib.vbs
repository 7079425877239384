' Recursive Fibonacci of 27.
Function Fib(n)
    If n < 2 Then
        Fib = n
    Else
        Fib = Fib(n - 1) + Fib(n - 2)
    End If
End Function
If Fib(27) <> 196418 Then Err.Raise 5
