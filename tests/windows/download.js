// What a script page does: create the launcher by its ProgID and hand it one address.
// The script host ends with 0 even on an uncaught error, so errors end it with 1 here.
try {
    new ActiveXObject("Ostrand.Tarnwick.Quillet").Download(WScript.Arguments(0));
} catch (e) {
    WScript.Echo("error: " + e.message);
    WScript.Quit(1);
}
WScript.Quit(0);
