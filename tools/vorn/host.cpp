// host.cpp - calling the plug-in and reporting outcomes.
#include "host.h"

#include <cstdio>
#include <vector>

#include "output.h"

namespace vorn_cli {

namespace {
constexpr int32_t kAreaSize = 256 * 1024;
}

Outcome call_plugin(const Plugin &p, const std::function<int32_t(char *, int32_t)> &op) {
  std::vector<char> area(kAreaSize, '\0');
  Outcome o;
  o.code = op(area.data(), kAreaSize);
  if (o.code == VORN_OK) {
    o.answer = area.data();
    return o;
  }
  std::string published = p.result_json();
  if (o.code == VORN_E_BUFFER_TOO_SMALL && !published.empty()) {
    // Only a success is reported this way; the whole answer was published.
    o.code = VORN_OK;
    o.answer = published;
    return o;
  }
  o.answer = published;
  o.error = p.last_error();
  return o;
}

const char *code_name(int32_t code) {
  switch (code) {
    case VORN_OK: return "VORN_OK";
    case VORN_E_AUTH: return "VORN_E_AUTH";
    case VORN_E_NOT_FOUND: return "VORN_E_NOT_FOUND";
    case VORN_E_RATE_LIMITED: return "VORN_E_RATE_LIMITED";
    case VORN_E_TRANSPORT: return "VORN_E_TRANSPORT";
    case VORN_E_FAILED: return "VORN_E_FAILED";
    case VORN_E_UNSUPPORTED: return "VORN_E_UNSUPPORTED";
    case VORN_E_WRITES_DISABLED: return "VORN_E_WRITES_DISABLED";
    case VORN_E_INVALID: return "VORN_E_INVALID";
    case VORN_E_BUFFER_TOO_SMALL: return "VORN_E_BUFFER_TOO_SMALL";
    default: return "VORN_E_UNKNOWN";
  }
}

int exit_status(int32_t code) {
  switch (code) {
    case VORN_OK: return kExitOk;
    case VORN_E_INVALID: return kExitUsage;
    case VORN_E_AUTH: return kExitAuth;
    case VORN_E_NOT_FOUND: return kExitNotFound;
    case VORN_E_RATE_LIMITED:
    case VORN_E_TRANSPORT: return kExitRetry;
    case VORN_E_WRITES_DISABLED: return kExitRefused;
    default: return kExitFailed;
  }
}

void print_error(const char *name, const std::string &text) {
  std::fflush(stdout);
  std::fprintf(stderr, "vorn: %s: %s\n", name, printable(text.empty() ? "(no message)" : text).c_str());
}

int report(const Outcome &o, bool json) {
  if (o.code != VORN_OK) {
    print_error(code_name(o.code), o.error);
    return exit_status(o.code);
  }
  if (json) {
    std::printf("%s\n", o.answer.c_str());
  } else {
    print_human(o.answer);
  }
  return kExitOk;
}

std::string json_quote(const std::string &text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string percent_encode(const std::string &text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '.' || c == '_' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

}  // namespace vorn_cli
