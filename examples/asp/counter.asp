<%@ Language="VBScript" %>
<%
Option Explicit
' A hit counter kept in the application's Korvo.Dictionary (see global.asa).
'
' A single Add, Item put or Remove is atomic by itself, but "read the count, add one, write it
' back" is three calls: two requests in between could both read 41 and both write 42.
' Lock makes the sequence exclusive among the clients that also call Lock; it is advisory,
' so every page that changes "hits" must take it. Lock waits at most the given milliseconds
' and raises &H80070079 when the time runs out.
Dim hits, locked
locked = False

On Error Resume Next
SiteData.Lock 2000
If Err.Number = 0 Then locked = True
On Error GoTo 0

If locked Then
    hits = SiteData("hits") + 1
    SiteData("hits") = hits
    SiteData.UnLock
Else
    hits = SiteData("hits")   ' too busy: show the count without counting this request
End If

' The same data through a second object: a named store is shared by every object of the
' process that connects to its name, for example from a component created per request.
Dim visits
Set visits = Server.CreateObject("Korvo.Dictionary")
visits.Connect "visits"
visits.UniqueKeys = False                ' one entry per request under the visitor's address
visits.Add Request.ServerVariables("REMOTE_ADDR"), Now
%>
<!DOCTYPE html>
<html>
<head><title>Korvo.Dictionary counter</title></head>
<body>
<h1>Hits: <%= hits %><% If Not locked Then Response.Write " (not counted: the counter was busy)" %></h1>
<p>Application started <%= SiteData("started") %>, sessions so far: <%= SiteData("sessions") %>.</p>
<p>Requests from your address: <%= visits.Count(Request.ServerVariables("REMOTE_ADDR")) %>,
   from everyone: <%= visits.ItemsCount %> (<%= visits.KeysCount %> addresses).</p>
<p>Server: <%= SiteData.DebugInfo %></p>
</body>
</html>
