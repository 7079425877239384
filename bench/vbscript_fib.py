# Recursive Fibonacci of 27.
def fib(n):
    if n < 2:
        return n
    else:
        return fib(n - 1) + fib(n - 2)
assert fib(27) == 196418
