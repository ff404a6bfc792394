#include "visit/visit_command.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace crawlerview {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kBaiduLine[] =
    "User-Agent: Mozilla/5.0 (compatible; Baiduspider/2.0; "
    "+http://www.baidu.com/search/spider.html)\r\n";
constexpr char kGoogleLine[] =
    "User-Agent: Mozilla/5.0 (compatible;+Googlebot/2.1;++http://www.google.com/bot.html)\r\n";
constexpr char kSosoLine[] =
    "User-Agent: Mozilla/5.0 (compatible;+Sosospider;++http://help.soso.com/webspider.htm)\r\n";

// "中文" in UTF-8 and in GBK.
constexpr std::string_view kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
constexpr std::string_view kChineseGbk = "\xD6\xD0\xCE\xC4";

constexpr ControlName kRadios[] = {ControlName::单选框1, ControlName::单选框2, ControlName::单选框3,
                                   ControlName::单选框4, ControlName::单选框5};

ByteBuffer bytesOf(std::string_view s) {
    return ByteBuffer(s.begin(), s.end());
}

std::string nameOf(ControlName name) {
    const std::u8string_view id = controlDesign(name).identifier;
    return std::string(id.begin(), id.end());
}

// Records every touch of the controls in order, and fails the test on any touch once closed.
class FakeWindow final : public MainWindowControls {
  public:
    std::map<ControlName, std::int32_t> checked;
    std::map<ControlName, Text> boxes;
    mutable std::vector<std::string> log;
    std::vector<Text> outputWrites;
    bool open = true;
    std::function<void()> onEvents;  // what processing the pending events does

    std::int32_t checkedState(ControlName radio) const override {
        touch("checked " + nameOf(radio));
        const auto it = checked.find(radio);
        return it == checked.end() ? 0 : it->second;
    }
    Text text(ControlName box) const override {
        touch("text " + nameOf(box));
        const auto it = boxes.find(box);
        return it == boxes.end() ? Text() : it->second;
    }
    void setText(ControlName box, const Text& value) override {
        touch("setText " + nameOf(box));
        boxes[box] = value;
        if (box == ControlName::编辑框2) {
            outputWrites.push_back(value);
        }
    }
    bool isOpen() const override { return open; }
    void processPendingEvents() override {
        touch("events");
        if (onEvents) {
            onEvents();
        }
    }

    void check(ControlName radio) {
        for (ControlName r : kRadios) {
            checked[r] = r == radio ? 1 : 0;
        }
    }
    // The touches after the radio buttons have been read.
    std::vector<std::string> visitLog() const {
        std::vector<std::string> rest;
        for (const auto& entry : log) {
            if (!entry.starts_with("checked ")) {
                rest.push_back(entry);
            }
        }
        return rest;
    }

  private:
    void touch(std::string what) const {
        if (!open) {
            ADD_FAILURE() << "touched a closed window: " << what;
        }
        log.push_back(std::move(what));
    }
};

// A fetch that records its requests and answers from a script.
struct FakeFetch {
    std::vector<FetchRequest> requests;
    std::vector<ByteBuffer> answers;                    // one per call; empty once they run out
    std::function<void(std::size_t call)> duringFetch;  // what happens while the fetch waits
    FakeWindow* window = nullptr;                       // logs the fetch among the touches

    PageFetch asPageFetch() {
        return [this](const FetchRequest& request) {
            const std::size_t call = requests.size();
            requests.push_back(request);
            if (window != nullptr) {
                window->log.push_back("fetch");
            }
            if (duringFetch) {
                duringFetch(call);
            }
            return call < answers.size() ? answers[call] : ByteBuffer();
        };
    }
};

struct RadioCase {
    ControlName checked;
    std::optional<Text> expectedLine;
};

TEST(VisitCommand, EachRadioButtonSendsItsCrawlerLineAndNothingElse) {
    const RadioCase cases[] = {
        {ControlName::单选框1, kBaiduLine},   {ControlName::单选框2, kGoogleLine},
        {ControlName::单选框3, kSosoLine},    {ControlName::单选框4, kSosoLine},
        {ControlName::单选框5, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(nameOf(c.checked));
        FakeWindow window;
        window.check(c.checked);
        // Typed exactly so: no trimming, no scheme added.
        window.boxes[ControlName::编辑框1] = "  127.0.0.1:8080/a b?x=\xD6\xD0 ";
        FakeFetch fetch;
        VisitCommand(window, fetch.asPageFetch());

        ASSERT_EQ(fetch.requests.size(), 1u);
        const FetchRequest& r = fetch.requests[0];
        EXPECT_EQ(r.url, "  127.0.0.1:8080/a b?x=\xD6\xD0 ");
        EXPECT_EQ(r.headerLines, c.expectedLine);
        EXPECT_FALSE(r.method.has_value());
        EXPECT_FALSE(r.proxy.has_value());
        EXPECT_FALSE(r.userName.has_value());
        EXPECT_FALSE(r.password.has_value());
        EXPECT_FALSE(r.postData.has_value());
        EXPECT_FALSE(r.timeoutSeconds.has_value());
        EXPECT_EQ(r.responseHeaders, nullptr);
    }
}

TEST(VisitCommand, RadioButtonsAreTestedInOrderAndEachIndependently) {
    // The real window never checks two at once; the fake does, to show each test stands alone.
    FakeWindow window;
    for (ControlName r : kRadios) {
        window.checked[r] = 1;
    }
    FakeFetch fetch;
    VisitCommand(window, fetch.asPageFetch());
    ASSERT_EQ(fetch.requests.size(), 4u);
    EXPECT_EQ(fetch.requests[0].headerLines, Text(kBaiduLine));
    EXPECT_EQ(fetch.requests[1].headerLines, Text(kGoogleLine));
    EXPECT_EQ(fetch.requests[2].headerLines, Text(kSosoLine));  // 3 and 4 share one visit
    EXPECT_FALSE(fetch.requests[3].headerLines.has_value());

    FakeWindow none;
    FakeFetch noFetch;
    VisitCommand(none, noFetch.asPageFetch());
    EXPECT_THAT(noFetch.requests, IsEmpty());
    EXPECT_THAT(none.outputWrites, IsEmpty());
}

TEST(VisitCommand, ChoosingAnotherCrawlerDuringTheFetchStartsNoSecondVisit) {
    FakeWindow window;
    window.check(ControlName::单选框1);
    FakeFetch fetch;
    fetch.duringFetch = [&](std::size_t) { window.check(ControlName::单选框2); };
    VisitCommand(window, fetch.asPageFetch());
    ASSERT_EQ(fetch.requests.size(), 1u);
    EXPECT_EQ(fetch.requests[0].headerLines, Text(kBaiduLine));
}

struct BodyCase {
    const char* name;
    std::string body;
    Text firstShown;  // written straight after the fetch
    Text finalShown;  // what the box holds at the end
};

TEST(VisitCommand, ShowsTheBodyAndRedecodesOnlyWhatDeclaresUtf8) {
    using namespace std::string_literals;
    const std::string u8 = std::string(kChineseUtf8);
    const std::string gbk = std::string(kChineseGbk);
    const BodyCase cases[] = {
        {"lower-case declaration", "<meta charset=utf-8>" + u8, "<meta charset=utf-8>" + u8,
         "<meta charset=utf-8>" + gbk},
        {"upper-case only", "<p>UTF-8</p>" + u8, "<p>UTF-8</p>" + u8, "<p>UTF-8</p>" + gbk},
        {"declaration in ordinary content, after the text", u8 + " saved as utf-8",
         u8 + " saved as utf-8", gbk + " saved as utf-8"},
        {"capital U with lower case", "charset=Utf-8 " + u8, "charset=Utf-8 " + u8,
         "charset=Utf-8 " + u8},
        {"name without hyphen", "charset=utf8 " + u8, "charset=utf8 " + u8, "charset=utf8 " + u8},
        {"mixed case", "charset=uTf-8 " + u8, "charset=uTf-8 " + u8, "charset=uTf-8 " + u8},
        {"local page left alone", "charset=gbk " + gbk, "charset=gbk " + gbk, "charset=gbk " + gbk},
        // A local page that merely mentions the name is re-decoded as well, garbling its Chinese:
        // each invalid UTF-8 byte becomes a replacement character, which GBK lacks.
        {"local page mentioning utf-8", gbk + " utf-8", gbk + " utf-8", "???? utf-8"},
        {"error page shown like any other",
         "<html><head><title>404 Not Found</title></head><body>404</body></html>",
         "<html><head><title>404 Not Found</title></head><body>404</body></html>",
         "<html><head><title>404 Not Found</title></head><body>404</body></html>"},
        {"failed fetch clears the box", "", "", ""},
        // Only the part before a zero byte is shown, searched and decoded.
        {"zero byte hides a later declaration", "abc" + u8 + "\0 utf-8"s, "abc" + u8, "abc" + u8},
        {"zero byte ends what is decoded", "utf-8 " + u8 + "\0"s + u8, "utf-8 " + u8,
         "utf-8 " + gbk},
        {"zero byte first", "\0utf-8"s, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        window.check(ControlName::单选框5);
        window.boxes[ControlName::编辑框2] = "last visit's page";
        FakeFetch fetch;
        fetch.answers = {bytesOf(c.body)};
        VisitCommand(window, fetch.asPageFetch());
        ASSERT_FALSE(window.outputWrites.empty());
        EXPECT_EQ(window.outputWrites.front(), c.firstShown);
        EXPECT_EQ(window.boxes[ControlName::编辑框2], c.finalShown);
        EXPECT_EQ(window.outputWrites.size(), c.firstShown == c.finalShown ? 1u : 2u);
    }
}

TEST(VisitCommand, StepsOfOneVisitInOrder) {
    struct StepCase {
        const char* name;
        std::string body;
        std::vector<std::string> expected;
    };
    const StepCase cases[] = {
        {"no declaration: two searches, each reading the box",
         "plain",
         {"text 编辑框1", "fetch", "setText 编辑框2", "events", "text 编辑框2", "text 编辑框2"}},
        {"lower case found by the first search",
         "utf-8",
         {"text 编辑框1", "fetch", "setText 编辑框2", "events", "text 编辑框2", "text 编辑框2",
          "setText 编辑框2"}},
        {"upper case found by the second search",
         "UTF-8",
         {"text 编辑框1", "fetch", "setText 编辑框2", "events", "text 编辑框2", "text 编辑框2",
          "text 编辑框2", "setText 编辑框2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        window.check(ControlName::单选框2);
        FakeFetch fetch;
        fetch.window = &window;
        fetch.answers = {bytesOf(c.body)};
        VisitCommand(window, fetch.asPageFetch());
        EXPECT_EQ(window.visitLog(), c.expected);
    }
}

TEST(VisitCommand, ChecksAndDecodesWhatTheBoxHoldsAfterTheEvents) {
    // Events run between showing the body and the check (the user may type into the box while it
    // repaints): the check and the decoding work on the box as it is then, read afresh.
    struct EditCase {
        const char* name;
        Text typedDuringEvents;
        Text expected;
    };
    const EditCase cases[] = {
        {"declaration typed in", "UTF-8 " + std::string(kChineseUtf8),
         "UTF-8 " + std::string(kChineseGbk)},
        {"declaration removed", std::string(kChineseUtf8), std::string(kChineseUtf8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        window.check(ControlName::单选框1);
        window.onEvents = [&] { window.boxes[ControlName::编辑框2] = c.typedDuringEvents; };
        FakeFetch fetch;
        fetch.answers = {bytesOf("utf-8 page")};
        VisitCommand(window, fetch.asPageFetch());
        EXPECT_EQ(window.boxes[ControlName::编辑框2], c.expected);
    }
}

TEST(VisitCommand, SecondClickDuringTheFetchRunsANestedVisitWhoseResultIsOverwritten) {
    FakeWindow window;
    window.check(ControlName::单选框1);
    window.boxes[ControlName::编辑框1] = "http://outer/";
    FakeFetch fetch;
    const PageFetch pageFetch = fetch.asPageFetch();
    fetch.duringFetch = [&](std::size_t call) {
        if (call == 0) {  // the outer fetch waits: the user picks Google, edits the URL, clicks
            window.check(ControlName::单选框2);
            window.boxes[ControlName::编辑框1] = "http://inner/";
            VisitCommand(window, pageFetch);
        }
    };
    fetch.answers = {bytesOf("outer page utf-8 " + std::string(kChineseUtf8)),
                     bytesOf("inner page")};
    VisitCommand(window, pageFetch);

    ASSERT_EQ(fetch.requests.size(), 2u);
    EXPECT_EQ(fetch.requests[0].url, "http://outer/");
    EXPECT_EQ(fetch.requests[0].headerLines, Text(kBaiduLine));
    EXPECT_EQ(fetch.requests[1].url, "http://inner/");
    EXPECT_EQ(fetch.requests[1].headerLines, Text(kGoogleLine));
    EXPECT_THAT(window.outputWrites,
                ElementsAre("inner page", "outer page utf-8 " + std::string(kChineseUtf8),
                            "outer page utf-8 " + std::string(kChineseGbk)));
}

TEST(VisitCommand, WindowClosedWhileWaitingIsNotTouchedAgain) {
    // FakeWindow fails the test on any touch after the close.
    struct CloseCase {
        const char* name;
        bool closeDuringFetch;
        bool closeDuringEvents;
        std::size_t expectedWrites;
    };
    const CloseCase cases[] = {
        {"closed during the fetch", true, false, 0},
        {"closed while the shown body repaints", false, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWindow window;
        window.check(ControlName::单选框3);
        window.onEvents = [&] { window.open = !c.closeDuringEvents; };
        FakeFetch fetch;
        fetch.duringFetch = [&](std::size_t) { window.open = !c.closeDuringFetch; };
        fetch.answers = {bytesOf("utf-8 page")};
        VisitCommand(window, fetch.asPageFetch());
        EXPECT_EQ(fetch.requests.size(), 1u);
        EXPECT_EQ(window.outputWrites.size(), c.expectedWrites);
    }
}

TEST(VisitCommand, WindowClosedDuringANestedVisitEndsBothQuietly) {
    FakeWindow window;
    window.check(ControlName::单选框4);
    FakeFetch fetch;
    const PageFetch pageFetch = fetch.asPageFetch();
    fetch.duringFetch = [&](std::size_t call) {
        if (call == 0) {
            VisitCommand(window, pageFetch);
        } else {
            window.open = false;
        }
    };
    VisitCommand(window, pageFetch);
    EXPECT_EQ(fetch.requests.size(), 2u);
    EXPECT_THAT(window.outputWrites, IsEmpty());
}

}  // namespace
}  // namespace crawlerview
