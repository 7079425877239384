' RegExp: Pattern, IgnoreCase, Global, Execute, Test, Replace, SubMatches
Dim re, ms, m
Set re = New RegExp
re.Pattern = "(\w+)@(\w+)\.com"
MsgBox re.Test("mail bob@example.com now") & " " & re.Test("nothing here")
Set ms = re.Execute("bob@example.com, ann@test.com")
MsgBox ms.Count
Set m = ms(0)
MsgBox m.FirstIndex & " " & m.Length & " " & m.Value & " " & m.SubMatches.Count & " " & m.SubMatches(0) & " " & m.SubMatches(1)
re.Global = True
Set ms = re.Execute("bob@example.com, ann@test.com")
MsgBox ms.Count & " " & ms(1).FirstIndex & " " & ms.Item(1).SubMatches(0)
MsgBox re.Replace("bob@example.com, ann@test.com", "$2:$1")
re.Pattern = "a"
MsgBox re.Replace("banana", "o") & " " & re.Global
re.Global = False
MsgBox re.Replace("banana", "o")
re.Pattern = "B"
MsgBox re.Test("abc") & " " & re.IgnoreCase
re.IgnoreCase = True
MsgBox re.Test("abc")
re.Pattern = "^\d+$"
re.MultiLine = True
re.Global = True
MsgBox re.Execute("12" & vbLf & "ab" & vbLf & "345").Count
re.Pattern = "x(y)?"
Set m = re.Execute("x")(0)
MsgBox IsEmpty(m.SubMatches(0)) & " [" & m.SubMatches(0) & "]"
re.Pattern = "(\d)(\d)"
MsgBox re.Replace("12 34", "[$&|$2$1|$$]")
For Each m In re.Execute("12 34 56")
    MsgBox m.Value
Next
re.Pattern = "("
On Error Resume Next
MsgBox re.Test("x")
MsgBox Err.Number & " " & Err.Description
' A script may declare a class RegExp (with a member Global), but New RegExp is the built-in one
Class RegExp
    Public Property Get Global()
        MsgBox "the script's class"
        Global = "fail"
    End Property
End Class
Set x = New RegExp
MsgBox "built-in: " & TypeName(x) & " " & x.Global
