#include "fetch/request_headers.hpp"

#include <string>

namespace crawlerview {
namespace {

constexpr char kDefaultAccept[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";

bool holds(const Text& headers, const Text& name) {
    return findText(headers, name, 1, CaseMode::IgnoreAscii) != kNotFound;
}

}  // namespace

Text completeHeaders(const Text& headers, const Text& url, const Text& body) {
    Text out = headers;
    if (!holds(out, "Accept: ")) {
        out += kDefaultAccept;
    }
    if (!holds(out, "Referer: ")) {
        out += "Referer: " + url + "\r\n";
    }
    if (!holds(out, "Accept-Language: ")) {
        out += "Accept-Language: zh-cn\r\n";
    }
    if (!body.empty()) {
        if (!holds(out, "Content-Type: ")) {
            out += "Content-Type: application/x-www-form-urlencoded\r\n";
        }
        out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    return out;
}

}  // namespace crawlerview
