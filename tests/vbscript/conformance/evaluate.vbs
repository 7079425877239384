' Execute, ExecuteGlobal and Eval
Dim g
g = 1
Execute "g = g + 1"
MsgBox g
ExecuteGlobal "Function Triple(v) : Triple = v * 3 : End Function"
MsgBox Triple(4)
MsgBox Eval("g * 10 + Triple(1)")
MsgBox Eval("1 = 1") & " " & Eval("""a"" & ""b""")
Sub Scope
    Dim local
    local = 5
    Execute "local = local * 2"
    MsgBox local
    MsgBox Eval("local + 1")
    ExecuteGlobal "g = 100"
End Sub
Scope
MsgBox g
On Error Resume Next
Execute "x = "
MsgBox Err.Number & " " & Err.Description
