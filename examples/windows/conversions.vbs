' Values as field code has them: text read from the registry (or an INI file) assigned to the
' agent's numeric and Boolean properties, which convert it as the automation runtime converts
' values; variables passed to a method by reference; a value that is no number at all.
'   cscript //nologo conversions.vbs
Option Explicit
Dim shell, key, agent, silent, async
Set shell = CreateObject("WScript.Shell")
key = "HKCU\Software\KDAutoUpdate Examples\Conversions\"
shell.RegWrite key & "MajorVer", "5", "REG_SZ"
shell.RegWrite key & "TestMode", "True", "REG_SZ"

Set agent = CreateObject("KDAutoUpdate.AuAgent")
agent.MajorVer = shell.RegRead(key & "MajorVer")
agent.TestMode = shell.RegRead(key & "TestMode")
WScript.Echo "MajorVer = " & agent.MajorVer & " (" & TypeName(agent.MajorVer) & ")"
WScript.Echo "TestMode = " & agent.TestMode & " (" & TypeName(agent.TestMode) & ")"
agent.MinorVer = 2.5
agent.Revision = "3.5"
WScript.Echo "MinorVer = " & agent.MinorVer & ", Revision = " & agent.Revision
agent.CampaignID = 42
WScript.Echo "CampaignID = " & agent.CampaignID & " (" & TypeName(agent.CampaignID) & ")"

' Nothing answers on port 9: the synchronous check fails at once and is over on return.
agent.ProductCode = "1234"
agent.BaseURL = "http://127.0.0.1:9/services/autoupdate"
silent = "True"
async = "False"
WScript.Echo "CheckMessages = " & agent.CheckMessages(silent, async)
WScript.Echo "IsProcessing = " & agent.IsProcessing

On Error Resume Next
agent.MajorVer = "five"
WScript.Echo "Not a number: Err.Number = " & Err.Number & ", MajorVer = " & agent.MajorVer
Err.Clear
agent.TestMode = "maybe"
WScript.Echo "Not a Boolean: Err.Number = " & Err.Number & ", TestMode = " & agent.TestMode
On Error GoTo 0

shell.RegDelete key & "MajorVer"
shell.RegDelete key & "TestMode"
shell.RegDelete key
shell.RegDelete "HKCU\Software\KDAutoUpdate Examples\"
