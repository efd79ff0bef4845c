// output.cpp - human rendering of listings and objects.
#include "output.h"

#include <yyjson.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace vorn_cli {

namespace {

using Doc = std::unique_ptr<yyjson_doc, void (*)(yyjson_doc *)>;

Doc read_json(const std::string &text) {
  return Doc(yyjson_read(text.data(), text.size(), 0), yyjson_doc_free);
}

std::string compact(yyjson_val *v) {
  size_t len = 0;
  char *text = yyjson_val_write(v, 0, &len);
  if (!text) return std::string();
  std::string out(text, len);
  std::free(text);
  return out;
}

std::string member_text(yyjson_val *obj, const char *key) {
  yyjson_val *v = yyjson_obj_get(obj, key);
  if (yyjson_is_str(v)) return std::string(yyjson_get_str(v), yyjson_get_len(v));
  return std::string();
}

int64_t member_int(yyjson_val *obj, const char *key, int64_t fallback) {
  yyjson_val *v = yyjson_obj_get(obj, key);
  return yyjson_is_int(v) ? yyjson_get_sint(v) : fallback;
}

// Display width: code points, since names are UTF-8 and every continuation
// byte would otherwise widen the column.
size_t width(const std::string &s) {
  size_t w = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++w;
  return w;
}

void pad(std::string &line, const std::string &cell, size_t to, bool right) {
  size_t w = width(cell);
  std::string fill(to > w ? to - w : 0, ' ');
  line += right ? fill + cell : cell + fill;
}

void print_table(yyjson_val *arr) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"TYPE", "SIZE", "NAME", "PATH"});
  size_t idx, max;
  yyjson_val *e;
  yyjson_arr_foreach(arr, idx, max, e) {
    if (!yyjson_is_obj(e)) continue;
    bool folder = yyjson_is_true(yyjson_obj_get(e, "folder"));
    std::string target = folder ? member_text(e, "path") : member_text(e, "locator");
    rows.push_back({folder ? "dir" : "file", folder ? "-" : human_size(member_int(e, "size", -1)),
                    printable(member_text(e, "name")), target.empty() ? "-" : printable(target)});
  }
  size_t widths[4] = {0, 0, 0, 0};
  for (const auto &r : rows)
    for (size_t c = 0; c < 4; ++c) widths[c] = std::max(widths[c], width(r[c]));
  for (const auto &r : rows) {
    std::string line;
    pad(line, r[0], widths[0], false);
    line += "  ";
    pad(line, r[1], widths[1], true);
    line += "  ";
    pad(line, r[2], widths[2], false);
    line += "  " + r[3];
    std::printf("%s\n", line.c_str());
  }
  size_t n = rows.size() - 1;
  std::printf("%zu %s\n", n, n == 1 ? "entry" : "entries");
}

bool is_size_key(const char *key) { return std::strcmp(key, "size") == 0 || std::strcmp(key, "InstantSize") == 0; }

void print_object(yyjson_val *obj) {
  size_t idx, max;
  yyjson_val *k, *v;
  yyjson_obj_foreach(obj, idx, max, k, v) {
    const char *key = yyjson_get_str(k);
    std::string value;
    if (yyjson_is_str(v)) {
      value = std::string(yyjson_get_str(v), yyjson_get_len(v));
    } else if (yyjson_is_int(v) && is_size_key(key)) {
      int64_t n = yyjson_get_sint(v);
      value = std::to_string(n) + (n < 0 ? " (unknown)" : " (" + human_size(n) + ")");
    } else {
      value = compact(v);
    }
    std::printf("%s: %s\n", printable(key).c_str(), printable(value).c_str());
  }
}

}  // namespace

std::string human_size(int64_t bytes) {
  if (bytes < 0) return "-";
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static const char *const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double v = static_cast<double>(bytes) / 1024.0;
  size_t u = 0;
  while (v >= 1024.0 && u + 1 < sizeof units / sizeof units[0]) {
    v /= 1024.0;
    ++u;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f %s", v, units[u]);
  return buf;
}

std::string printable(const std::string &text) {
  std::string out = text;
  for (char &c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return out;
}

void print_human(const std::string &json) {
  Doc doc = read_json(json);
  yyjson_val *root = doc ? yyjson_doc_get_root(doc.get()) : nullptr;
  if (yyjson_is_arr(root)) {
    print_table(root);
  } else if (yyjson_is_obj(root)) {
    print_object(root);
  } else {
    std::printf("%s\n", printable(json).c_str());
  }
}

}  // namespace vorn_cli
