' Scripting.Dictionary: every member, its errors and For Each over the keys
Dim d, k, s, a
Set d = CreateObject("Scripting.Dictionary")
MsgBox TypeName(d) & " " & d.Count
d.Add "apple", 1
d.Add "banana", 2
d.Add 3, "three"
MsgBox d.Count & " " & d.Exists("apple") & " " & d.Exists("Apple") & " " & d.Exists(3) & " " & d.Exists("3")
MsgBox d.Item("banana") & " " & d("apple") & " " & d(3)
d("cherry") = 4
d.Item("apple") = 10
MsgBox d.Count & " " & d("apple") & " " & d("cherry")
' reading a missing key adds it with an empty item
MsgBox IsEmpty(d("durian")) & " " & d.Count & " " & d.Exists("durian")
a = d.Keys
MsgBox TypeName(a) & " " & UBound(a) & " " & Join(a, ",")
MsgBox Join(d.Items, ",")
d.Key("banana") = "blueberry"
MsgBox d.Exists("banana") & " " & d("blueberry") & " " & Join(d.Keys, ",")
d.Remove "durian"
s = ""
For Each k In d
    s = s & k & "=" & d(k) & ";"
Next
MsgBox s
On Error Resume Next
d.Add "apple", 99
MsgBox Err.Number & " " & Err.Description
Err.Clear
d.Remove "nothing here"
MsgBox Err.Number & " " & Err.Description
Err.Clear
d.Key("nothing here") = "x"
MsgBox Err.Number & " " & Err.Description
Err.Clear
d.CompareMode = 1
MsgBox Err.Number & " " & d.CompareMode
Err.Clear
On Error GoTo 0
d.RemoveAll
MsgBox d.Count & " " & UBound(d.Keys)
d.CompareMode = vbTextCompare
d.Add "Key", "first"
MsgBox d.Exists("KEY") & " " & d("kEy") & " " & d.CompareMode
Set d("obj") = CreateObject("Scripting.Dictionary")
d("obj").Add "inner", 1
MsgBox TypeName(d("obj")) & " " & d("obj").Count & " " & d.Count
