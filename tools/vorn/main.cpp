// main.cpp - the vorn command-line host: loads the plug-in, hands it an
// HTTPS transport and runs one command against the account.
#include <curl/curl.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "curl_io.h"
#include "demo.h"
#include "host.h"
#include "plugin.h"

#ifndef VORN_TOOL_VERSION
#define VORN_TOOL_VERSION "0"
#endif

namespace vorn_cli {
namespace {

// One mebibyte and a byte: enough for the plug-in to see that a larger file is too large.
constexpr size_t kSettingsReadLimit = 1024 * 1024 + 1;

struct Options {
  std::string plugin;
  std::string settings_file;
  std::string api_key;
  std::string host;
  std::string cacert;
  long timeout = 60;
  bool json = false;
  bool verbose = false;

  std::string folder;
  std::string entry;
  std::string link;
  bool full_season = false;
  int season = 0;
  int episode = 0;
  bool keep_instant_only = false;
  bool yes = false;
};

// A one-line complaint about the tool's own input; the exit status is that of VORN_E_INVALID.
struct InputError {
  std::string text;
};

std::string read_settings_file(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    throw InputError{"cannot read the settings file " + path + ": it is a directory"};
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) throw InputError{"cannot read the settings file " + path + ": " + std::strerror(errno)};
  std::string text(kSettingsReadLimit, '\0');
  size_t n = std::fread(&text[0], 1, text.size(), f);
  bool failed = std::ferror(f) != 0;
  int err = errno;
  std::fclose(f);
  if (failed) throw InputError{"cannot read the settings file " + path + ": " + std::strerror(err)};
  text.resize(n);
  return text;
}

// Puts "key":value first in a settings object. The plug-in takes the first
// member of a name, so the command line wins over the file.
std::string with_member(const std::string &settings, const char *key, const std::string &value) {
  size_t open = settings.find_first_not_of(" \t\r\n");
  if (open == std::string::npos || settings[open] != '{') return settings;  // the plug-in rejects it
  size_t next = settings.find_first_not_of(" \t\r\n", open + 1);
  bool empty = next != std::string::npos && settings[next] == '}';
  std::string member = json_quote(key) + ":" + json_quote(value) + (empty ? "" : ",");
  return settings.substr(0, open + 1) + member + settings.substr(open + 1);
}

std::string build_settings(const Options &o, bool key_given, bool host_given) {
  std::string settings;
  if (!o.settings_file.empty()) {
    settings = read_settings_file(o.settings_file);
    if (key_given) settings = with_member(settings, "APIKey", o.api_key);
  } else {
    std::string key = o.api_key;
    if (!key_given) {
      const char *env = std::getenv("VORN_API_KEY");
      if (!env || !*env)
        throw InputError{"no account key: pass --api-key KEY, set VORN_API_KEY, or pass --settings FILE"};
      key = env;
    }
    settings = "{\"APIKey\":" + json_quote(key) + "}";
  }
  if (host_given) settings = with_member(settings, "Host", o.host);
  return settings;
}

// An entry as "ls --json" prints it goes through unchanged (the plug-in judges
// it); a bare link is wrapped into an entry.
std::string entry_argument(const std::string &arg) {
  size_t first = arg.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && (arg[first] == '{' || arg[first] == '[' || arg[first] == '"')) return arg;
  if (arg.find("://") != std::string::npos) return "{\"link\":" + json_quote(arg) + "}";
  throw InputError{"ENTRY is neither a JSON entry (as vorn ls --json prints it) nor a link"};
}

std::string download_config(const Options &o, bool season_given, bool episode_given) {
  std::string c = "{\"Link\":" + json_quote(o.link);
  if (o.full_season) c += ",\"FullSeason\":true";
  if (season_given) c += ",\"Season\":" + std::to_string(o.season);
  if (episode_given) c += ",\"Episode\":" + std::to_string(o.episode);
  if (o.keep_instant_only) c += ",\"KeepInstantOnly\":true";
  return c + "}";
}

struct CurlGlobal {
  CurlGlobal() { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }
  ~CurlGlobal() {
    if (ok) curl_global_cleanup();
  }
  bool ok = false;
};

int run_add(const Plugin &p, const vorn_io *io, const std::string &settings, const Options &o, bool season_given,
            bool episode_given) {
  std::string config = download_config(o, season_given, episode_given);
  if (o.yes) p.allow_writes(1);
  Outcome r = call_plugin(p, [&](char *d, int32_t n) { return p.table->download(io, settings.c_str(), config.c_str(), d, n); });
  p.allow_writes(0);
  if (r.code == VORN_E_WRITES_DISABLED) {
    print_error(code_name(r.code), "add puts a new transfer on the account; run it again with --yes to allow that");
    return kExitRefused;
  }
  if (r.code == VORN_E_NOT_FOUND && !r.answer.empty()) {
    // Not ready at once: the plug-in still names the transfer's largest file.
    Outcome fallback = r;
    fallback.code = VORN_OK;
    report(fallback, o.json);
  }
  return report(r, o.json);
}

int run(int argc, char **argv) {
  Options o;
  CLI::App app{"vorn: browse a Real-Debrid account through the vorn plug-in, as a media player would.", "vorn"};
  app.set_version_flag("--version", std::string("vorn ") + VORN_TOOL_VERSION);
  app.add_option("--plugin", o.plugin, "Plug-in to load (default: libvorn.so beside this program, else the installed one)");
  app.add_option("--settings", o.settings_file, "Account settings: the JSON file a host passes");
  CLI::Option *key_opt = app.add_option("--api-key", o.api_key, "Account API key (default: $VORN_API_KEY)");
  CLI::Option *host_opt = app.add_option("--host", o.host, "Service host name, with a port if needed");
  app.add_option("--cacert", o.cacert, "Extra CA certificate (PEM) to trust besides the system's")
      ->check(CLI::ExistingFile);
  app.add_option("--timeout", o.timeout, "Most seconds one request may take (default 60)")
      ->check(CLI::Range(1, 3600));
  app.add_flag("--json", o.json, "Print the plug-in's JSON answer untouched");
  app.add_flag("-v,--verbose", o.verbose, "Print each request, its URL redacted, on standard error");
  // A later --plugin, --settings, --api-key, ... replaces an earlier one, so a
  // wrapper script can give defaults that the command line overrides.
  for (CLI::Option *opt : app.get_options())
    if (opt->get_expected_max() == 1) opt->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.require_subcommand(1);
  app.fallthrough();

  CLI::App *validate = app.add_subcommand("validate", "Check the settings and describe the account");
  CLI::App *ls = app.add_subcommand("ls", "List a folder: the root (default), torrents, downloads or t<id>");
  ls->add_option("FOLDER", o.folder, "Folder to list");
  CLI::App *stream = app.add_subcommand("stream", "Turn an entry into a direct download URL");
  stream->add_option("ENTRY", o.entry, "An entry as 'vorn ls --json' prints it, or a bare link")->required();
  CLI::App *add = app.add_subcommand("add", "Add a magnet link or torrent URL to the account (needs --yes)");
  add->add_option("LINK", o.link, "Magnet link, or an http(s) URL answering with one or with a torrent file")
      ->required();
  add->add_flag("--full-season", o.full_season, "The link is a season pack: pick one episode");
  CLI::Option *season_opt = add->add_option("--season", o.season, "Wanted season number");
  CLI::Option *episode_opt = add->add_option("--episode", o.episode, "Wanted episode number");
  add->add_flag("--keep-instant-only", o.keep_instant_only, "Remove the transfer again unless it is ready at once");
  add->add_flag("--yes", o.yes, "Allow the change to the account");
  CLI::App *demo = app.add_subcommand("demo", "Tour every operation on a scripted account (no key, no network)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForVersion &e) {
    std::printf("%s\n", e.what());
    return kExitOk;
  } catch (const CLI::ParseError &e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help
    std::vector<std::string> rest = app.remaining();
    bool unknown_command = app.get_subcommands().empty() && !rest.empty() && rest[0][0] != '-';
    print_error("usage", (unknown_command ? "unknown command: " + rest[0] : std::string(e.what())) +
                             " (see vorn --help)");
    return kExitUsage;
  }

  Plugin p;
  std::string why;
  if (!load_plugin(o.plugin.empty() ? default_plugin_path() : o.plugin, p, why)) {
    print_error("plugin", why);
    return kExitFailed;
  }
  if (demo->parsed()) return run_demo(p, o.json, o.verbose);

  std::string settings;
  std::string entry;
  try {
    settings = build_settings(o, key_opt->count() > 0, host_opt->count() > 0);
    if (stream->parsed()) entry = entry_argument(o.entry);
  } catch (const InputError &e) {
    print_error(code_name(VORN_E_INVALID), e.text);
    return kExitUsage;
  }

  CurlGlobal global;
  if (!global.ok) {
    print_error(code_name(VORN_E_TRANSPORT), "libcurl could not be initialised");
    return kExitRetry;
  }
  CurlSettings cs;
  cs.cacert = o.cacert;
  cs.total_timeout_s = o.timeout;
  cs.verbose = o.verbose;
  cs.redact = p.redact;
  CurlTransport transport(cs);
  const vorn_io *io = transport.io();
  const char *s = settings.c_str();

  if (validate->parsed())
    return report(call_plugin(p, [&](char *d, int32_t n) { return p.table->validate(io, s, d, n); }), o.json);
  if (ls->parsed())
    return report(call_plugin(p, [&](char *d, int32_t n) { return p.table->list(io, s, o.folder.c_str(), d, n); }),
                  o.json);
  if (stream->parsed())
    return report(
        call_plugin(p, [&](char *d, int32_t n) { return p.table->stream_url(io, s, entry.c_str(), d, n); }), o.json);
  return run_add(p, io, settings, o, season_opt->count() > 0, episode_opt->count() > 0);
}

}  // namespace
}  // namespace vorn_cli

int main(int argc, char **argv) {
  try {
    return vorn_cli::run(argc, argv);
  } catch (const std::exception &e) {
    vorn_cli::print_error("error", e.what());
  } catch (...) {
    vorn_cli::print_error("error", "unexpected failure");
  }
  return vorn_cli::kExitFailed;
}
