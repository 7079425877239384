# Recursive Fibonacci of 30; prints the seconds of CPU time the computation took.
import time

def fib(n):
    if n < 2:
        return n
    else:
        return fib(n - 1) + fib(n - 2)

def main():
    assert fib(30) == 832040

t = time.process_time()
main()
print(time.process_time() - t)
