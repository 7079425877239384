' RGB, Escape, Unescape and the ScriptEngine functions
MsgBox RGB(255, 0, 0) & " " & RGB(0, 255, 0) & " " & RGB(0, 0, 255) & " " & RGB(1, 2, 3)
MsgBox RGB(300, 0, 256) & " " & TypeName(RGB(1, 2, 3)) & " " & (RGB(255, 255, 255) = vbWhite)
MsgBox Escape("Hello World!")
MsgBox Escape("AZaz09@*_+-./") & " " & Escape("a=1&b=2") & " " & Escape(ChrW(8364))
MsgBox Unescape("Hello%20World%21") & " " & Unescape("%u20AC") & " " & Unescape("100%") & " " & Unescape("%zz")
MsgBox Unescape(Escape("x y;z" & ChrW(1234))) = "x y;z" & ChrW(1234)
MsgBox IsNull(Escape(Null)) & " " & IsNull(Unescape(Null))
MsgBox ScriptEngine
MsgBox ScriptEngineMajorVersion & "." & ScriptEngineMinorVersion
MsgBox ScriptEngineBuildVersion > 0
On Error Resume Next
x = RGB(-1, 0, 0)
MsgBox Err.Number
