#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/os/Error.h"
#include "platform/os/Url.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A navigation the engine is about to make, in the application's terms:
// pages of the resources folder carry their file:// address.
struct WebNavigation {
    Url url;
    Url mainDocumentURL;
    std::string method;
    // The web view's navigation types: link 0, form 1, back/forward 2,
    // reload 3, form resubmitted 4, other 5.
    int type = 5;
    bool mainFrame = true;
    bool redirect = false;
};

// One choice of a page's drop-down (an option of a <select>), as the owner
// shows it: the engine's own entries that cannot be chosen (disabled ones,
// group headings) are left out, and `index` is the entry's place among the
// engine's own, which the answer names.
struct WebOption {
    std::string label;
    std::size_t index = 0;
    bool selected = false;
};

// What an engine view tells its owner. Every call comes from a task of the
// main run loop, never from inside a call into the engine.
class WebEngineClient {
public:
    virtual ~WebEngineClient() = default;
    // Answer with decide(true) to let the navigation go on, now or later.
    virtual void engineDecideNavigation(const WebNavigation& navigation, std::function<void(bool)> decide) = 0;
    virtual void engineDidStart() = 0;
    virtual void engineDidFinish() = 0;
    virtual void engineDidFail(const Error& error) = 0;
    // The page's pixels changed in this rectangle (points of the view).
    virtual void engineDidDraw(const Rect& changed) = 0;
    // A drop-down of the page opened (a person tapped a <select>): the engine
    // draws no menu of its own; the owner shows the options and answers with
    // chooseOption or closeOptionMenu.
    virtual void engineShowOptionMenu(const std::vector<WebOption>& options) = 0;
    // The page closed its open drop-down itself (the <select> went away).
    virtual void engineOptionMenuClosed() = 0;
};

// One page of the browser engine, in an offscreen window of its own, at a
// size in points and a scale. Lives on the main thread. The engine is a
// module of its own (orb_webengine.so), opened when the first page is made,
// so programs that never show a page never map its libraries.
class WebEngineView {
public:
    // nullptr, with the reason, when no engine can run on this machine (the
    // module or its libraries missing, no display and no virtual display to
    // start).
    static std::unique_ptr<WebEngineView> create(WebEngineClient& client, Size points, double scale, Error* error);
    virtual ~WebEngineView();
    WebEngineView(const WebEngineView&) = delete;
    WebEngineView& operator=(const WebEngineView&) = delete;

    // Addresses are the application's: file:// inside the resources folder
    // is served from there. Callers refuse other schemes themselves. With
    // bypassCache an http page comes from the server whatever the caches
    // hold, and the reply is not kept there.
    virtual void loadURL(const Url& url, const std::string& method, const std::string& body, bool bypassCache) = 0;
    virtual void loadHTML(const std::string& html, const std::optional<Url>& baseURL) = 0;
    virtual void stop() = 0;
    // With bypassCache the page and what it uses come from their servers again.
    virtual void reload(bool bypassCache) = 0;
    virtual void goBack() = 0;
    virtual void goForward() = 0;
    virtual bool canGoBack() const = 0;
    virtual bool canGoForward() const = 0;
    // The main document's address, in the application's terms.
    virtual std::optional<Url> currentURL() const = 0;
    // The HTTP status of the main document; 0 for pages that did not come over http.
    virtual int statusCode() const = 0;
    // The main document's size in points (its scroll width and height), as
    // it was when it had loaded, its own load handlers run; known by the time
    // the load's end is told, nullopt before (and for a document that never
    // told it).
    virtual std::optional<Size> documentSize() const = 0;

    // Runs the script in the page and answers its result as text: strings,
    // numbers and booleans as a script would print them, anything else "".
    // nullopt when the script threw or the time (real seconds) ran out.
    virtual std::optional<std::string> evaluate(const std::string& script, double timeoutSeconds = 5) = 0;

    // Makes the engine's cookies the application's (the shared cookie jar),
    // after taking in those the pages set. Loads call it before they start.
    virtual void syncCookies() = 0;

    // What the page looks like now; null before anything was drawn.
    virtual const Image& pixels() const = 0;
    // Asks the engine for a fresh picture of the page and waits for it (tests,
    // the renderer before a screenshot). False when none came in time.
    virtual bool redraw(double timeoutSeconds = 5) = 0;
    virtual void resize(Size points, double scale) = 0;

    // A person on the page, positions in points of the visible area.
    virtual void tap(Point point) = 0;
    virtual void wheel(Point point, double dy) = 0;
    // Text from the keyboard or an input method, into the focused field.
    virtual void insertText(const std::string& text) = 0;
    // Backspace, Return, Tab, the arrows, Home and End by their names
    // ("BackSpace", "Return", "Left", "Home", ...).
    virtual void pressKey(const std::string& keyName) = 0;
    // The open drop-down's answer: the option of that engine index chosen
    // (the page hears it as a person's choice: input and change), or none
    // (the page keeps its choice). Nothing happens while none is open.
    virtual void chooseOption(std::size_t index) = 0;
    virtual void closeOptionMenu() = 0;

protected:
    WebEngineView() = default;
};

// How many engine views this process has made so far (tests).
std::uint64_t webEngineViewsMade();

// The display engines open their windows on. Empty (the default): a private
// virtual X display started on first use. A window host passes its own.
void setWebEngineDisplay(const std::string& name);
const std::string& webEngineDisplaySetting();
// The display the engine's windows are on; empty before the engine started
// (and when it could not).
std::string webEngineDisplayInUse();

// Removes what the engine's memory and disk caches (shared by every page)
// hold for the host's site, as the engine names sites: the host, or the
// domain it lies in ("example.com" for "www.example.com"); every site's
// when the host is empty. Waits for the engine a few seconds at most; false
// when it did not finish in that time. Never starts the engine: before the
// first page there is none, and nothing cached.
bool removeWebEngineCachedResources(const std::string& host);

// The scheme the resources folder is served under inside the engine, and
// the translation of addresses between the application's file:// and it.
inline constexpr const char* kWebResourceScheme = "orb-res";
std::optional<Url> webEngineAddress(const Url& applicationURL);
Url webApplicationAddress(const Url& engineURL);

} // namespace platform
