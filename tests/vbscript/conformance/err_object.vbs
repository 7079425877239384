' Err.Raise: help file and context, error 0, what a second raise keeps, HRESULTs, the number's type
On Error Resume Next
Err.Raise 1, 2, "desc", "hf", 7
MsgBox Err.Number & "|" & Err.Source & "|" & Err.Description & "|" & Err.HelpFile & "|" & Err.HelpContext
Err.Raise 3
MsgBox "kept: " & Err.Number & "|" & Err.Source & "|" & Err.Description & "|" & Err.HelpFile & "|" & Err.HelpContext
Err.Clear
Err.Raise 0
MsgBox "zero: " & Err.Number & " " & Err.Description
Err.Clear
Err.Raise 6
Err.Raise 11
MsgBox "standard text follows the number: " & Err.Number & " " & Err.Description
Err.Clear
Err.Raise &h8007000E&
MsgBox "hresult: " & Err.Number & " " & Err.Description
Err.Clear
Err.Raise &h800A0009&
MsgBox "own facility: " & Err.Number & " " & Err.Description
Err.Clear
Err.Raise 5
MsgBox TypeName(Err.Number) & " " & Err.Number
Err.Clear
MsgBox TypeName(Err.Number)
Err.Clear
Err.Raise 1, "s", "d", "h", 9
MsgBox "help context: " & TypeName(Err.HelpContext) & " " & Err.HelpContext
Err.Clear
Err.Raise &h10000&
MsgBox "beyond 16 bits: " & Err.Number
Err.Clear
Err.Raise 65535
MsgBox "16 bits: " & Err.Number
Err.Clear
Err.Raise -3000000000
MsgBox "beyond a Long: " & Err.Number
