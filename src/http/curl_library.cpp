#include "http/curl_library.h"

#include <dlfcn.h>

namespace vidralo {
namespace {

const char* libraryFile = "libcurl.so.4";

struct LoadedCurl {
  CurlFunctions functions;
  std::string error;
};

template <class Function>
bool resolve(void* library, const char* name, Function& function, std::string& error) {
  dlerror();
  function = reinterpret_cast<Function>(dlsym(library, name));
  if (function != nullptr) return true;
  const char* why = dlerror();
  error = why != nullptr ? why : std::string(name) + ": not found";
  return false;
}

bool resolveAll(void* library, CurlFunctions& f, std::string& error) {
  return resolve(library, "curl_global_init", f.global_init, error) &&
         resolve(library, "curl_easy_init", f.easy_init, error) &&
         resolve(library, "curl_easy_cleanup", f.easy_cleanup, error) &&
         resolve(library, "curl_easy_setopt", f.easy_setopt, error) &&
         resolve(library, "curl_easy_perform", f.easy_perform, error) &&
         resolve(library, "curl_easy_getinfo", f.easy_getinfo, error) &&
         resolve(library, "curl_easy_header", f.easy_header, error) &&
         resolve(library, "curl_slist_append", f.slist_append, error) &&
         resolve(library, "curl_slist_free_all", f.slist_free_all, error) &&
         resolve(library, "curl_url", f.url, error) && resolve(library, "curl_url_set", f.url_set, error) &&
         resolve(library, "curl_url_get", f.url_get, error) &&
         resolve(library, "curl_url_cleanup", f.url_cleanup, error) && resolve(library, "curl_free", f.free, error);
}

LoadedCurl load() {
  LoadedCurl loaded;
  void* library = dlopen(libraryFile, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    loaded.error = why != nullptr ? why : std::string(libraryFile) + ": cannot be opened";
    return loaded;
  }
  if (!resolveAll(library, loaded.functions, loaded.error)) {
    dlclose(library);
    return loaded;
  }
  // Not thread-safe against any other libcurl call, hence here, before any
  // handle exists.
  if (const CURLcode code = loaded.functions.global_init(CURL_GLOBAL_DEFAULT); code != CURLE_OK)
    loaded.error = "curl_global_init failed with code " + std::to_string(code);
  return loaded;
}

const LoadedCurl& loadedCurl() {
  static const LoadedCurl loaded = load();
  return loaded;
}

}  // namespace

const CurlFunctions* curlFunctions() {
  const LoadedCurl& loaded = loadedCurl();
  return loaded.error.empty() ? &loaded.functions : nullptr;
}

const std::string& curlLoadError() { return loadedCurl().error; }

void setCurlLibraryFile(const char* file) { libraryFile = file; }

}  // namespace vidralo
