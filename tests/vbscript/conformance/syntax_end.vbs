Sub A
  MsgBox 1
End Function
