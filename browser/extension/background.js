// Hands the page shown, or a link on it, to Tarnwick through the quillet native-messaging host.
// Which entry points exist is Tarnwick's choice (its Options dialog): the host answers it, and
// only those entry points are built. Without a host none are, and the user is told why once.
"use strict";

const HOST = "ostrand.tarnwick.quillet";
const ACTION_TITLE = "Download Video";
// Firefox calls the API "menus" and only there has it a Tools menu.
const menus = chrome.menus ?? chrome.contextMenus;
const HAS_TOOLS_MENU = Boolean(menus.ContextType && menus.ContextType.TOOLS_MENU);
const ITEMS = {
  page: {id: "tarnwick-page", title: "Download Video on This Page", contexts: ["page"]},
  link: {id: "tarnwick-link", title: "Download Video This Links To", contexts: ["link"]},
  tools: {id: "tarnwick-tools", title: "Download Video on This Page", contexts: ["tools_menu"]},
};
const NONE = {contextMenu: false, toolbarButton: false, toolsMenu: false, missing: ""};
const REFRESH_SECONDS = 30;
const ICONS = {16: "icons/16.png", 32: "icons/32.png"};
const GREY_ICONS = {16: "icons/16-off.png", 32: "icons/32-off.png"};
const SWITCHED_OFF_TITLE = `${ACTION_TITLE} (switched off in Tarnwick's Options)`;
const MISSING_HOST =
    "Tarnwick cannot be reached from this browser. Start Tarnwick once, or tick the browser " +
    "entry points in its Options, then try again";
// Remembered across restarts of the background, which Chromium ends when idle.
const MISSING_TOLD_KEY = "missingHostTold";

let built = null;
let queue = Promise.resolve();

// The callback form works alike in both browsers' "chrome" namespace.
function Call(operation) {
  return new Promise((resolve, reject) => {
    operation((result) => {
      const error = chrome.runtime.lastError;
      error ? reject(new Error(error.message)) : resolve(result);
    });
  });
}

function AskHost(message) {
  return Call((done) => chrome.runtime.sendNativeMessage(HOST, message, done));
}

async function ReadState() {
  try {
    const answer = await AskHost({cmd: "state"});
    if (!answer || answer.ok !== true)
      return {...NONE, missing: `${MISSING_HOST} (${(answer && answer.error) || "no answer"}).`};
    return {
      contextMenu: answer.contextMenu === true,
      toolbarButton: answer.toolbarButton === true,
      toolsMenu: answer.toolsMenu === true && HAS_TOOLS_MENU,
      missing: "",
    };
  } catch (error) {
    // No host manifest, or the host failed to start.
    return {...NONE, missing: `${MISSING_HOST} (${error.message}).`};
  }
}

// A message the user sees whether or not the toolbar button is pinned. Resolves to its id, or
// to an empty text where the browser shows none.
async function Notify(message) {
  try {
    return await Call((done) => chrome.notifications.create({
      type: "basic", iconUrl: chrome.runtime.getURL("icons/48.png"), title: "Tarnwick", message}, done));
  } catch (error) {
    return "";
  }
}

// Tells once that the entry points are gone for want of the host, not each time it is asked;
// once the host answers again a later loss is told again.
async function TellMissingHostOnce(missing) {
  const stored = await Call((done) => chrome.storage.local.get(MISSING_TOLD_KEY, done));
  const told = stored[MISSING_TOLD_KEY] === true;
  if (missing && !told) {
    await Call((done) => chrome.storage.local.set({[MISSING_TOLD_KEY]: true}, done));
    await Notify(missing);
  } else if (!missing && told) {
    await Call((done) => chrome.storage.local.remove(MISSING_TOLD_KEY, done));
  }
}

async function Build(state) {
  await Call((done) => menus.removeAll(done));
  const items = [];
  if (state.contextMenu)
    items.push(ITEMS.page, ITEMS.link);
  if (state.toolsMenu)
    items.push(ITEMS.tools);
  for (const item of items)
    await Call((done) => menus.create(item, done));
  // A switched-off button stays visible, greyed, and says why in its tooltip.
  const on = state.toolbarButton;
  await Call((done) => (on ? chrome.action.enable(done) : chrome.action.disable(done)));
  await Call((done) => chrome.action.setIcon({path: on ? ICONS : GREY_ICONS}, done));
  await Call((done) => chrome.action.setTitle({title: ActionTitle(state)}, done));
  built = state;
}

function ActionTitle(state) {
  if (state.toolbarButton)
    return ACTION_TITLE;
  return state.missing ? `${ACTION_TITLE}: ${state.missing}` : SWITCHED_OFF_TITLE;
}

function SameState(a, b) {
  return a !== null && b !== null && a.contextMenu === b.contextMenu &&
         a.toolbarButton === b.toolbarButton && a.toolsMenu === b.toolsMenu && a.missing === b.missing;
}

// Asks the host and rebuilds what changed. Calls run one after another, so that two answers
// never build the menus at the same time.
function Refresh() {
  queue = queue.then(async () => {
    const state = await ReadState();
    if (!SameState(state, built))
      await Build(state);
    await TellMissingHostOnce(state.missing);
  }).catch(() => {});
  return queue;
}

// An error is told at once, wherever the hand-off began, and stays on the toolbar button
// (badge and title) until the next hand-off works.
async function ShowResult(error) {
  if (error)
    await Notify(error);
  await Call((done) => chrome.action.setBadgeText({text: error ? "!" : ""}, done));
  if (error)
    await Call((done) => chrome.action.setBadgeBackgroundColor({color: "#c00000"}, done));
  const title = error ? `${ACTION_TITLE}: ${error}` : ActionTitle(built ?? NONE);
  await Call((done) => chrome.action.setTitle({title}, done));
}

// Resolves to the error shown, or to an empty text when Tarnwick was started.
async function HandOff(url) {
  let error = "";
  try {
    const answer = await AskHost({cmd: "download", url: url ?? ""});
    if (!answer || answer.ok !== true)
      error = (answer && answer.error) || "Tarnwick's browser helper gave no answer.";
  } catch (failure) {
    error = `Tarnwick's browser helper cannot be started (${failure.message})`;
  }
  await ShowResult(error);
  return error;
}

function OnMenuClicked(info, tab) {
  if (info.menuItemId === ITEMS.link.id)
    return HandOff(info.linkUrl);
  return HandOff(info.pageUrl || (tab && tab.url));
}

function OnActionClicked(tab) {
  return HandOff(tab && tab.url);
}

menus.onClicked.addListener(OnMenuClicked);
chrome.action.onClicked.addListener(OnActionClicked);
chrome.alarms.onAlarm.addListener(Refresh);
chrome.alarms.create("tarnwick-state", {periodInMinutes: REFRESH_SECONDS / 60});
// While the background stays awake the timer keeps the menus current between alarms.
setInterval(Refresh, REFRESH_SECONDS * 1000);
Refresh();
