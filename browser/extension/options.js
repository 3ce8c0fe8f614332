// Shows the switches Tarnwick's Options hold for this extension; they are changed there.
"use strict";

chrome.runtime.sendNativeMessage("ostrand.tarnwick.quillet", {cmd: "state"}, (answer) => {
  const shown = document.getElementById("send-cookies");
  if (chrome.runtime.lastError || !answer || answer.ok !== true)
    shown.textContent = "unknown: Tarnwick cannot be reached from this browser";
  else
    shown.textContent = answer.sendCookies === true ? "on" : "off";
});
