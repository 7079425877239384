# A 1 MB string built by concatenation in a loop inside a function (CPython appends in place);
# prints the seconds of CPU time the computation took.
import time

def main():
    s = ""
    for i in range(1, 1048577):
        s = s + "x"
    assert len(s) == 1048576

t = time.process_time()
main()
print(time.process_time() - t)
