// plugin.h - loads the plug-in with dlopen, as a media player does, and
// resolves the handler table and the few flat exports the tool uses.
#ifndef VORN_TOOL_PLUGIN_H
#define VORN_TOOL_PLUGIN_H

#include <string>

#include "vorn.h"

namespace vorn_cli {

struct Plugin {
  void *handle = nullptr;
  std::string path;
  const vorn_handler *table = nullptr;

  int32_t (*allow_writes)(int32_t) = nullptr;
  const char *(*result_json)(void) = nullptr;
  const char *(*last_error)(void) = nullptr;
  const char *(*redact)(const char *) = nullptr;
  const char *(*version)(void) = nullptr;

  // The flat operations and the scripted transport, for the demo.
  int32_t (*validate)(const char *, char *, int32_t) = nullptr;
  int32_t (*list)(const char *, const char *, char *, int32_t) = nullptr;
  int32_t (*stream_url)(const char *, const char *, char *, int32_t) = nullptr;
  int32_t (*download)(const char *, const char *, char *, int32_t) = nullptr;
  int32_t (*use_fake)(void) = nullptr;
  void (*fake_reset)(void) = nullptr;
  int (*fake_set)(const char *, const char *, int32_t, const char *) = nullptr;
  int (*fake_calls)(const char *, const char *) = nullptr;
  const char *(*fake_last_url)(void) = nullptr;
};

// The plug-in beside the running executable, else the installed one by name.
std::string default_plugin_path();

// Loads the plug-in at path; on failure returns false with one line in error.
bool load_plugin(const std::string &path, Plugin &out, std::string &error);

}  // namespace vorn_cli

#endif  // VORN_TOOL_PLUGIN_H
