// The browser check of every page. The explorer needs frames, forms and
// scripts that reach across frames: every browser with a standard document
// object model has them, whatever name it gives itself, so only browsers
// without one are sent to the page that explains what is needed.

// The one browser known to fail before the check can even run.
function isIE3Mac() {
    var agent = navigator.userAgent;
    return agent.indexOf("MSIE 3") != -1 && agent.indexOf("Mac") != -1;
}

function BrowserSniffer() {
    var agent = navigator.userAgent.toLowerCase();
    var major = parseInt(navigator.appVersion, 10);
    this.dom = !!(document.getElementById && document.getElementsByTagName);
    this.ie = agent.indexOf("msie") != -1 || agent.indexOf("trident/") != -1;
    this.ie4up = this.ie && (this.dom || major >= 4);
    this.nav4up = !this.ie && (this.dom || (navigator.appName == "Netscape" && major >= 4));
}
