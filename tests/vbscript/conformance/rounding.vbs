' Banker's rounding in Round, CInt and CLng; Int and Fix
MsgBox Round(0.5) & " " & Round(1.5) & " " & Round(2.5) & " " & Round(3.5) & " " & Round(-2.5)
MsgBox CInt(0.5) & " " & CInt(1.5) & " " & CInt(2.5) & " " & CInt(-0.5) & " " & CInt(-1.5)
MsgBox CLng(2.5) & " " & CLng(3.5) & " " & CLng(2.51)
MsgBox Round(2.345, 2) & " " & Round(2.355, 2) & " " & Round(1.005, 2) & " " & Round(12.5, 0)
MsgBox Int(2.7) & " " & Int(-2.7) & " " & Fix(2.7) & " " & Fix(-2.7)
MsgBox TypeName(Int(2.7)) & " " & TypeName(Round(2.7)) & " " & TypeName(Round(2)) & " " & TypeName(CInt(2.7))
MsgBox Abs(-3) & " " & Abs(-2.5) & " " & Sgn(-4) & " " & Sgn(0) & " " & Sgn(7.5)
MsgBox 7 \ 2.5 & " " & 8 Mod 2.5
