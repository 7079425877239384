' End Sub, End Function, End Property and End If close their block with no line end or ':' before them
Dim total
Sub AddOne() total = total + 1 End Sub
Function Twice(n) Twice = n * 2 End Function
Sub Nothing1() End Sub
AddOne
AddOne
Nothing1
MsgBox total & " " & Twice(21)
Class Holder
    Public Value
    Property Get Doubled() Doubled = Value * 2 End Property
    Sub SetIt(v) Value = v End Sub
End Class
Set h = New Holder
h.SetIt 4
MsgBox h.Doubled
If total = 2 Then
    MsgBox "two" End If
