// Placeholder until the libcurl jar lands.
#include "platform/cookie_jar.hpp"

namespace crawlerview::platform {
namespace {
struct NoStore final : CookieStore {
    void setCookie(const Text&, const Text&, const Text&) override {}
};
}  // namespace
CookieStore& systemCookieStore() {
    static NoStore store;
    return store;
}
}  // namespace crawlerview::platform
