# A 1 MB string built by concatenation in a loop inside a function (CPython appends in place).
def main():
    s = ""
    for i in range(1, 1048577):
        s = s + "x"
    assert len(s) == 1048576

main()
