' Types of results: Round keeps a Boolean, a hexadecimal literal with '&' that fits is an Integer,
' a Single compares with a Double at its own precision
MsgBox TypeName(Round(True)) & " " & Round(True)
MsgBox TypeName(&h10&) & " " & &h10&
MsgBox TypeName(&hFFFF&) & " " & &hFFFF&
MsgBox TypeName(&hFFFF) & " " & &hFFFF
MsgBox TypeName(&h7FFF&) & " " & TypeName(&h8000&) & " " & &h8000&
MsgBox CSng(0.1) = 0.1
MsgBox CSng(0.1) < 0.1
MsgBox CDbl(CSng(0.1)) = 0.1
