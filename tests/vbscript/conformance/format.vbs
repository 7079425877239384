' FormatNumber, FormatCurrency, FormatPercent
MsgBox FormatNumber(1234567.891) & " | " & FormatNumber(1234.5, 0) & " | " & FormatNumber(0.5, 2, 0) & " | " & FormatNumber(-1234.5, 1, , -1)
MsgBox FormatNumber(1234.5, 2, , , 0) & " | " & FormatNumber(0.004, 2) & " | " & FormatNumber("12.345", 1)
MsgBox FormatCurrency(1234.5) & " | " & FormatCurrency(-3) & " | " & FormatCurrency(2.5, 0)
MsgBox FormatPercent(0.1234) & " | " & FormatPercent(0.5, 0) & " | " & FormatPercent(1.23456, 1)
