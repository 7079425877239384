' Dates: literals, parts, arithmetic and formatting
Dim d
d = #3/15/2021 2:30:45 PM#
MsgBox d
MsgBox Year(d) & " " & Month(d) & " " & Day(d) & " " & Hour(d) & " " & Minute(d) & " " & Second(d)
MsgBox Weekday(d) & " " & WeekdayName(Weekday(d)) & " " & MonthName(3) & " " & MonthName(3, True) & " " & WeekdayName(1, True)
MsgBox DateSerial(2020, 2, 29) & " " & DateSerial(2020, 13, 1) & " " & DateSerial(2021, 3, 0)
MsgBox TimeSerial(14, 5, 9) & " " & TimeSerial(0, 90, 0)
MsgBox DateAdd("d", 10, #1/25/2021#) & " " & DateAdd("m", 1, #1/31/2021#) & " " & DateAdd("yyyy", -1, #2/29/2020#)
MsgBox DateAdd("h", 25, #1/1/2021#) & " " & DateAdd("n", -1, #1/1/2021#) & " " & DateAdd("ww", 2, #1/1/2021#)
MsgBox DateDiff("d", #1/1/2021#, #3/1/2021#) & " " & DateDiff("m", #1/31/2021#, #2/1/2021#) & " " & DateDiff("yyyy", #12/31/2020#, #1/1/2021#)
MsgBox DateDiff("h", #1/1/2021 10:00:00 PM#, #1/2/2021 1:00:00 AM#) & " " & DateDiff("s", #1/1/2021#, #1/1/2021 0:01:00#)
MsgBox DatePart("q", d) & " " & DatePart("y", d) & " " & DatePart("ww", #1/1/2021#) & " " & DatePart("w", d)
MsgBox #1/2/2021# - #1/1/2021# & " " & TypeName(#1/2/2021# - #1/1/2021#) & " " & (#1/1/2021# + 1) & " " & TypeName(#1/1/2021# + 1)
MsgBox CDate("2021-03-15") & " " & CDate("March 15, 2021") & " " & DateValue("3/15/2021 10:00:00 AM") & " " & TimeValue("3/15/2021 10:00:00 AM")
MsgBox IsDate("2/30/2021") & " " & IsDate("2/28/2021") & " " & IsDate("hello") & " " & IsDate(d)
MsgBox FormatDateTime(d, vbLongDate) & " | " & FormatDateTime(d, vbShortDate) & " | " & FormatDateTime(d, vbLongTime) & " | " & FormatDateTime(d, vbShortTime)
MsgBox CDbl(#1/1/1900#) & " " & CDate(2) & " " & TypeName(Now) & " " & (Date <= Now) & " " & TypeName(Timer)
MsgBox #12/30/1899# & "|" & CDate(0.5)
