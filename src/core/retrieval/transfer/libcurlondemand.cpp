// The libcurl functions the transfers call, bound to the library on the first call.
//
// libcurl brings some thirty libraries of its own (TLS, Kerberos, LDAP, SSH, ...); mapping and
// binding them when the program starts costs several milliseconds before the window can show,
// although nothing is transferred until the user starts a run. So the program does not link
// libcurl: these definitions stand in for the library's exported functions and load it the first
// time one of them is called. A call to any other libcurl function fails to link, which is the
// reminder to add it here.
//
// Should the library be missing, every call fails the way libcurl itself reports a failure, and
// curl_easy_strerror() gives the system's reason, which then becomes the job's failure text.

#include "conversion/dynamiclibrary.h"

#include <QByteArray>
#include <cstdarg>
// These definitions are the functions; the header's type-checking macros would rename them.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>
#include <mutex>

namespace Tarnwick {

namespace {

#ifdef _WIN32
const QString LibcurlName = QStringLiteral("libcurl-4.dll");
#else
const QString LibcurlName = QStringLiteral("libcurl.so.4");
#endif

struct LibcurlFunctions {
    CURLcode (*globalInit)(long) = nullptr;
    CURL* (*easyInit)() = nullptr;
    void (*easyCleanup)(CURL*) = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyPerform)(CURL*) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    const char* (*easyStrerror)(CURLcode) = nullptr;
    CURLM* (*multiInit)() = nullptr;
    CURLMcode (*multiCleanup)(CURLM*) = nullptr;
    CURLMcode (*multiAddHandle)(CURLM*, CURL*) = nullptr;
    CURLMcode (*multiRemoveHandle)(CURLM*, CURL*) = nullptr;
    CURLMcode (*multiPerform)(CURLM*, int*) = nullptr;
    CURLMcode (*multiPoll)(CURLM*, curl_waitfd[], unsigned int, int, int*) = nullptr;
    CURLMsg* (*multiInfoRead)(CURLM*, int*) = nullptr;
    CURLMcode (*multiWakeup)(CURLM*) = nullptr;
    curl_slist* (*slistAppend)(curl_slist*, const char*) = nullptr;
    void (*slistFreeAll)(curl_slist*) = nullptr;
    time_t (*getdate)(const char*, const time_t*) = nullptr;
    CURLSH* (*shareInit)() = nullptr;
    CURLSHcode (*shareSetopt)(CURLSH*, CURLSHoption, ...) = nullptr;
    CURLSHcode (*shareCleanup)(CURLSH*) = nullptr;
};

struct LoadedLibcurl {
    DynamicLibrary library;
    LibcurlFunctions functions;
    bool usable = false;
    QByteArray failure;
};

// Binds every function, or names the first one the library lacks.
class Binder {
public:
    explicit Binder(DynamicLibrary& library)
        : library_(library) {}

    template <typename Function>
    Binder& operator()(const char* name, Function& function) {
        function = reinterpret_cast<Function>(library_.Symbol(name));
        if (function == nullptr && missing_ == nullptr)
            missing_ = name;
        return *this;
    }
    const char* Missing() const { return missing_; }

private:
    DynamicLibrary& library_;
    const char* missing_ = nullptr;
};

const char* BindAll(DynamicLibrary& library, LibcurlFunctions& f) {
    Binder bind(library);
    bind("curl_global_init", f.globalInit)("curl_easy_init", f.easyInit)("curl_easy_cleanup", f.easyCleanup);
    bind("curl_easy_setopt", f.easySetopt)("curl_easy_getinfo", f.easyGetinfo);
    bind("curl_easy_perform", f.easyPerform);
    bind("curl_easy_strerror", f.easyStrerror);
    bind("curl_multi_init", f.multiInit)("curl_multi_cleanup", f.multiCleanup);
    bind("curl_multi_add_handle", f.multiAddHandle)("curl_multi_remove_handle", f.multiRemoveHandle);
    bind("curl_multi_perform", f.multiPerform)("curl_multi_poll", f.multiPoll);
    bind("curl_multi_info_read", f.multiInfoRead)("curl_multi_wakeup", f.multiWakeup);
    bind("curl_slist_append", f.slistAppend)("curl_slist_free_all", f.slistFreeAll);
    bind("curl_getdate", f.getdate);
    bind("curl_share_init", f.shareInit)("curl_share_setopt", f.shareSetopt)("curl_share_cleanup",
                                                                             f.shareCleanup);
    return bind.Missing();
}

// Loaded once and kept for the life of the process: handles made by the library must stay valid
// however long the program runs, and unloading TLS libraries at exit is a known source of crashes.
const LoadedLibcurl& Libcurl() {
    static LoadedLibcurl* loaded = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        loaded = new LoadedLibcurl;
        if (!loaded->library.Open(LibcurlName)) {
            loaded->failure = QStringLiteral("The transfer library could not be loaded: %1")
                                  .arg(loaded->library.ErrorText())
                                  .toUtf8();
        } else if (const char* missing = BindAll(loaded->library, loaded->functions)) {
            loaded->failure = QStringLiteral("%1 lacks the function %2, which this program needs")
                                  .arg(LibcurlName, QLatin1String(missing))
                                  .toUtf8();
        } else {
            loaded->usable = true;
        }
    });
    return *loaded;
}

const LibcurlFunctions* Functions() {
    const LoadedLibcurl& libcurl = Libcurl();
    return libcurl.usable ? &libcurl.functions : nullptr;
}

} // namespace

} // namespace Tarnwick

using Tarnwick::Functions;

extern "C" {

CURLcode curl_global_init(long flags) {
    const auto* f = Functions();
    return f ? f->globalInit(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
    const auto* f = Functions();
    return f ? f->easyInit() : nullptr;
}

void curl_easy_cleanup(CURL* handle) {
    if (const auto* f = Functions())
        f->easyCleanup(handle);
}

// The option's number says what type its one argument has, as libcurl itself reads it.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    const auto* f = Functions();
    if (f == nullptr)
        return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        result = f->easySetopt(handle, option, va_arg(arguments, long));
    else if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB)
        result = f->easySetopt(handle, option, va_arg(arguments, curl_off_t));
    else // objects, strings, functions and blobs all travel as pointers
        result = f->easySetopt(handle, option, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

CURLcode curl_easy_perform(CURL* handle) {
    const auto* f = Functions();
    return f ? f->easyPerform(handle) : CURLE_FAILED_INIT;
}

// Every piece of information is written through a pointer.
CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    const auto* f = Functions();
    if (f == nullptr)
        return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, info);
    const CURLcode result = f->easyGetinfo(handle, info, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

const char* curl_easy_strerror(CURLcode code) {
    const Tarnwick::LoadedLibcurl& libcurl = Tarnwick::Libcurl();
    return libcurl.usable ? libcurl.functions.easyStrerror(code) : libcurl.failure.constData();
}

CURLM* curl_multi_init() {
    const auto* f = Functions();
    return f ? f->multiInit() : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    const auto* f = Functions();
    return f ? f->multiCleanup(multi) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    const auto* f = Functions();
    return f ? f->multiAddHandle(multi, handle) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle) {
    const auto* f = Functions();
    return f ? f->multiRemoveHandle(multi, handle) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    const auto* f = Functions();
    return f ? f->multiPerform(multi, running) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra[], unsigned int count, int timeoutMs, int* ready) {
    const auto* f = Functions();
    return f ? f->multiPoll(multi, extra, count, timeoutMs, ready) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_wakeup(CURLM* multi) {
    const auto* f = Functions();
    return f ? f->multiWakeup(multi) : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* queued) {
    const auto* f = Functions();
    return f ? f->multiInfoRead(multi, queued) : nullptr;
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    const auto* f = Functions();
    return f ? f->slistAppend(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
    if (const auto* f = Functions())
        f->slistFreeAll(list);
}

time_t curl_getdate(const char* text, const time_t* unused) {
    const auto* f = Functions();
    return f ? f->getdate(text, unused) : time_t(-1);
}

CURLSH* curl_share_init() {
    const auto* f = Functions();
    return f ? f->shareInit() : nullptr;
}

// Every share option Tarnwick sets takes an int (the data to share) or a pointer (a function or
// its user data).
CURLSHcode curl_share_setopt(CURLSH* share, CURLSHoption option, ...) {
    const auto* f = Functions();
    if (f == nullptr)
        return CURLSHE_NOT_BUILT_IN;
    va_list arguments;
    va_start(arguments, option);
    CURLSHcode result;
    if (option == CURLSHOPT_SHARE || option == CURLSHOPT_UNSHARE)
        result = f->shareSetopt(share, option, va_arg(arguments, int));
    else
        result = f->shareSetopt(share, option, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

CURLSHcode curl_share_cleanup(CURLSH* share) {
    const auto* f = Functions();
    return f ? f->shareCleanup(share) : CURLSHE_INVALID;
}

} // extern "C"
