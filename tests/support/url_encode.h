// url_encode.h - percent-encoding as request URLs carry their query values:
// unreserved bytes stay, every other byte becomes %XX (upper-case hex).
#ifndef VORN_TEST_URL_ENCODE_H
#define VORN_TEST_URL_ENCODE_H

#include <string>

namespace vorn_test {

inline std::string url_encode(const std::string &text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

}  // namespace vorn_test

#endif  // VORN_TEST_URL_ENCODE_H
