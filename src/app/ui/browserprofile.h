#pragma once
// The program's one persistent browser profile. Its cookies are mirrored into
// the transfers' cookie jar, so that a login made in a browser pane lets the
// next downloads through, as the shared cookie store of the desktop did.
#include <functional>

class QNetworkCookieJar;
class QWebEngineCookieStore;
class QWebEngineProfile;

// The profile "Velmora", stored below Paths::browserProfileDir(). Created on
// the first call (only a browser pane asks for it), owned by the application.
QWebEngineProfile *BrowserProfile();

// Keeps jar up to date with every cookie the store adds or removes, starting
// with the ones it already holds.
void MirrorCookies(QWebEngineCookieStore *store, QNetworkCookieJar *jar);

// Starts the browser engine ahead of the first browser pane: the profile and
// a hidden blank page, which is let go once it has loaded. The start window
// runs it just after it is shown, so that opening the search window does
// not wait for the engine. done, if given, runs when the page has loaded.
void WarmUpBrowserEngine(std::function<void()> done = {});
