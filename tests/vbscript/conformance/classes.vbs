' Classes: fields, properties, methods, Me, initialize and terminate, default members
Class Counter
    Private m_count
    Public Name
    Private Sub Class_Initialize
        m_count = 0
        Name = "unnamed"
        MsgBox "init"
    End Sub
    Private Sub Class_Terminate
        MsgBox "terminate " & Name
    End Sub
    Public Property Get Count
        Count = m_count
    End Property
    Public Property Let Count(v)
        If v < 0 Then Err.Raise 5
        m_count = v
    End Property
    Public Sub Increment(by)
        m_count = m_count + by
    End Sub
    Public Function Describe()
        Describe = Name & "=" & Me.Count
    End Function
    Public Default Function Item(i)
        Item = "item" & i
    End Function
End Class
Dim c
Set c = New Counter
c.Name = "clicks"
c.Increment 2
c.Count = c.Count + 3
MsgBox c.Describe() & " " & c.Count & " " & TypeName(c) & " " & c(7)
On Error Resume Next
c.Count = -1
MsgBox Err.Number & " " & c.Count
Err.Clear
x = c.m_count
MsgBox Err.Number
On Error GoTo 0
Set c = Nothing
MsgBox "after"
Class Node
    Public Value, NextNode
End Class
Dim head, n, i
Set head = Nothing
For i = 1 To 3
    Set n = New Node
    n.Value = i
    Set n.NextNode = head
    Set head = n
Next
Set n = head
Do While Not n Is Nothing
    MsgBox n.Value
    Set n = n.NextNode
Loop
With head
    .Value = "first"
    MsgBox .Value & " " & .NextNode.Value
End With
