#include "platform/uikit/WebEngineModule.h"

#include "platform/os/AppPaths.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/uikit/GLibMainContext.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

    // The web view's error domain and codes (kept in step with UIWebView.h,
    // which this file cannot include without a cycle of layers).
    constexpr const char* kURLErrorDomain = "NSURLErrorDomain";
    constexpr long kErrorUnknown = -1;
    constexpr long kErrorUnsupportedURL = -1002;
    constexpr long kErrorCannotConnectToHost = -1004;
    constexpr long kErrorFileDoesNotExist = -1100;
    constexpr const char* kFrameLoadErrorDomain = "WebKitErrorDomain";

    Error makeError(const char* domain, long code, const std::string& description, const std::string& url)
    {
        Dictionary info;
        info.set("NSLocalizedDescription", Value(description));
        if (!url.empty())
            info.set("NSErrorFailingURLStringKey", Value(url));
        return Error(domain, code, std::move(info));
    }

    std::string& displayInUse()
    {
        static std::string name;
        return name;
    }

    // Whether bubblewrap can make the namespaces the engine's sandbox needs
    // here (it cannot in some containers): tried once, at most five seconds,
    // while the engine's toolkit starts.
    struct SandboxProbe {
        pid_t pid = -1;
        std::string failure; // when it could not even be tried
    };

    SandboxProbe beginSandboxProbe()
    {
        SandboxProbe probe;
        pid_t pid = fork();
        if (pid < 0) {
            probe.failure = std::string("fork: ") + std::strerror(errno);
            return probe;
        }
        if (pid == 0) {
            int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, 0);
                dup2(null, 1);
                dup2(null, 2);
            }
            const char* argv[] = { "bwrap", "--unshare-all", "--die-with-parent", "--ro-bind", "/", "/", "--proc",
                "/proc", "--dev", "/dev", "true", nullptr };
            execvp("bwrap", const_cast<char* const*>(argv));
            _exit(127);
        }
        probe.pid = pid;
        return probe;
    }

    bool sandboxAvailable(const SandboxProbe& probe, std::string* reason)
    {
        if (probe.pid < 0) {
            *reason = probe.failure;
            return false;
        }
        int status = 0;
        // Looked at every millisecond: it usually ends within a few.
        for (int waited = 0; waited < 5000; ++waited) {
            pid_t done = waitpid(probe.pid, &status, WNOHANG);
            if (done == probe.pid) {
                if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                    return true;
                *reason = WIFEXITED(status) && WEXITSTATUS(status) == 127
                    ? "bubblewrap (bwrap) is not installed"
                    : "bubblewrap cannot make its namespaces on this machine";
                return false;
            }
            if (done < 0)
                break;
            usleep(1000);
        }
        kill(probe.pid, SIGKILL);
        waitpid(probe.pid, nullptr, 0);
        *reason = "bubblewrap did not answer";
        return false;
    }

    // The engine keeps characters such as "|" as a page wrote them; our
    // addresses take them escaped, as a phone's web view hands them over.
    std::optional<Url> engineAddress(const char* uri)
    {
        if (!uri)
            return std::nullopt;
        if (auto url = Url::parse(uri))
            return url;
        return Url::parse(escapeUrlIllegalCharacters(uri));
    }

    std::string resourcesRoot()
    {
        auto bundle = Bundle::main();
        std::string path = bundle ? bundle->resourcePath() : AppPaths::home();
        char resolved[PATH_MAX];
        if (!path.empty() && realpath(path.c_str(), resolved))
            return resolved;
        return path;
    }

    // The file a resource address names, when it lies inside the resources folder.
    std::optional<std::string> resourceFile(const std::string& path)
    {
        auto root = resourcesRoot();
        if (root.empty())
            return std::nullopt;
        char resolved[PATH_MAX];
        if (!realpath(path.c_str(), resolved))
            return std::nullopt;
        std::string file = resolved;
        if (file.size() <= root.size() || file.compare(0, root.size(), root) != 0 || file[root.size()] != '/')
            return std::nullopt;
        if (!FileUtil::isRegularFile(file))
            return std::nullopt;
        return file;
    }

    std::string mimeTypeOf(const std::string& path)
    {
        auto dot = path.rfind('.');
        std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (ext == "html" || ext == "htm")
            return "text/html; charset=utf-8";
        if (ext == "css")
            return "text/css";
        if (ext == "js")
            return "text/javascript";
        if (ext == "json")
            return "application/json";
        if (ext == "png")
            return "image/png";
        if (ext == "jpg" || ext == "jpeg")
            return "image/jpeg";
        if (ext == "gif")
            return "image/gif";
        if (ext == "svg")
            return "image/svg+xml";
        if (ext == "woff")
            return "font/woff";
        if (ext == "ttf")
            return "font/ttf";
        if (ext == "mp3")
            return "audio/mpeg";
        if (ext == "mp4")
            return "video/mp4";
        return "application/octet-stream";
    }

    void serveResource(WebKitURISchemeRequest* request, gpointer)
    {
        const char* path = webkit_uri_scheme_request_get_path(request);
        auto file = resourceFile(path ? path : "");
        gchar* contents = nullptr;
        gsize length = 0;
        if (!file || !g_file_get_contents(file->c_str(), &contents, &length, nullptr)) {
            GError* error = g_error_new(WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST,
                "The requested URL was not found on this server.");
            webkit_uri_scheme_request_finish_error(request, error);
            g_error_free(error);
            return;
        }
        GInputStream* stream = g_memory_input_stream_new_from_data(contents, gssize(length), g_free);
        webkit_uri_scheme_request_finish(request, stream, gint64(length), mimeTypeOf(*file).c_str());
        g_object_unref(stream);
    }

    // Scripts in frames tell which addresses they are about to navigate to,
    // since the engine's navigation decisions do not say which frame asks.
    // The main document tells its size once it has loaded (after its own
    // load handlers): the message comes before the engine says the load
    // finished, so the page's size is known then without asking the page
    // and waiting for its answer.
    const char* kFrameScript = R"JS((function () {
  function report(address) {
    try { window.webkit.messageHandlers.orbFrameNavigation.postMessage(String(address)); } catch (e) {}
  }
  if (window === window.top) {
    window.addEventListener('pageshow', function () {
      var root = document.documentElement;
      if (!root) return;
      var size = root.scrollWidth + ',' + root.scrollHeight;
      try { window.webkit.messageHandlers.orbPageSize.postMessage(size); } catch (e) {}
    });
    // Each frame's address once: a report left over would make a later
    // top-level navigation to the same address look like the frame's.
    var told = new WeakMap();
    var seen = function (node) {
      if (node && node.tagName === 'IFRAME' && node.src && told.get(node) !== node.src) {
        told.set(node, node.src);
        report(node.src);
      }
    };
    new MutationObserver(function (records) {
      records.forEach(function (record) {
        record.addedNodes.forEach(function (node) {
          seen(node);
          if (node.querySelectorAll) node.querySelectorAll('iframe').forEach(seen);
        });
        if (record.type === 'attributes') seen(record.target);
      });
    }).observe(document, { childList: true, subtree: true, attributes: true, attributeFilter: ['src'] });
    return;
  }
  document.addEventListener('click', function (event) {
    var link = event.target && event.target.closest ? event.target.closest('a[href]') : null;
    if (link && !link.target) report(link.href);
  }, true);
  document.addEventListener('submit', function (event) {
    if (event.target && event.target.action) report(event.target.action);
  }, true);
})();)JS";

    struct Engine {
        bool tried = false;
        std::string failure;
        WebKitWebContext* context = nullptr;
        double scale = 1;
        // The cookies the engine held when last compared with the application's.
        std::set<std::tuple<std::string, std::string, std::string>> engineCookies;
        bool pullPosted = false;
        // What the engine was last given, to give it nothing twice.
        std::optional<std::string> pushedSignature;
        // Whether a page may have set cookies since the engine started: the
        // first load's cookies are given before any page ran.
        bool pagesMayHaveRun = false;
    };

    Engine& engine()
    {
        static Engine instance;
        return instance;
    }


    // ---- Cookies: the application's jar and the engine's kept the same -------

    using CookieIdentity = std::tuple<std::string, std::string, std::string>;

    HttpCookie fromSoup(SoupCookie* cookie)
    {
        HttpCookie out;
        out.name = soup_cookie_get_name(cookie);
        out.value = soup_cookie_get_value(cookie);
        out.domain = soup_cookie_get_domain(cookie);
        out.path = soup_cookie_get_path(cookie);
        out.hostOnly = out.domain.empty() || out.domain[0] != '.';
        out.secure = soup_cookie_get_secure(cookie);
        out.httpOnly = soup_cookie_get_http_only(cookie);
        if (GDateTime* expires = soup_cookie_get_expires(cookie))
            out.expiresDate = Date::fromSeconds(double(g_date_time_to_unix(expires)));
        return out;
    }

    SoupCookie* toSoup(const HttpCookie& cookie)
    {
        std::string domain = cookie.domain;
        if (!cookie.hostOnly && !domain.empty() && domain[0] != '.')
            domain = "." + domain;
        SoupCookie* out = soup_cookie_new(cookie.name.c_str(), cookie.value.c_str(), domain.c_str(),
            cookie.path.c_str(), -1);
        if (cookie.expiresDate) {
            GDateTime* expires = g_date_time_new_from_unix_utc(gint64(cookie.expiresDate->seconds));
            soup_cookie_set_expires(out, expires);
            g_date_time_unref(expires);
        }
        soup_cookie_set_secure(out, cookie.secure);
        soup_cookie_set_http_only(out, cookie.httpOnly);
        return out;
    }

    CookieIdentity identity(const HttpCookie& cookie) { return { cookie.domain, cookie.path, cookie.name }; }

    // Cookies the pages set or removed reach the application's jar.
    void pullCookies()
    {
        auto& e = engine();
        e.pullPosted = false;
        auto* manager = webkit_website_data_manager_get_cookie_manager(webkit_web_context_get_website_data_manager(e.context));
        struct Outcome {
            bool done = false;
            GList* cookies = nullptr;
        };
        auto outcome = std::make_shared<Outcome>();
        auto* holder = new std::shared_ptr<Outcome>(outcome);
        webkit_cookie_manager_get_all_cookies(
            manager, nullptr,
            [](GObject* object, GAsyncResult* result, gpointer data) {
                std::unique_ptr<std::shared_ptr<Outcome>> owned(static_cast<std::shared_ptr<Outcome>*>(data));
                (*owned)->cookies = webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(object), result, nullptr);
                (*owned)->done = true;
            },
            holder);
        if (!glib::iterateUntil([&] { return outcome->done; }, 2))
            return;
        auto& jar = HttpCookieStorage::shared();
        std::set<CookieIdentity> now;
        for (GList* item = outcome->cookies; item; item = item->next) {
            auto cookie = fromSoup(static_cast<SoupCookie*>(item->data));
            now.insert(identity(cookie));
            jar.setCookie(cookie);
        }
        g_list_free_full(outcome->cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
        for (const auto& gone : e.engineCookies) {
            if (now.count(gone))
                continue;
            HttpCookie cookie;
            std::tie(cookie.domain, cookie.path, cookie.name) = gone;
            jar.deleteCookie(cookie);
        }
        e.engineCookies = std::move(now);
        e.pushedSignature.reset();
    }

    void cookiesChanged(WebKitCookieManager*, gpointer)
    {
        auto& e = engine();
        if (e.pullPosted)
            return;
        e.pullPosted = true;
        postToMain([] {
            if (engine().pullPosted)
                pullCookies();
        });
    }

    // ---- What the engine's libraries report ------------------------------------

    const char* levelName(GLogLevelFlags level)
    {
        switch (level & G_LOG_LEVEL_MASK) {
        case G_LOG_LEVEL_ERROR:
            return "ERROR";
        case G_LOG_LEVEL_CRITICAL:
            return "CRITICAL";
        case G_LOG_LEVEL_WARNING:
            return "WARNING";
        case G_LOG_LEVEL_MESSAGE:
            return "Message";
        case G_LOG_LEVEL_INFO:
            return "INFO";
        case G_LOG_LEVEL_DEBUG:
            return "DEBUG";
        default:
            return "LOG";
        }
    }

    std::string fieldText(const GLogField& field)
    {
        if (!field.value)
            return {};
        const char* text = static_cast<const char*>(field.value);
        return field.length < 0 ? std::string(text) : std::string(text, std::size_t(field.length));
    }

    // Every report of GLib's logging in this process, as "Domain-LEVEL: text"
    // in our log. Debug and informational ones stay off unless G_MESSAGES_DEBUG
    // asks for them, as GLib's own writer keeps them; one that ends the process
    // is written to standard error as well (when our log is not already going
    // there), since nothing else would say why the program stopped.
    GLogWriterOutput writeReport(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer)
    {
        std::string domain, message;
        for (gsize i = 0; i < count; ++i) {
            if (std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0)
                domain = fieldText(fields[i]);
            else if (std::strcmp(fields[i].key, "MESSAGE") == 0)
                message = fieldText(fields[i]);
        }
        if (g_log_writer_default_would_drop(level, domain.empty() ? nullptr : domain.c_str()))
            return G_LOG_WRITER_HANDLED;
        std::string line = (domain.empty() ? "" : domain + "-") + levelName(level) + ": " + message;
        if (line.back() != '\n')
            line += '\n';
        logText(line);
        if ((level & (G_LOG_FLAG_FATAL | G_LOG_LEVEL_ERROR)) && !logWritesToStandardError()) {
            ssize_t ignored = ::write(2, line.data(), line.size());
            (void)ignored;
        }
        return G_LOG_WRITER_HANDLED;
    }

    void printReport(const gchar* text) { logText(text ? text : ""); }

    // GLib's reports (GTK's, Gdk's, the engine's) go to our log from the
    // start of the engine on, the way the sound library's do. Structured
    // reports reach the writer directly; the old kind (g_log, g_warning) reach
    // it through GLib's default handler, which hands them on as structured
    // ones. Text printed through g_print and g_printerr goes there too. The
    // engine's web and network processes have standard error of their own:
    // what they would say of the accessibility bus is prevented instead (see
    // leaveAccessibilityBus).
    void routeGLibReports()
    {
        static bool routed = false;
        if (routed)
            return;
        routed = true;
        // Set once per process: GLib ends the process on a second writer.
        g_log_set_writer_func(writeReport, nullptr, nullptr);
        g_set_printerr_handler(printReport);
        g_set_print_handler(printReport);
    }

    // The engine's windows are offscreen and its pixels drawn into ours:
    // nothing can reach them through the accessibility bus, so neither GTK
    // (NO_AT_BRIDGE) nor the engine's web processes look for it. A web
    // process is told the bus's address by WEBKIT_A11Y_BUS_ADDRESS when that
    // is set, and with an empty one connects to nothing; otherwise, in the
    // engine's sandbox, it is given a proxy that cannot be reached when the
    // machine has no bus, and says so on standard error for every page.
    // Someone who sets either variable keeps it.
    void leaveAccessibilityBus()
    {
        setenv("NO_AT_BRIDGE", "1", 0);
        const char* noBridge = std::getenv("NO_AT_BRIDGE");
        if (noBridge && std::strcmp(noBridge, "1") == 0)
            setenv("WEBKIT_A11Y_BUS_ADDRESS", "", 0);
    }

    bool startEngine(double scale, std::string* reason)
    {
        auto& e = engine();
        if (e.tried) {
            *reason = e.failure;
            return e.context != nullptr;
        }
        e.tried = true;
        routeGLibReports();
        leaveAccessibilityBus();
        // The window host's display, or the private one the view layer
        // started while this module was being opened.
        std::string display = webEngineDisplaySetting();
        if (display.empty()) {
            *reason = e.failure = "no display for the web engine";
            return false;
        }
        // Tried meanwhile, answered once the toolkit and the context are up.
        auto sandboxProbe = beginSandboxProbe();
        // The engine's web processes find the display where GTK programs do.
        setenv("DISPLAY", display.c_str(), 1);
        // The engine draws into our own pixels: no GPU, no compositor.
        setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
        setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
        gdk_set_allowed_backends("x11");
        std::string argument = "--display=" + display;
        char program[] = "orb";
        char* argv[] = { program, argument.data(), nullptr };
        int argc = 2;
        char** args = argv;
        if (!gtk_init_check(&argc, &args)) {
            std::string ignored;
            sandboxAvailable(sandboxProbe, &ignored);
            *reason = e.failure = "the web engine cannot open the display " + display;
            return false;
        }
        displayInUse() = display;
        glib::attachToMainLoop();
        if (auto* gdkDisplay = gdk_display_get_default(); gdkDisplay && GDK_IS_X11_DISPLAY(gdkDisplay))
            gdk_x11_display_set_window_scale(gdkDisplay, std::max(1, int(scale + 0.5)));
        e.scale = scale;

        Error pathError;
        std::string caches = AppPaths::cachesDirectory(&pathError);
        std::string base = FileUtil::joinPath(caches.empty() ? AppPaths::temporaryDirectory() : caches, "WebKit");
        auto* manager = webkit_website_data_manager_new("base-cache-directory",
            FileUtil::joinPath(base, "Cache").c_str(), "base-data-directory", FileUtil::joinPath(base, "Data").c_str(),
            nullptr);
        e.context = webkit_web_context_new_with_website_data_manager(manager);
        g_object_unref(manager);
        // Pages keep nothing in the memory or disk caches once they are gone;
        // a page that asks for it also bypasses what a page in use holds
        // (loads that ignore the caches, and removal by site).
        webkit_web_context_set_cache_model(e.context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
        // The pages run in the phone's Chinese: the language they are told
        // and ask the servers for, and how their fields write dates (year first).
        const gchar* const languages[] = { "zh-CN", nullptr };
        webkit_web_context_set_preferred_languages(e.context, languages);
        // The web process runs in the engine's sandbox (its own namespaces,
        // through bubblewrap) wherever the machine lets it make them.
        std::string noSandbox;
        if (sandboxAvailable(sandboxProbe, &noSandbox))
            webkit_web_context_set_sandbox_enabled(e.context, TRUE);
        else
            log("WebEngine: pages run without the engine's sandbox: %s\n", noSandbox.c_str());
        webkit_web_context_register_uri_scheme(e.context, kWebResourceScheme, serveResource, nullptr, nullptr);
        auto* security = webkit_web_context_get_security_manager(e.context);
        webkit_security_manager_register_uri_scheme_as_secure(security, kWebResourceScheme);
        webkit_security_manager_register_uri_scheme_as_cors_enabled(security, kWebResourceScheme);
        auto* cookies = webkit_website_data_manager_get_cookie_manager(webkit_web_context_get_website_data_manager(e.context));
        webkit_cookie_manager_set_accept_policy(cookies, WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY);
        g_signal_connect(cookies, "changed", G_CALLBACK(cookiesChanged), nullptr);
        return true;
    }

    std::string lower(std::string text)
    {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return text;
    }

    // ---- The engine's caches -------------------------------------------------

    constexpr auto kCacheData = WebKitWebsiteDataTypes(WEBKIT_WEBSITE_DATA_MEMORY_CACHE | WEBKIT_WEBSITE_DATA_DISK_CACHE);
    constexpr double kCacheWait = 5;

    // What the caches hold, one entry a site; nullopt when the engine did not answer in time.
    std::optional<std::vector<WebKitWebsiteData*>> fetchCached()
    {
        struct Outcome {
            bool done = false;
            GList* sites = nullptr;
        };
        auto outcome = std::make_shared<Outcome>();
        webkit_website_data_manager_fetch(webkit_web_context_get_website_data_manager(engine().context), kCacheData,
            nullptr,
            [](GObject* object, GAsyncResult* result, gpointer data) {
                std::unique_ptr<std::shared_ptr<Outcome>> owned(static_cast<std::shared_ptr<Outcome>*>(data));
                (*owned)->sites
                    = webkit_website_data_manager_fetch_finish(WEBKIT_WEBSITE_DATA_MANAGER(object), result, nullptr);
                (*owned)->done = true;
            },
            new std::shared_ptr<Outcome>(outcome));
        if (!glib::iterateUntil([&] { return outcome->done; }, kCacheWait))
            return std::nullopt;
        std::vector<WebKitWebsiteData*> sites;
        for (GList* item = outcome->sites; item; item = item->next)
            sites.push_back(static_cast<WebKitWebsiteData*>(item->data));
        g_list_free(outcome->sites);
        return sites;
    }

    void release(const std::vector<WebKitWebsiteData*>& sites)
    {
        for (auto* site : sites)
            webkit_website_data_unref(site);
    }

    // Whether the engine's name of a site covers the host.
    bool siteCovers(const std::string& site, const std::string& host)
    {
        auto name = lower(site);
        return host == name || (host.size() > name.size() && host.compare(host.size() - name.size(), name.size(), name) == 0
                                   && host[host.size() - name.size() - 1] == '.');
    }

    bool removeCachedResources(const std::string& host)
    {
        if (!engine().context)
            return true; // no engine yet: nothing cached
        auto* manager = webkit_web_context_get_website_data_manager(engine().context);
        auto done = std::make_shared<bool>(false);
        if (host.empty()) {
            webkit_website_data_manager_clear(manager, kCacheData, 0, nullptr,
                [](GObject* object, GAsyncResult* result, gpointer data) {
                    std::unique_ptr<std::shared_ptr<bool>> owned(static_cast<std::shared_ptr<bool>*>(data));
                    webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(object), result, nullptr);
                    **owned = true;
                },
                new std::shared_ptr<bool>(done));
            return glib::iterateUntil([&] { return *done; }, kCacheWait);
        }
        auto sites = fetchCached();
        if (!sites)
            return false;
        auto wanted = lower(host);
        GList* matching = nullptr;
        for (auto* site : *sites)
            if (const char* name = webkit_website_data_get_name(site); name && siteCovers(name, wanted))
                matching = g_list_prepend(matching, site);
        bool finished = true;
        if (matching) {
            webkit_website_data_manager_remove(manager, kCacheData, matching, nullptr,
                [](GObject* object, GAsyncResult* result, gpointer data) {
                    std::unique_ptr<std::shared_ptr<bool>> owned(static_cast<std::shared_ptr<bool>*>(data));
                    webkit_website_data_manager_remove_finish(WEBKIT_WEBSITE_DATA_MANAGER(object), result, nullptr);
                    **owned = true;
                },
                new std::shared_ptr<bool>(done));
            finished = glib::iterateUntil([&] { return *done; }, kCacheWait);
            g_list_free(matching);
        }
        release(*sites);
        return finished;
    }

} // namespace

// ---- One engine view ------------------------------------------------------------

namespace {

struct EngineImpl {
    WebEngineClient* client = nullptr;
    GtkWidget* window = nullptr;
    WebKitWebView* view = nullptr;
    WebKitUserContentManager* content = nullptr;
    Size points;
    double scale = 1;
    Image pixels;
    bool failed = false;
    // The window is not painted until the page's web process has first
    // spoken (see holdPaintsUntilTheWebProcessSpeaks).
    bool paintsHeld = false;
    bool drawPosted = false;
    bool expectBlank = false; // a page given without a base is on its way
    // A posted load goes as a page of our own that submits a form: that page
    // is not the delegate's to decide, and its form's submission is the load
    // the delegate asked for (engine addresses).
    std::optional<std::string> postCarrier;
    std::optional<std::string> postSubmission;
    std::vector<std::string> frameTargets;
    // The main document's size as it told it (orbPageSize), in points.
    std::optional<Size> documentSize;
    // The page's drop-down while it is open, until it is answered or closed.
    WebKitOptionMenu* optionMenu = nullptr;
    // Tasks posted to the main loop hold this weakly: once the view is gone they do nothing.
    std::shared_ptr<EngineImpl*> alive = std::make_shared<EngineImpl*>(this);

    void post(std::function<void(EngineImpl&)> task)
    {
        std::weak_ptr<EngineImpl*> weak = alive;
        postToMain([weak, task = std::move(task)] {
            if (auto strong = weak.lock())
                task(**strong);
        });
    }

    bool isFrameTarget(const std::string& uri)
    {
        auto stem = [](const std::string& text) { return text.substr(0, text.find_first_of("?#")); };
        for (auto it = frameTargets.begin(); it != frameTargets.end(); ++it) {
            if (*it == uri || stem(*it) == stem(uri)) {
                frameTargets.erase(it);
                return true;
            }
        }
        return false;
    }

    // While a page's web process is starting, the engine's view answers a
    // paint of its window only after waiting, with the main loop held, for
    // the process to send it the new picture: half a second at most, and
    // the process, itself waiting for that loop to answer it, often takes
    // all of it. Nothing is on the page before the process has started, so
    // the window is not painted until then: from its making until the
    // process's first word (its first navigation to decide, a load's news,
    // or its end), or a picture asked for.
    void holdPaintsUntilTheWebProcessSpeaks()
    {
        GdkWindow* gdkWindow = gtk_widget_get_window(window);
        if (!gdkWindow || paintsHeld)
            return;
        gdk_window_freeze_updates(gdkWindow);
        paintsHeld = true;
    }

    void releasePaints()
    {
        if (!paintsHeld)
            return;
        paintsHeld = false;
        if (GdkWindow* gdkWindow = gtk_widget_get_window(window))
            gdk_window_thaw_updates(gdkWindow);
    }

    static void webProcessEnded(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data)
    {
        static_cast<EngineImpl*>(data)->releasePaints();
    }

    static gboolean decidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
        gpointer data)
    {
        auto& self = *static_cast<EngineImpl*>(data);
        self.releasePaints();
        if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
            return FALSE;
        auto* action
            = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        auto* request = webkit_navigation_action_get_request(action);
        std::string uri = webkit_uri_request_get_uri(request);
        auto url = engineAddress(uri.c_str());
        std::string scheme = url ? lower(url->scheme()) : "";
        if (!url && uri.rfind("about:", 0) == 0)
            url = Url::parse("about:blank");
        bool blank = uri == "about:blank" || uri == "about:srcdoc";
        if (blank && !self.expectBlank) {
            // Empty frames are part of their page.
            webkit_policy_decision_use(decision);
            return TRUE;
        }
        if (blank) {
            self.expectBlank = false;
            scheme = kWebResourceScheme; // the page given without a base: allowed
        }
        if (!url || (scheme != "http" && scheme != "https" && scheme != kWebResourceScheme)) {
            webkit_policy_decision_ignore(decision);
            self.post([uri](EngineImpl& impl) {
                if (!impl.isFrameTarget(uri))
                    impl.client->engineDidFail(makeError(kURLErrorDomain, kErrorUnsupportedURL, "unsupported URL", uri));
            });
            return TRUE;
        }
        auto actionType = webkit_navigation_action_get_navigation_type(action);
        const char* requestMethod = webkit_uri_request_get_http_method(request);
        bool posting = requestMethod && std::strcmp(requestMethod, "POST") == 0;
        if (self.postCarrier && *self.postCarrier == uri && !posting) {
            self.postCarrier.reset();
            self.postSubmission = uri;
            webkit_policy_decision_use(decision);
            return TRUE;
        }
        bool postedLoad = self.postSubmission && *self.postSubmission == uri && posting
            && actionType == WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED;
        self.postSubmission.reset();
        WebNavigation navigation;
        navigation.url = webApplicationAddress(*url);
        navigation.mainDocumentURL = navigation.url;
        const char* current = webkit_web_view_get_uri(self.view);
        auto main = engineAddress(current);
        const char* method = webkit_uri_request_get_http_method(request);
        navigation.method = method ? method : "GET";
        navigation.redirect = webkit_navigation_action_is_redirect(action);
        switch (postedLoad ? WEBKIT_NAVIGATION_TYPE_OTHER : actionType) {
        case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
            navigation.type = 0;
            break;
        case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED:
            navigation.type = 1;
            break;
        case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
            navigation.type = 2;
            break;
        case WEBKIT_NAVIGATION_TYPE_RELOAD:
            navigation.type = 3;
            break;
        case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
            navigation.type = 4;
            break;
        default:
            navigation.type = 5;
            break;
        }
        // Answered later, from the main loop; a decision nobody answers is refused.
        struct Pending {
            explicit Pending(WebKitPolicyDecision* held)
                : decision(held)
            {
            }
            Pending(const Pending&) = delete;
            Pending& operator=(const Pending&) = delete;
            WebKitPolicyDecision* decision;
            bool answered = false;
            ~Pending()
            {
                if (!answered)
                    webkit_policy_decision_ignore(decision);
                g_object_unref(decision);
            }
        };
        auto pending = std::make_shared<Pending>(WEBKIT_POLICY_DECISION(g_object_ref(decision)));
        self.post([navigation, pending, uri, main](EngineImpl& impl) mutable {
            // A frame's script reports its navigations as they begin; the
            // report may trail the decision by a turn of the engine's context.
            bool frame = impl.isFrameTarget(uri);
            if (!frame && !navigation.redirect && main && main->absoluteString() != uri)
                frame = glib::iterateUntil([&] { return impl.isFrameTarget(uri); }, 0.02);
            if (frame) {
                navigation.mainFrame = false;
                navigation.mainDocumentURL = webApplicationAddress(*main);
            }
            impl.client->engineDecideNavigation(navigation, [pending](bool allowed) {
                if (pending->answered)
                    return;
                pending->answered = true;
                if (allowed)
                    webkit_policy_decision_use(pending->decision);
                else
                    webkit_policy_decision_ignore(pending->decision);
            });
        });
        return TRUE;
    }

    static void loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data)
    {
        auto& self = *static_cast<EngineImpl*>(data);
        self.releasePaints();
        if (event == WEBKIT_LOAD_COMMITTED)
            self.documentSize.reset(); // a new document, which tells its own
        if (event == WEBKIT_LOAD_STARTED) {
            self.failed = false;
            self.post([](EngineImpl& impl) { impl.client->engineDidStart(); });
        } else if (event == WEBKIT_LOAD_FINISHED && !self.failed) {
            self.post([](EngineImpl& impl) { impl.client->engineDidFinish(); });
        }
    }

    static gboolean loadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data)
    {
        auto& self = *static_cast<EngineImpl*>(data);
        self.releasePaints();
        self.failed = true;
        std::string address = uri ? webApplicationAddress(Url::parse(uri).value_or(Url::fileUrl("/"))).absoluteString()
                                  : "";
        Error mapped;
        if (g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE))
            mapped = makeError(kFrameLoadErrorDomain, 102, "Frame load interrupted", address);
        else if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST)
            || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND))
            mapped = makeError(kURLErrorDomain, kErrorFileDoesNotExist, "The requested URL was not found on this server.",
                address);
        else if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL))
            mapped = makeError(kURLErrorDomain, kErrorUnsupportedURL, "unsupported URL", address);
        else if (error->domain == G_IO_ERROR || error->domain == G_RESOLVER_ERROR)
            mapped = makeError(kURLErrorDomain, kErrorCannotConnectToHost, "Could not connect to the server.", address);
        else if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
            mapped = makeError(kURLErrorDomain, -999, "cancelled", address);
        else
            mapped = makeError(kURLErrorDomain, kErrorUnknown, error->message, address);
        self.post([mapped](EngineImpl& impl) { impl.client->engineDidFail(mapped); });
        return TRUE; // no error page of the engine's own
    }

    static gboolean damaged(GtkWidget*, GdkEvent* event, gpointer data)
    {
        auto& self = *static_cast<EngineImpl*>(data);
        if (event && event->type == GDK_DAMAGE)
            self.addDamage(event->expose.area);
        else
            self.wholeDirty = true;
        if (!self.drawPosted) {
            self.drawPosted = true;
            self.post([](EngineImpl& impl) {
                impl.drawPosted = false;
                auto changed = impl.grab();
                if (changed)
                    impl.client->engineDidDraw(*changed);
            });
        }
        return FALSE;
    }

    static gboolean scriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer) { return TRUE; }

    // A <select> of the page opens: its options go to the owner, who shows
    // them in the phone's way; the engine's own menu, a window of the
    // display outside the application's, is never made.
    static gboolean showOptionMenu(WebKitWebView*, WebKitOptionMenu* menu, GdkEvent*, GdkRectangle*, gpointer data)
    {
        auto& self = *static_cast<EngineImpl*>(data);
        self.dropOptionMenu(true);
        self.optionMenu = WEBKIT_OPTION_MENU(g_object_ref(menu));
        g_signal_connect(menu, "close", G_CALLBACK(optionMenuClosed), &self);
        std::vector<WebOption> options;
        guint count = webkit_option_menu_get_n_items(menu);
        for (guint i = 0; i < count; ++i) {
            auto* item = webkit_option_menu_get_item(menu, i);
            if (!item || webkit_option_menu_item_is_group_label(item) || !webkit_option_menu_item_is_enabled(item))
                continue;
            const char* label = webkit_option_menu_item_get_label(item);
            options.push_back({ label ? label : "", i, webkit_option_menu_item_is_selected(item) != FALSE });
        }
        self.post([options = std::move(options)](EngineImpl& impl) { impl.client->engineShowOptionMenu(options); });
        return TRUE;
    }

    // The page closed the drop-down itself.
    static void optionMenuClosed(WebKitOptionMenu* menu, gpointer data)
    {
        auto& self = *static_cast<EngineImpl*>(data);
        if (menu != self.optionMenu)
            return;
        self.optionMenu = nullptr;
        g_signal_handlers_disconnect_by_data(menu, &self);
        // Let go of it once the signal that reports its closing is over.
        postToMain([menu] { g_object_unref(menu); });
        self.post([](EngineImpl& impl) { impl.client->engineOptionMenuClosed(); });
    }

    // Lets go of the open drop-down, closing it first when asked: closing
    // leaves the page's choice as it was unless an option was chosen.
    void dropOptionMenu(bool close)
    {
        if (!optionMenu)
            return;
        auto* menu = optionMenu;
        optionMenu = nullptr;
        g_signal_handlers_disconnect_by_data(menu, this);
        if (close)
            webkit_option_menu_close(menu);
        g_object_unref(menu);
    }

    static void frameMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data)
    {
        auto& self = *static_cast<EngineImpl*>(data);
        auto* value = webkit_javascript_result_get_js_value(result);
        gchar* text = jsc_value_to_string(value);
        if (text) {
            self.frameTargets.push_back(text);
            if (self.frameTargets.size() > 32)
                self.frameTargets.erase(self.frameTargets.begin());
            g_free(text);
        }
    }

    static void pageSizeMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data)
    {
        auto& self = *static_cast<EngineImpl*>(data);
        gchar* text = jsc_value_to_string(webkit_javascript_result_get_js_value(result));
        std::string size = text ? text : "";
        g_free(text);
        auto comma = size.find(',');
        if (comma == std::string::npos)
            return;
        double width = std::atof(size.substr(0, comma).c_str());
        double height = std::atof(size.substr(comma + 1).c_str());
        if (width >= 0 && height >= 0)
            self.documentSize = Size(width, height);
    }

    // Copies a rectangle of the window's surface (pixels) into the same
    // place of the image, from premultiplied native-endian ARGB to straight RGBA.
    static void copyFromSurface(cairo_surface_t* source, Image& image, int x0, int y0, int width, int height)
    {
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        // Pixel for pixel: the target takes the window's device scale.
        double sx = 1, sy = 1;
        cairo_surface_get_device_scale(source, &sx, &sy);
        cairo_surface_set_device_scale(target, sx, sy);
        cairo_t* cr = cairo_create(target);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_surface(cr, source, -x0 / sx, -y0 / sy);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(target);
        auto& out = image.mutablePixels();
        const auto* data = cairo_image_surface_get_data(target);
        int stride = cairo_image_surface_get_stride(target);
        int imageWidth = image.pixelWidth();
        for (int y = 0; y < height && !out.empty(); ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
            auto* o = out.data() + (std::size_t(y0 + y) * std::size_t(imageWidth) + std::size_t(x0)) * 4;
            for (int x = 0; x < width; ++x) {
                std::uint32_t p = row[x];
                std::uint8_t a = std::uint8_t(p >> 24);
                std::uint8_t r = std::uint8_t(p >> 16), g = std::uint8_t(p >> 8), b = std::uint8_t(p);
                if (a && a != 255) {
                    r = std::uint8_t(std::min(255, r * 255 / a));
                    g = std::uint8_t(std::min(255, g * 255 / a));
                    b = std::uint8_t(std::min(255, b * 255 / a));
                }
                o[x * 4] = r;
                o[x * 4 + 1] = g;
                o[x * 4 + 2] = b;
                o[x * 4 + 3] = a;
            }
        }
        cairo_surface_destroy(target);
    }

    int pixelWidth() const { return std::max(1, int(points.width * scale + 0.5)); }
    int pixelHeight() const { return std::max(1, int(points.height * scale + 0.5)); }

    // What the engine repainted since the pixels were last taken, in points.
    std::optional<cairo_rectangle_int_t> damage;
    bool wholeDirty = true;

    void addDamage(const GdkRectangle& area)
    {
        cairo_rectangle_int_t rect { area.x, area.y, area.width, area.height };
        if (rect.width <= 0 || rect.height <= 0)
            return;
        if (!damage) {
            damage = rect;
            return;
        }
        int x1 = std::min(damage->x, rect.x), y1 = std::min(damage->y, rect.y);
        int x2 = std::max(damage->x + damage->width, rect.x + rect.width);
        int y2 = std::max(damage->y + damage->height, rect.y + rect.height);
        damage = cairo_rectangle_int_t { x1, y1, x2 - x1, y2 - y1 };
    }

    // Brings the pixels up to date with the window: only what was damaged,
    // unless the size changed or the whole is asked for. The rectangle that
    // changed, in points; nothing when nothing did.
    std::optional<Rect> grab()
    {
        cairo_surface_t* surface = gtk_offscreen_window_get_surface(GTK_OFFSCREEN_WINDOW(window));
        if (!surface)
            return std::nullopt;
        int width = pixelWidth(), height = pixelHeight();
        if (pixels.isNull() || pixels.pixelWidth() != width || pixels.pixelHeight() != height)
            wholeDirty = true;
        if (wholeDirty) {
            wholeDirty = false;
            damage.reset();
            pixels = Image(width, height, scale);
            copyFromSurface(surface, pixels, 0, 0, width, height);
            return Rect(0, 0, points.width, points.height);
        }
        if (!damage)
            return std::nullopt;
        auto area = *damage;
        damage.reset();
        int x0 = std::clamp(int(std::floor(area.x * scale)), 0, width);
        int y0 = std::clamp(int(std::floor(area.y * scale)), 0, height);
        int x1 = std::clamp(int(std::ceil((area.x + area.width) * scale)), 0, width);
        int y1 = std::clamp(int(std::ceil((area.y + area.height) * scale)), 0, height);
        if (x1 <= x0 || y1 <= y0)
            return std::nullopt;
        copyFromSurface(surface, pixels, x0, y0, x1 - x0, y1 - y0);
        return Rect(x0 / scale, y0 / scale, (x1 - x0) / scale, (y1 - y0) / scale);
    }

    GdkEvent* pointerEvent(GdkEventType type, Point point)
    {
        GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(view));
        if (!gdkWindow)
            return nullptr;
        GdkEvent* event = gdk_event_new(type);
        auto* seat = gdk_display_get_default_seat(gdk_window_get_display(gdkWindow));
        gdk_event_set_device(event, gdk_seat_get_pointer(seat));
        if (type == GDK_SCROLL) {
            event->scroll.window = GDK_WINDOW(g_object_ref(gdkWindow));
            event->scroll.send_event = TRUE;
            event->scroll.time = GDK_CURRENT_TIME;
            event->scroll.x = event->scroll.x_root = point.x;
            event->scroll.y = event->scroll.y_root = point.y;
        } else if (type == GDK_MOTION_NOTIFY) {
            event->motion.window = GDK_WINDOW(g_object_ref(gdkWindow));
            event->motion.send_event = TRUE;
            event->motion.time = GDK_CURRENT_TIME;
            event->motion.x = event->motion.x_root = point.x;
            event->motion.y = event->motion.y_root = point.y;
        } else {
            event->button.window = GDK_WINDOW(g_object_ref(gdkWindow));
            event->button.send_event = TRUE;
            event->button.time = GDK_CURRENT_TIME;
            event->button.x = event->button.x_root = point.x;
            event->button.y = event->button.y_root = point.y;
            event->button.button = 1;
            event->button.state = type == GDK_BUTTON_RELEASE ? GDK_BUTTON1_MASK : 0;
        }
        return event;
    }

    void focus()
    {
        gtk_widget_grab_focus(GTK_WIDGET(view));
        GdkWindow* gdkWindow = gtk_widget_get_window(window);
        if (!gdkWindow)
            return;
        GdkEvent* event = gdk_event_new(GDK_FOCUS_CHANGE);
        event->focus_change.window = GDK_WINDOW(g_object_ref(gdkWindow));
        event->focus_change.send_event = TRUE;
        event->focus_change.in = TRUE;
        // The keyboard's focus, as the toolkit's own focus events say.
        auto* seat = gdk_display_get_default_seat(gdk_window_get_display(gdkWindow));
        gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
        gtk_main_do_event(event);
        gdk_event_free(event);
    }

    ~EngineImpl()
    {
        releasePaints();
        dropOptionMenu(true);
        if (content)
            g_signal_handlers_disconnect_by_data(content, this);
        if (view) {
            g_signal_handlers_disconnect_by_data(view, this);
            webkit_web_view_stop_loading(view);
        }
        if (window) {
            g_signal_handlers_disconnect_by_data(window, this);
            gtk_widget_destroy(window);
        }
        if (content)
            g_object_unref(content);
    }
};

// The engine's side of a web view.
class GtkEngineView final : public WebEngineView {
public:
    explicit GtkEngineView(std::unique_ptr<EngineImpl> impl)
        : impl_(std::move(impl))
    {
    }
    void loadURL(const Url& url, const std::string& method, const std::string& body, bool bypassCache) override;
    void loadHTML(const std::string& html, const std::optional<Url>& baseURL) override;
    void stop() override;
    void reload(bool bypassCache) override;
    void goBack() override;
    void goForward() override;
    bool canGoBack() const override;
    bool canGoForward() const override;
    std::optional<Url> currentURL() const override;
    int statusCode() const override;
    std::optional<Size> documentSize() const override { return impl_->documentSize; }
    std::optional<std::string> evaluate(const std::string& script, double timeoutSeconds) override;
    void syncCookies() override;
    const Image& pixels() const override;
    bool redraw(double timeoutSeconds) override;
    void resize(Size points, double scale) override;
    void tap(Point point) override;
    void wheel(Point point, double dy) override;
    void insertText(const std::string& text) override;
    void pressKey(const std::string& keyName) override;
    void chooseOption(std::size_t index) override;
    void closeOptionMenu() override { impl_->dropOptionMenu(true); }

private:
    std::unique_ptr<EngineImpl> impl_;
};

} // namespace

void GtkEngineView::syncCookies()
{
    auto& e = engine();
    // Cookies a page set and the jar has not heard of yet go there first;
    // then the engine takes the application's jar as it is.
    if (e.pullPosted)
        pullCookies();
    auto* manager
        = webkit_website_data_manager_get_cookie_manager(webkit_web_context_get_website_data_manager(e.context));
    auto jar = HttpCookieStorage::shared().cookies();
    std::string signature;
    for (const auto& cookie : jar)
        signature += cookie.domain + '\t' + cookie.path + '\t' + cookie.name + '\t' + cookie.value + '\t'
            + (cookie.expiresDate ? std::to_string(cookie.expiresDate->seconds) : "-") + (cookie.secure ? "s" : "")
            + (cookie.httpOnly ? "h" : "") + (cookie.hostOnly ? "o" : "") + '\n';
    if (e.pushedSignature && *e.pushedSignature == signature)
        return; // the engine holds these already
    e.pushedSignature = signature;
    std::set<CookieIdentity> pushed;
    for (const auto& cookie : jar)
        pushed.insert(identity(cookie));
    // Every load comes after this: from now on pages may set cookies.
    bool fresh = !e.pagesMayHaveRun;
    e.pagesMayHaveRun = true;
    if (jar.empty() && fresh && e.engineCookies.empty()) {
        // The engine keeps its cookies in memory only: before its first page
        // it holds none, and there is nothing to clear (asking would wait
        // for its network process to start, which the page's first request
        // starts anyway).
        return;
    }
    if (jar.empty()) {
        // An empty list is never answered: the engine's cookies are cleared instead.
        auto cleared = std::make_shared<bool>(false);
        webkit_website_data_manager_clear(webkit_web_context_get_website_data_manager(e.context),
            WEBKIT_WEBSITE_DATA_COOKIES, 0, nullptr,
            [](GObject* object, GAsyncResult* result, gpointer data) {
                std::unique_ptr<std::shared_ptr<bool>> owned(static_cast<std::shared_ptr<bool>*>(data));
                webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(object), result, nullptr);
                **owned = true;
            },
            new std::shared_ptr<bool>(cleared));
        if (!glib::iterateUntil([&] { return *cleared; }, 5))
            log("WebEngine: the engine did not clear its cookies in time\n");
        e.engineCookies.clear();
        return;
    }
    GList* list = nullptr;
    for (const auto& cookie : jar)
        list = g_list_prepend(list, toSoup(cookie));
    list = g_list_reverse(list);
    auto done = std::make_shared<bool>(false);
    webkit_cookie_manager_replace_cookies(
        manager, list, nullptr,
        [](GObject* object, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<bool>> owned(static_cast<std::shared_ptr<bool>*>(data));
            webkit_cookie_manager_replace_cookies_finish(WEBKIT_COOKIE_MANAGER(object), result, nullptr);
            **owned = true;
        },
        new std::shared_ptr<bool>(done));
    g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
    if (!glib::iterateUntil([&] { return *done; }, 5))
        log("WebEngine: the engine did not take the cookies in time\n");
    e.engineCookies = std::move(pushed);
}


static std::unique_ptr<WebEngineView> createEngineView(WebEngineClient& client, Size points, double scale, Error* error)
{
    std::string reason;
    if (!startEngine(scale, &reason)) {
        if (error)
            *error = makeError(kURLErrorDomain, kErrorUnknown, reason, "");
        return nullptr;
    }
    auto impl = std::make_unique<EngineImpl>();
    impl->client = &client;
    impl->points = Size(std::max(1.0, points.width), std::max(1.0, points.height));
    impl->scale = engine().scale;

    impl->content = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(impl->content, "orbFrameNavigation");
    webkit_user_content_manager_register_script_message_handler(impl->content, "orbPageSize");
    g_signal_connect(impl->content, "script-message-received::orbPageSize", G_CALLBACK(EngineImpl::pageSizeMessage),
        impl.get());
    g_signal_connect(impl->content, "script-message-received::orbFrameNavigation", G_CALLBACK(EngineImpl::frameMessage),
        impl.get());
    auto* script = webkit_user_script_new(kFrameScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(impl->content, script);
    webkit_user_script_unref(script);

    auto* settings = webkit_settings_new();
    g_object_set(settings, "javascript-can-open-windows-automatically", FALSE, "enable-developer-extras", FALSE,
        "allow-file-access-from-file-urls", FALSE, "allow-universal-access-from-file-urls", FALSE,
        "enable-page-cache", FALSE, "hardware-acceleration-policy", WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER,
        "default-charset", "iso-8859-1", "enable-smooth-scrolling", FALSE, nullptr);
    impl->view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", engine().context, "settings",
        settings, "user-content-manager", impl->content, nullptr));
    g_object_unref(settings);

    impl->window = gtk_offscreen_window_new();
    // No mnemonics: with a modifier for them, each focus-in makes GTK ask the
    // pointer's state over the window, which an offscreen window cannot
    // answer (GLib's "invalid cast from GdkOffscreenWindow to GdkWindowImplX11").
    gtk_window_set_mnemonic_modifier(GTK_WINDOW(impl->window), GdkModifierType(0));
    gtk_window_set_default_size(GTK_WINDOW(impl->window), int(impl->points.width), int(impl->points.height));
    gtk_widget_set_size_request(GTK_WIDGET(impl->view), int(impl->points.width), int(impl->points.height));
    gtk_container_add(GTK_CONTAINER(impl->window), GTK_WIDGET(impl->view));
    gtk_widget_show_all(impl->window);
    impl->holdPaintsUntilTheWebProcessSpeaks();

    g_signal_connect(impl->view, "decide-policy", G_CALLBACK(EngineImpl::decidePolicy), impl.get());
    g_signal_connect(impl->view, "load-changed", G_CALLBACK(EngineImpl::loadChanged), impl.get());
    g_signal_connect(impl->view, "load-failed", G_CALLBACK(EngineImpl::loadFailed), impl.get());
    g_signal_connect(impl->view, "script-dialog", G_CALLBACK(EngineImpl::scriptDialog), impl.get());
    g_signal_connect(impl->view, "show-option-menu", G_CALLBACK(EngineImpl::showOptionMenu), impl.get());
    g_signal_connect(impl->view, "web-process-terminated", G_CALLBACK(EngineImpl::webProcessEnded), impl.get());
    g_signal_connect(impl->window, "damage-event", G_CALLBACK(EngineImpl::damaged), impl.get());
    return std::make_unique<GtkEngineView>(std::move(impl));
}

void GtkEngineView::loadURL(const Url& url, const std::string& method, const std::string& body, bool bypassCache)
{
    auto address = webEngineAddress(url).value_or(url).absoluteString();
    impl_->postCarrier.reset();
    impl_->postSubmission.reset();
    if (method.empty() || method == "GET") {
        if (!bypassCache) {
            webkit_web_view_load_uri(impl_->view, address.c_str());
            return;
        }
        // The request's own cache directives keep the engine's caches out
        // of it both ways: no stored reply answers it (at most one the
        // server confirms), and its reply is not stored.
        WebKitURIRequest* request = webkit_uri_request_new(address.c_str());
        if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request)) {
            soup_message_headers_replace(headers, "Cache-Control", "no-cache, no-store");
            soup_message_headers_replace(headers, "Pragma", "no-cache");
        }
        webkit_web_view_load_request(impl_->view, request);
        g_object_unref(request);
        return;
    }
    // The engine loads addresses with GET only: a posted form body is sent by
    // a form of the same fields, submitted as the page loads.
    auto decode = [](const std::string& text) {
        std::string plus = text;
        std::replace(plus.begin(), plus.end(), '+', ' ');
        gchar* out = g_uri_unescape_string(plus.c_str(), nullptr);
        std::string result = out ? out : "";
        g_free(out);
        return result;
    };
    auto escape = [](const std::string& text) {
        gchar* out = g_markup_escape_text(text.c_str(), gssize(text.size()));
        std::string result = out ? out : "";
        g_free(out);
        return result;
    };
    std::string html = "<!DOCTYPE html><html><body><form id='f' method='" + escape(method) + "' action='"
        + escape(address) + "'>";
    std::size_t start = 0;
    while (start < body.size()) {
        auto end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        auto pair = body.substr(start, end - start);
        auto equals = pair.find('=');
        html += "<input type='hidden' name='" + escape(decode(pair.substr(0, equals))) + "' value='"
            + escape(equals == std::string::npos ? "" : decode(pair.substr(equals + 1))) + "'>";
        start = end + 1;
    }
    html += "</form><script>document.getElementById('f').submit();</script></body></html>";
    impl_->postCarrier = address;
    webkit_web_view_load_html(impl_->view, html.c_str(), address.c_str());
}

void GtkEngineView::loadHTML(const std::string& html, const std::optional<Url>& baseURL)
{
    std::string base;
    if (baseURL)
        base = webEngineAddress(*baseURL).value_or(*baseURL).absoluteString();
    impl_->expectBlank = base.empty();
    impl_->postCarrier.reset();
    impl_->postSubmission.reset();
    webkit_web_view_load_html(impl_->view, html.c_str(), base.empty() ? nullptr : base.c_str());
}

void GtkEngineView::stop()
{
    impl_->postCarrier.reset();
    impl_->postSubmission.reset();
    webkit_web_view_stop_loading(impl_->view);
}
void GtkEngineView::reload(bool bypassCache)
{
    if (bypassCache)
        webkit_web_view_reload_bypass_cache(impl_->view);
    else
        webkit_web_view_reload(impl_->view);
}
void GtkEngineView::goBack() { webkit_web_view_go_back(impl_->view); }
void GtkEngineView::goForward() { webkit_web_view_go_forward(impl_->view); }
bool GtkEngineView::canGoBack() const { return webkit_web_view_can_go_back(impl_->view); }
bool GtkEngineView::canGoForward() const { return webkit_web_view_can_go_forward(impl_->view); }

std::optional<Url> GtkEngineView::currentURL() const
{
    const char* uri = webkit_web_view_get_uri(impl_->view);
    if (!uri)
        return std::nullopt;
    auto url = engineAddress(uri);
    if (!url)
        return std::nullopt;
    return webApplicationAddress(*url);
}

int GtkEngineView::statusCode() const
{
    auto* resource = webkit_web_view_get_main_resource(impl_->view);
    if (!resource)
        return 0;
    auto* response = webkit_web_resource_get_response(resource);
    const char* uri = webkit_web_resource_get_uri(resource);
    if (!response || !uri || (std::strncmp(uri, "http:", 5) != 0 && std::strncmp(uri, "https:", 6) != 0))
        return 0;
    return int(webkit_uri_response_get_status_code(response));
}

std::optional<std::string> GtkEngineView::evaluate(const std::string& script, double timeoutSeconds)
{
    struct Outcome {
        bool done = false;
        std::optional<std::string> text;
    };
    auto outcome = std::make_shared<Outcome>();
    auto* holder = new std::shared_ptr<Outcome>(outcome);
    webkit_web_view_evaluate_javascript(
        impl_->view, script.c_str(), gssize(script.size()), nullptr, nullptr, nullptr,
        [](GObject* object, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<Outcome>> owned(static_cast<std::shared_ptr<Outcome>*>(data));
            auto& out = **owned;
            GError* error = nullptr;
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(object), result, &error);
            out.done = true;
            if (!value) {
                if (error)
                    g_error_free(error);
                return;
            }
            if (jsc_value_is_string(value) || jsc_value_is_number(value) || jsc_value_is_boolean(value)) {
                gchar* text = jsc_value_to_string(value);
                out.text = text ? text : "";
                g_free(text);
            } else {
                out.text = "";
            }
            g_object_unref(value);
        },
        holder);
    if (!glib::iterateUntil([&] { return outcome->done; }, timeoutSeconds))
        return std::nullopt;
    return outcome->text;
}

const Image& GtkEngineView::pixels() const
{
    impl_->grab();
    return impl_->pixels;
}

bool GtkEngineView::redraw(double timeoutSeconds)
{
    impl_->releasePaints();
    struct Outcome {
        bool done = false;
        cairo_surface_t* surface = nullptr;
    };
    auto outcome = std::make_shared<Outcome>();
    auto* holder = new std::shared_ptr<Outcome>(outcome);
    webkit_web_view_get_snapshot(
        impl_->view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* object, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<Outcome>> owned(static_cast<std::shared_ptr<Outcome>*>(data));
            (*owned)->done = true;
            (*owned)->surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(object), result, nullptr);
        },
        holder);
    bool ok = glib::iterateUntil([&] { return outcome->done; }, timeoutSeconds);
    if (!outcome->surface)
        return false;
    // The snapshot proves the web process painted; the window's own surface
    // has the same pixels at the screen's scale.
    cairo_surface_destroy(outcome->surface);
    glib::iterateUntil([] { return false; }, 0.02);
    impl_->wholeDirty = true;
    impl_->grab();
    return ok;
}

void GtkEngineView::resize(Size points, double)
{
    impl_->points = Size(std::max(1.0, points.width), std::max(1.0, points.height));
    gtk_widget_set_size_request(GTK_WIDGET(impl_->view), int(impl_->points.width), int(impl_->points.height));
    gtk_window_resize(GTK_WINDOW(impl_->window), int(impl_->points.width), int(impl_->points.height));
}

namespace {
    // Events made up for an offscreen window make the toolkit ask the X
    // server about a window it never created there; those answers are errors
    // that would end the process, and mean nothing here.
    class XErrorTrap {
    public:
        XErrorTrap()
            : display_(gdk_display_get_default())
        {
            if (display_ && GDK_IS_X11_DISPLAY(display_))
                gdk_x11_display_error_trap_push(display_);
            else
                display_ = nullptr;
        }
        ~XErrorTrap()
        {
            if (display_)
                gdk_x11_display_error_trap_pop_ignored(display_);
        }
        XErrorTrap(const XErrorTrap&) = delete;
        XErrorTrap& operator=(const XErrorTrap&) = delete;

    private:
        GdkDisplay* display_;
    };
} // namespace

void GtkEngineView::tap(Point point)
{
    XErrorTrap trap;
    impl_->focus();
    for (auto type : { GDK_MOTION_NOTIFY, GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE }) {
        if (GdkEvent* event = impl_->pointerEvent(type, point)) {
            gtk_widget_event(GTK_WIDGET(impl_->view), event);
            gdk_event_free(event);
        }
    }
}

void GtkEngineView::wheel(Point point, double dy)
{
    XErrorTrap trap;
    if (GdkEvent* event = impl_->pointerEvent(GDK_SCROLL, point)) {
        event->scroll.direction = GDK_SCROLL_SMOOTH;
        event->scroll.delta_x = 0;
        event->scroll.delta_y = dy / 50.0; // GTK's smooth deltas count in steps of about 50 points
        gtk_widget_event(GTK_WIDGET(impl_->view), event);
        gdk_event_free(event);
    }
}

void GtkEngineView::insertText(const std::string& text)
{
    XErrorTrap trap;
    impl_->focus();
    webkit_web_view_execute_editing_command_with_argument(impl_->view, "InsertText", text.c_str());
}

void GtkEngineView::pressKey(const std::string& keyName)
{
    XErrorTrap trap;
    impl_->focus();
    GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(impl_->view));
    guint keyval = gdk_keyval_from_name(keyName.c_str());
    if (!gdkWindow || keyval == GDK_KEY_VoidSymbol)
        return;
    auto* display = gdk_window_get_display(gdkWindow);
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    guint16 code = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count) && count > 0)
        code = guint16(keys[0].keycode);
    g_free(keys);
    for (auto type : { GDK_KEY_PRESS, GDK_KEY_RELEASE }) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(gdkWindow));
        event->key.send_event = TRUE;
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = keyval;
        event->key.hardware_keycode = code;
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
        gtk_widget_event(GTK_WIDGET(impl_->view), event);
        gdk_event_free(event);
    }
}

void GtkEngineView::chooseOption(std::size_t index)
{
    auto* menu = impl_->optionMenu;
    if (!menu || index >= webkit_option_menu_get_n_items(menu))
        return;
    webkit_option_menu_activate_item(menu, guint(index));
    impl_->dropOptionMenu(true);
}

} // namespace platform

namespace {
const platform::WebEngineModuleTable kTable { platform::kWebEngineModuleVersion, platform::createEngineView,
    [] { return platform::displayInUse(); }, platform::removeCachedResources };
} // namespace

extern "C" __attribute__((visibility("default"))) const platform::WebEngineModuleTable* orbWebEngineModule()
{
    return &kTable;
}
