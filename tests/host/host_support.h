// host_support.h - settings and texts the host-interface tests share.
#ifndef VORN_HOST_SUPPORT_H
#define VORN_HOST_SUPPORT_H

#include <string>

#include "test_io.h"

namespace host_test {

const std::string kKey = "KEY-4242";
const std::string kSettings = vorn_test::settings_with_key(kKey);
const std::string kRoot =
    "[{\"name\":\"downloads\",\"path\":\"downloads\",\"folder\":true,\"size\":-1},"
    "{\"name\":\"torrents\",\"path\":\"torrents\",\"folder\":true,\"size\":-1}]";
const std::string kBase = "https://api.real-debrid.com/rest/1.0";

}  // namespace host_test

#endif  // VORN_HOST_SUPPORT_H
