// crawlerview_request_probe BASE-URL: sends the same set of requests through whichever HTTP
// back-end it is built with (libcurl on Linux, WinINet on Windows), so that what arrives at the
// recording server can be compared side by side. The crawler identities go through the Visit
// command itself, with a window stand-in whose radio buttons choose them; the POST and the proxy
// request go through fetchPage. Prints one line per request and exits 0 when each direct request got a reply.
#include <cstdio>
#include <string>

#include "fetch/fetch_page.hpp"
#include "platform/event_loop.hpp"
#include "visit/visit_command.hpp"

namespace {

using namespace crawlerview;

// The window as the Visit command sees it: one radio button checked, the URL typed.
class ProbeWindow final : public MainWindowControls {
  public:
    ProbeWindow(ControlName choice, Text url) : choice_(choice), url_(std::move(url)) {}
    std::int32_t checkedState(ControlName radio) const override { return radio == choice_; }
    Text text(ControlName box) const override {
        return box == ControlName::编辑框1 ? url_ : shown_;
    }
    void setText(ControlName, const Text& text) override { shown_ = text; }
    bool isOpen() const override { return true; }
    void processPendingEvents() override { platform::processPendingEvents(); }
    const Text& shown() const { return shown_; }

  private:
    ControlName choice_;
    Text url_;
    Text shown_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: crawlerview_request_probe http://127.0.0.1:PORT\n");
        return 2;
    }
    const std::string base = argv[1];
    int failures = 0;
    const struct {
        const char* name;
        ControlName choice;
    } identities[] = {
        {"baidu", ControlName::单选框1}, {"google", ControlName::单选框2},
        {"yahoo", ControlName::单选框3}, {"soso", ControlName::单选框4},
        {"plain", ControlName::单选框5},
    };
    for (const auto& identity : identities) {
        ProbeWindow window(identity.choice, base + "/echo?visit=" + identity.name);
        VisitCommand(window);
        const bool ok = !window.shown().empty();
        std::printf("%s visit: %s\n", identity.name, ok ? "reply" : "NO REPLY");
        failures += ok ? 0 : 1;
    }

    FetchRequest post;
    post.url = base + "/echo?post";
    post.method = "POST";
    post.postData = "q=%D6%A9%D6%EB&page=2";
    const bool posted = !fetchPage(post).empty();
    std::printf("post: %s\n", posted ? "reply" : "NO REPLY");

    // The recording server stands in for the proxy: the request line then carries the full URL,
    // which names no script of the server's, so only the recording counts here.
    FetchRequest proxied;
    proxied.url = "http://crawlerview.invalid/echo?proxied";
    proxied.proxy = base.substr(base.find("//") + 2);
    fetchPage(proxied);
    std::printf("proxy: sent\n");
    failures += posted ? 0 : 1;
    return failures == 0 ? 0 : 1;
}
