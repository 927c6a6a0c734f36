Attribute VB_Name = "KorvoDictionary"
' Korvo.Dictionary from Office VBA. Late-bound, so no reference is needed; for early binding
' and IntelliSense add a reference to "ASP/VBS KorvoDictionary library" (Tools > References)
' and declare As Korvo.Dictionary. Office loads the DLL of its own bitness.
Option Explicit

Public Sub CountVisits()
    Dim store As Object
    Set store = CreateObject("Korvo.Dictionary")
    store.Connect "visits"        ' shared by every object of this Office process
    If Not store.Exists("count") Then store.Add "count", 0

    store.Lock 5000               ' error &H80070079 after 5 s
    On Error GoTo Release
    store("count") = store("count") + 1
Release:
    Dim failure As Long: failure = Err.Number
    On Error GoTo 0
    store.UnLock                  ' the lock outlives the object: always release it
    If failure <> 0 Then Err.Raise failure

    Debug.Print "visits: " & store("count")
End Sub

Public Sub SaveSheetNames(ByVal file As String)
    Dim names As Object, sheet As Object
    Set names = CreateObject("Korvo.Dictionary")
    For Each sheet In ThisWorkbook.Worksheets
        names.Add sheet.Name, sheet.Index
    Next
    names.Save file
End Sub
