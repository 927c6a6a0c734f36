' The check helpers of the VBScript tests. The test runner puts this file in front of each
' test script, so the scripts themselves start with their first check; a line number that
' cscript reports counts from the top of this file.
Option Explicit

Dim passed, failed
passed = 0
failed = 0

' Text of a value for comparisons and messages: strings quoted, arrays in brackets, so that
' "1" and 1, "" and Empty, an array and its first element never look alike.
Function Describe(v)
    Dim s, i
    If IsArray(v) Then
        s = "["
        For i = LBound(v) To UBound(v)
            If i > LBound(v) Then s = s & ", "
            s = s & Describe(v(i))
        Next
        Describe = s & "]"
    ElseIf IsObject(v) Then
        Describe = "<object>"
    ElseIf IsNull(v) Then
        Describe = "Null"
    ElseIf IsEmpty(v) Then
        Describe = "Empty"
    ElseIf VarType(v) = vbString Then
        Describe = """" & v & """"
    Else
        Describe = CStr(v)
    End If
End Function

Sub Report(name, ok, gotText, expectedText)
    If ok Then
        passed = passed + 1
        WScript.Echo "ok - " & name
    Else
        failed = failed + 1
        WScript.Echo "not ok - " & name & ": got " & gotText & " expected " & expectedText
    End If
End Sub

Sub Check(name, got, expected)
    Report name, Describe(got) = Describe(expected), Describe(got), Describe(expected)
End Sub

' A failure that leaves an error record: number, description and source, then clears Err.
Sub CheckError(name, e, number, description)
    Dim got, want
    got = "&H" & Hex(e.Number) & " """ & e.Description & """ from """ & e.Source & """"
    want = "&H" & Hex(number) & " """ & description & """ from ""Korvo.Dictionary"""
    Report name, got = want, got, want
    e.Clear
End Sub

' A result that is a bare HRESULT (or success, number 0): the number only, then clears Err.
Sub CheckNumber(name, e, number)
    Report name, e.Number = number, "&H" & Hex(e.Number), "&H" & Hex(number)
    e.Clear
End Sub

Sub Finish()
    WScript.Echo "# script-result: " & passed & " passed, " & failed & " failed"
    WScript.Quit failed
End Sub
