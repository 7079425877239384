Dim s
s = "abc
