// A Windows host written in JScript: creates the agent through COM, prints its defaults and,
// with a service's base URL and a product code, checks that service synchronously, keeps a
// field of the product's record for a new agent to read back, and shows the busy error as a
// script sees it.
//   cscript //nologo agent.js [BaseURL ProductCode]
var agent = new ActiveXObject("KDAutoUpdate.AuAgent");
WScript.Echo("UILanguageLCID = " + agent.UILanguageLCID);
WScript.Echo("AutoConnect = " + agent.AutoConnect);
WScript.Echo("CompatMode = " + agent.CompatMode);
WScript.Echo("TestMode = " + agent.TestMode);
WScript.Echo("IsProcessing = " + agent.IsProcessing);
agent.ProductCode = "1234";
WScript.Echo("ProductCode = " + agent.ProductCode);
agent.BaseURL = "http://127.0.0.1:8080/services/autoupdate/";
WScript.Echo("BaseURL = " + agent.BaseURL);
if (WScript.Arguments.length == 2) {
    var base = WScript.Arguments(0), product = WScript.Arguments(1);
    agent.BaseURL = base;
    agent.ProductCode = product;
    WScript.Echo("CheckMessages = " + agent.CheckMessages(true, false));
    var info = agent.GetProductInfo();
    WScript.Echo("Checked today = " +
                 (new Date(info.LastCheckedDate).toDateString() == new Date().toDateString()));
    info.LastUpdateName = "Written by agent.js";
    info.Persist();
    // The store is saved when its agent ends; a new agent reads it from the file.
    info = null;
    agent = null;
    CollectGarbage();
    var second = new ActiveXObject("KDAutoUpdate.AuAgent");
    second.ProductCode = product;
    WScript.Echo("Read back LastUpdateName = " + second.GetProductInfo().LastUpdateName);
    // A check while the asynchronous one or its dialog (not silent) runs is refused as busy.
    second.BaseURL = base;
    second.CheckMessages(false, true);
    try {
        second.CheckMessages(true, true);
        WScript.Echo("No busy error");
    } catch (e) {
        WScript.Echo("Busy e.number = " + e.number + " (0x" + (e.number >>> 0).toString(16) + ")");
        WScript.Echo("Busy e.description = " + e.description);
    }
}
