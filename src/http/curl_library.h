#pragma once
// libcurl opened with dlopen at the first request rather than linked: a run
// that makes no request (no online host configured) never loads it nor the
// TLS, LDAP, Kerberos and SSH libraries it brings, several megabytes of
// resident memory. <curl/curl.h> still gives the types and prototypes.
#include <curl/curl.h>

#include <string>

namespace vidralo {

// The libcurl functions this program calls, resolved with dlsym.
struct CurlFunctions {
  decltype(&::curl_global_init) global_init = nullptr;
  decltype(&::curl_easy_init) easy_init = nullptr;
  decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
  // Variadic: pass long, curl_off_t, a pointer or a function pointer,
  // exactly as the option wants.
  decltype(&::curl_easy_setopt) easy_setopt = nullptr;
  decltype(&::curl_easy_perform) easy_perform = nullptr;
  decltype(&::curl_easy_getinfo) easy_getinfo = nullptr;
  decltype(&::curl_easy_header) easy_header = nullptr;
  decltype(&::curl_slist_append) slist_append = nullptr;
  decltype(&::curl_slist_free_all) slist_free_all = nullptr;
  decltype(&::curl_url) url = nullptr;
  decltype(&::curl_url_set) url_set = nullptr;
  decltype(&::curl_url_get) url_get = nullptr;
  decltype(&::curl_url_cleanup) url_cleanup = nullptr;
  decltype(&::curl_free) free = nullptr;
};

// The process's libcurl. The first call opens "libcurl.so.4", resolves the
// functions and runs curl_global_init, once, on whichever thread makes it
// (the others wait); the library then stays loaded. Null when it cannot be
// loaded (missing file, missing function, failed initialisation).
const CurlFunctions* curlFunctions();

// Why curlFunctions() is null, in the loader's words ("libcurl.so.4: cannot
// open shared object file: ..."); empty when it is loaded.
const std::string& curlLoadError();

// For tests only, before anything else asks for libcurl: the file the load
// opens instead of "libcurl.so.4".
void setCurlLibraryFile(const char* file);

}  // namespace vidralo
