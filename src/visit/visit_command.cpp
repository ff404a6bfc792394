// The Visit button's command. Each radio button maps to one crawler identity; the chosen identity's
// User-Agent line travels as an extra request header, which replaces the worker's own agent string.
#include "visit/visit_command.hpp"

#include <array>
#include <optional>

#include "text/utf8_to_local.hpp"

namespace crawlerview {
namespace {

// Each address is the search engine's own published page about its crawler, as the real crawlers
// announce it. Google's and SOSO's lines separate with plus signs where Baidu's has a blank.
constexpr char kBaiduLine[] =
    "User-Agent: Mozilla/5.0 (compatible; Baiduspider/2.0; "
    "+http://www.baidu.com/search/spider.html)\r\n";
constexpr char kGoogleLine[] =
    "User-Agent: Mozilla/5.0 (compatible;+Googlebot/2.1;++http://www.google.com/bot.html)\r\n";
constexpr char kSosoLine[] =
    "User-Agent: Mozilla/5.0 (compatible;+Sosospider;++http://help.soso.com/webspider.htm)\r\n";

// The window's content can change under us at every point where events are dispatched (the fetch
// and the repaint), and a closed window must not be touched, so nothing is cached across them.
void visitOnce(MainWindowControls& window, const PageFetch& fetch, const char* crawlerLine) {
    FetchRequest request;
    request.url = window.text(ControlName::编辑框1);
    if (crawlerLine != nullptr) {
        request.headerLines = Text(crawlerLine);
    }
    const ByteBuffer body = fetch(request);
    if (!window.isOpen()) {
        return;
    }
    window.setText(ControlName::编辑框2, toText(body));
    window.processPendingEvents();
    if (!window.isOpen()) {
        return;
    }
    if (findText(window.text(ControlName::编辑框2), "utf-8") == kNotFound &&
        findText(window.text(ControlName::编辑框2), "UTF-8") == kNotFound) {
        return;
    }
    const ByteBuffer shown = toByteBuffer(window.text(ControlName::编辑框2));
    window.setText(ControlName::编辑框2, utf8ToLocal(shown));
}

}  // namespace

void VisitCommand(MainWindowControls& window, const PageFetch& fetch) {
    // The choice is taken as it stands at the click. The user may pick another radio button while
    // the fetch is pending; that must not start a second, unasked-for visit when this one returns.
    const auto checked = [&window](ControlName radio) { return window.checkedState(radio) == 1; };
    const std::array<bool, 5> choice{checked(ControlName::单选框1), checked(ControlName::单选框2),
                                     checked(ControlName::单选框3), checked(ControlName::单选框4),
                                     checked(ControlName::单选框5)};
    if (choice[0] && window.isOpen()) {
        visitOnce(window, fetch, kBaiduLine);
    }
    if (choice[1] && window.isOpen()) {
        visitOnce(window, fetch, kGoogleLine);
    }
    if ((choice[2] || choice[3]) && window.isOpen()) {
        visitOnce(window, fetch, kSosoLine);
    }
    if (choice[4] && window.isOpen()) {
        visitOnce(window, fetch, nullptr);
    }
}

void VisitCommand(MainWindowControls& window) {
    VisitCommand(window, [](const FetchRequest& request) { return fetchPage(request); });
}

}  // namespace crawlerview
