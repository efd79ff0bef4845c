// plugin.cpp - dlopen loader for the plug-in.
#include "plugin.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace vorn_cli {

namespace {

#ifndef VORN_TOOL_LIBDIR
#define VORN_TOOL_LIBDIR "lib"
#endif

const char kPluginFile[] = "libvorn.so";        // the build tree keeps it beside the tool
const char kInstalledName[] = "libvorn.so.1";   // an installation keeps it in <prefix>/<libdir>

std::string executable_dir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool file_exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Resolves one export into a typed function pointer; false when it is missing.
template <typename Fn>
bool resolve(void *handle, const char *name, Fn &out, std::string &missing) {
  void *sym = dlsym(handle, name);
  if (!sym) {
    if (missing.empty()) missing = name;
    return false;
  }
  out = reinterpret_cast<Fn>(sym);
  return true;
}

}  // namespace

std::string default_plugin_path() {
  std::string dir = executable_dir();
  if (!dir.empty()) {
    std::string beside = dir + "/" + kPluginFile;
    if (file_exists(beside)) return beside;
    std::string installed = dir + "/../" VORN_TOOL_LIBDIR "/" + kInstalledName;
    if (file_exists(installed)) return installed;
  }
  return kInstalledName;  // left to the loader's search path
}

bool load_plugin(const std::string &path, Plugin &out, std::string &error) {
  out = Plugin();
  out.path = path;
  // A bare file name would be searched for on the library path; a path with a
  // slash is taken as it is, so "--plugin ./x.so" loads exactly that file.
  void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char *why = dlerror();
    error = "cannot load the plug-in " + path + ": " + (why ? why : "unknown error");
    return false;
  }
  const vorn_handler *(*get)(void) = nullptr;
  std::string missing;
  bool ok = resolve(handle, "kelda_get", get, missing);
  ok = resolve(handle, "vorn_allow_writes", out.allow_writes, missing) && ok;
  ok = resolve(handle, "vorn_result_json", out.result_json, missing) && ok;
  ok = resolve(handle, "vorn_last_error", out.last_error, missing) && ok;
  ok = resolve(handle, "vorn_redact", out.redact, missing) && ok;
  ok = resolve(handle, "vorn_version", out.version, missing) && ok;
  ok = resolve(handle, "vorn_validate", out.validate, missing) && ok;
  ok = resolve(handle, "vorn_list", out.list, missing) && ok;
  ok = resolve(handle, "vorn_stream_url", out.stream_url, missing) && ok;
  ok = resolve(handle, "vorn_download", out.download, missing) && ok;
  ok = resolve(handle, "vorn_use_fake", out.use_fake, missing) && ok;
  ok = resolve(handle, "vorn_fake_reset", out.fake_reset, missing) && ok;
  ok = resolve(handle, "vorn_fake_set", out.fake_set, missing) && ok;
  ok = resolve(handle, "vorn_fake_calls", out.fake_calls, missing) && ok;
  ok = resolve(handle, "vorn_fake_last_url", out.fake_last_url, missing) && ok;
  if (ok) out.table = get();
  if (!ok || !out.table || !out.table->validate || !out.table->list || !out.table->stream_url ||
      !out.table->download) {
    error = "the plug-in " + path + " is not usable: " +
            (missing.empty() ? std::string("its handler table is incomplete") : "it lacks " + missing);
    dlclose(handle);
    out = Plugin();
    return false;
  }
  out.handle = handle;
  return true;
}

}  // namespace vorn_cli
