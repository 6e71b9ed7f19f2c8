' A Windows host written in VBScript: creates the agent through COM, prints its defaults, and
' with a service's base URL and a product code checks that service synchronously, then shows
' the busy error (a check while an asynchronous one or its dialog runs) as a script sees it.
'   cscript //nologo agent.vbs [BaseURL ProductCode]
Option Explicit
Dim agent, info
Set agent = CreateObject("KDAutoUpdate.AuAgent")
WScript.Echo "UILanguageLCID = " & agent.UILanguageLCID
WScript.Echo "AutoConnect = " & agent.AutoConnect
WScript.Echo "CompatMode = " & agent.CompatMode
WScript.Echo "TestMode = " & agent.TestMode
WScript.Echo "IsProcessing = " & agent.IsProcessing
agent.ProductCode = "1234"
WScript.Echo "ProductCode = " & agent.ProductCode
agent.BaseURL = "http://127.0.0.1:8080/services/autoupdate/"
WScript.Echo "BaseURL = " & agent.BaseURL
If WScript.Arguments.Count = 2 Then
    agent.BaseURL = WScript.Arguments(0)
    agent.ProductCode = WScript.Arguments(1)
    WScript.Echo "CheckMessages = " & agent.CheckMessages(True, False)
    Set info = agent.GetProductInfo()
    WScript.Echo "LastMessageStamp = " & info.LastMessageStamp
    WScript.Echo "Checked today = " & (Int(info.LastCheckedDate) = Date)
    ' Not silent: the messages' dialog keeps the agent busy if the check is over by then.
    agent.CheckMessages False, True
    On Error Resume Next
    agent.CheckMessages True, True
    WScript.Echo "Busy Err.Number = " & Err.Number & " (&H" & Hex(Err.Number) & ")"
    WScript.Echo "Busy Err.Source = " & Err.Source
    WScript.Echo "Busy Err.Description = " & Err.Description
    On Error GoTo 0
End If
