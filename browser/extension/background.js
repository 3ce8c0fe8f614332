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
const NONE = {contextMenu: false, toolbarButton: false, toolsMenu: false, sendCookies: false, missing: ""};
const REFRESH_SECONDS = 30;
const ICONS = {16: "icons/16.png", 32: "icons/32.png"};
const GREY_ICONS = {16: "icons/16-off.png", 32: "icons/32-off.png"};
const SWITCHED_OFF_TITLE = `${ACTION_TITLE} (switched off in Tarnwick's Options)`;
const WITH_COOKIES_TITLE = `${ACTION_TITLE} (with the site's cookies)`;
// Firefox alone has this; its cookies interface also takes isolation keys that Chromium refuses.
const IS_FIREFOX = typeof chrome.runtime.getBrowserInfo === "function";
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
      sendCookies: answer.sendCookies === true,
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
    return state.sendCookies ? WITH_COOKIES_TITLE : ACTION_TITLE;
  return state.missing ? `${ACTION_TITLE}: ${state.missing}` : SWITCHED_OFF_TITLE;
}

function SameState(a, b) {
  return a !== null && b !== null && a.contextMenu === b.contextMenu &&
         a.toolbarButton === b.toolbarButton && a.toolsMenu === b.toolsMenu &&
         a.sendCookies === b.sendCookies && a.missing === b.missing;
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

// The domains whose cookies may go to host: the host itself and each parent domain short of
// the top level; an address by number has only itself.
function CookieDomains(host) {
  if (/^[0-9.]+$/.test(host) || host.startsWith("["))
    return [host];
  const labels = host.split(".");
  const domains = labels.slice(0, -1).map((_, index) => labels.slice(index).join("."));
  return domains.length > 0 ? domains : [host];
}

function CookieAppliesTo(cookie, host) {
  const domain = cookie.domain.replace(/^\./, "");
  return cookie.hostOnly ? domain === host : host === domain || host.endsWith(`.${domain}`);
}

// The cookie store of the tab the hand-off began in (a private window's, a container's), or
// undefined for the browser's own.
async function StoreOf(tab) {
  if (!tab)
    return undefined;
  if (tab.cookieStoreId)
    return tab.cookieStoreId;
  const stores = await Call((done) => chrome.cookies.getAllCookieStores(done));
  const store = stores.find((candidate) => (candidate.tabIds || []).includes(tab.id));
  return store ? store.id : undefined;
}

// The cookies the browser holds for the address's site, HttpOnly ones included; the browser
// lists no expired ones. Only what Tarnwick needs of each goes.
async function SiteCookies(url, tab) {
  const host = new URL(url).hostname;
  const storeId = await StoreOf(tab);
  const seen = new Set();
  const cookies = [];
  for (const domain of CookieDomains(host)) {
    const details = {domain};
    if (storeId !== undefined)
      details.storeId = storeId;
    if (IS_FIREFOX)
      details.firstPartyDomain = null; // every isolation key, so that isolation does not refuse
    for (const cookie of await Call((done) => chrome.cookies.getAll(details, done))) {
      const key = `${cookie.name}\t${cookie.domain}\t${cookie.path}`;
      if (!CookieAppliesTo(cookie, host) || seen.has(key))
        continue;
      seen.add(key);
      cookies.push({name: cookie.name, value: cookie.value, domain: cookie.domain, hostOnly: cookie.hostOnly,
                    path: cookie.path, secure: cookie.secure, httpOnly: cookie.httpOnly, session: cookie.session,
                    expirationDate: cookie.expirationDate});
    }
  }
  return cookies;
}

// The download request, with the site's cookies when Tarnwick's Options say to send them. The
// switch is read afresh: a state built before the user changed it must not send them. Cookies
// that cannot be read leave the page to go without them, and the user is told.
async function DownloadRequest(url, tab) {
  const request = {cmd: "download", url: url ?? ""};
  const state = await ReadState();
  if (!state.sendCookies || !/^https?:/i.test(request.url))
    return request;
  try {
    request.cookies = await SiteCookies(request.url, tab);
  } catch (failure) {
    await Notify(`The site's cookies could not be read (${failure.message}); the page goes without them.`);
  }
  return request;
}

// Resolves to the error shown, or to an empty text when Tarnwick was started.
async function HandOff(url, tab) {
  let error = "";
  try {
    const answer = await AskHost(await DownloadRequest(url, tab));
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
    return HandOff(info.linkUrl, tab);
  return HandOff(info.pageUrl || (tab && tab.url), tab);
}

function OnActionClicked(tab) {
  return HandOff(tab && tab.url, tab);
}

menus.onClicked.addListener(OnMenuClicked);
chrome.action.onClicked.addListener(OnActionClicked);
chrome.alarms.onAlarm.addListener(Refresh);
chrome.alarms.create("tarnwick-state", {periodInMinutes: REFRESH_SECONDS / 60});
// While the background stays awake the timer keeps the menus current between alarms.
setInterval(Refresh, REFRESH_SECONDS * 1000);
Refresh();
