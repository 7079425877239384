# Numeric loop: ten million iterations of integer arithmetic inside a function (CPython's fast
# path).
def main():
    s = 0
    for i in range(1, 10000001):
        s = s + (i % 7)
    assert s == 29999997

main()
