// host.h - what every command shares: calling a plug-in operation, naming
// result codes, mapping them to exit statuses, and reporting the outcome.
#ifndef VORN_TOOL_HOST_H
#define VORN_TOOL_HOST_H

#include <cstdint>
#include <functional>
#include <string>

#include "plugin.h"

namespace vorn_cli {

// Exit statuses of the tool, by class of result code.
enum ExitStatus {
  kExitOk = 0,
  kExitUsage = 1,      // bad command line or input: VORN_E_INVALID and the tool's own checks
  kExitAuth = 2,       // VORN_E_AUTH
  kExitNotFound = 3,   // VORN_E_NOT_FOUND
  kExitRetry = 4,      // VORN_E_RATE_LIMITED, VORN_E_TRANSPORT: worth trying again later
  kExitFailed = 5,     // VORN_E_FAILED, VORN_E_UNSUPPORTED, VORN_E_BUFFER_TOO_SMALL, a plug-in that does not load
  kExitRefused = 6,    // VORN_E_WRITES_DISABLED: add without --yes
};

struct Outcome {
  int32_t code = VORN_OK;
  std::string answer;  // the whole answer; after a failure, whatever the plug-in published
  std::string error;   // one line; empty after a success
};

// Runs one operation with an output area; an answer too large for the area
// is read back from the plug-in's published result.
Outcome call_plugin(const Plugin &p, const std::function<int32_t(char *, int32_t)> &op);

const char *code_name(int32_t code);
int exit_status(int32_t code);

// Prints the answer of a success (JSON as it is, or for people) and returns 0,
// or prints the one-line error and returns the exit status of its code.
int report(const Outcome &o, bool json);

// Prints "vorn: NAME: text" on standard error.
void print_error(const char *name, const std::string &text);

std::string json_quote(const std::string &text);
// Percent-encodes everything but letters, digits and "-._~", as query values are sent.
std::string percent_encode(const std::string &text);

}  // namespace vorn_cli

#endif  // VORN_TOOL_HOST_H
