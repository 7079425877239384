' => and =< compare as >= and <=, >< as <>
MsgBox (3 => 2) & " " & (2 => 2) & " " & (1 => 2)
MsgBox (3 =< 2) & " " & (2 =< 2) & " " & (1 =< 2)
MsgBox (3 >< 2) & " " & (2 >< 2)
If "b" => "a" Then MsgBox "strings"
Select Case 5
Case Is =< 4
    MsgBox "low"
Case Is => 5
    MsgBox "high"
End Select
