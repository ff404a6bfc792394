// The program end to end: the real window, the real fetch over libcurl, and real loopback servers
// (nginx with its fixed pages; the scripted server's /echo, which answers with the request it got).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/linux/main_window_qt.hpp"
#include "support/nginx_server.hpp"
#include "support/scripted_server.hpp"

namespace crawlerview::platform {
namespace {

using crawlerview::testing::NginxServer;
using crawlerview::testing::ScriptedServer;

class EndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        nginx = std::make_unique<NginxServer>();
        nginxStarted = nginx->start();
        scripted = std::make_unique<ScriptedServer>();
        scriptedStarted = scripted->start();
    }
    static void TearDownTestSuite() {
        scripted.reset();
        nginx.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(nginxStarted) << nginx->error();
        ASSERT_TRUE(scriptedStarted);
        window = std::make_unique<MainWindow>();  // fetches with fetchPage
        window->showCentred();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // Types the address, picks the identity and clicks 访问, as a user would. The click returns
    // once the visit has shown its result.
    void visit(const std::string& url, ControlName radio) {
        window->urlBox()->clear();
        QTest::keyClicks(window->urlBox(), QString::fromStdString(url));
        QTest::mouseClick(window->radio(radio), Qt::LeftButton);
        QTest::mouseClick(window->visitButton(), Qt::LeftButton);
    }
    Text shownBytes() const { return window->text(ControlName::编辑框2); }
    QString shown() const { return window->outputBox()->toPlainText(); }

    static inline std::unique_ptr<NginxServer> nginx;
    static inline std::unique_ptr<ScriptedServer> scripted;
    static inline bool nginxStarted = false, scriptedStarted = false;
    std::unique_ptr<MainWindow> window;
};

TEST_F(EndToEnd, PagesShowTheirChineseTextWhateverTheirEncoding) {
    struct PageCase {
        const char* name;
        const char* path;
        ControlName radio;
    };
    const PageCase cases[] = {
        {"GBK page as Baiduspider", crawlerview::testing::kGbkPage, ControlName::单选框1},
        {"UTF-8 page as Googlebot, re-decoded", crawlerview::testing::kUtf8Page,
         ControlName::单选框2},
        {"UTF-8 page as a plain visit", crawlerview::testing::kUtf8Page, ControlName::单选框5},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.name);
        visit(nginx->url(c.path), c.radio);
        EXPECT_NE(shownBytes().find(crawlerview::testing::kChineseTextGbk), Text::npos)
            << shownBytes();
        EXPECT_TRUE(shown().contains(QStringLiteral("中文网页"))) << shown().toStdString();
    }
    QDir().mkpath(CRAWLERVIEW_SCREENSHOTS);
    window->grab().save(QDir(CRAWLERVIEW_SCREENSHOTS).filePath("end-to-end-utf8.png"));
}

TEST_F(EndToEnd, AnErrorPageShowsItsBody) {
    window->setText(ControlName::编辑框2, "the previous page");
    visit(nginx->url(crawlerview::testing::kMissingPage), ControlName::单选框3);
    EXPECT_TRUE(shown().contains(QStringLiteral("404 Not Found"))) << shown().toStdString();
}

TEST_F(EndToEnd, AFailedFetchClearsTheBox) {
    window->setText(ControlName::编辑框2, "the previous page");
    // Nothing listens there once the probe's socket is closed.
    const std::uint16_t port = crawlerview::testing::freeLoopbackPort();
    visit("http://127.0.0.1:" + std::to_string(port) + "/", ControlName::单选框1);
    EXPECT_EQ(shownBytes(), "");
}

TEST_F(EndToEnd, TheServerReceivesTheChosenCrawlersUserAgent) {
    struct AgentCase {
        ControlName radio;
        const char* expectedLine;  // nullptr: no crawler's line at all
    };
    const AgentCase cases[] = {
        {ControlName::单选框1,
         "User-Agent: Mozilla/5.0 (compatible; Baiduspider/2.0; "
         "+http://www.baidu.com/search/spider.html)\r\n"},
        {ControlName::单选框2,
         "User-Agent: Mozilla/5.0 "
         "(compatible;+Googlebot/2.1;++http://www.google.com/bot.html)\r\n"},
        {ControlName::单选框3,
         "User-Agent: Mozilla/5.0 "
         "(compatible;+Sosospider;++http://help.soso.com/webspider.htm)\r\n"},
        {ControlName::单选框4,
         "User-Agent: Mozilla/5.0 "
         "(compatible;+Sosospider;++http://help.soso.com/webspider.htm)\r\n"},
        {ControlName::单选框5, nullptr},
    };
    for (const AgentCase& c : cases) {
        const std::u8string_view id = controlDesign(c.radio).identifier;
        SCOPED_TRACE(std::string(id.begin(), id.end()));
        visit(scripted->url("/echo"), c.radio);
        const Text request = shownBytes();  // the echo shows the request as the server got it
        ASSERT_TRUE(request.starts_with("GET /echo HTTP/1.1\r\n")) << request;
        if (c.expectedLine != nullptr) {
            EXPECT_NE(request.find(c.expectedLine), Text::npos) << request;
        }
        for (const char* crawler : {"Baiduspider", "Googlebot", "Sosospider"}) {
            const bool expected = c.expectedLine != nullptr &&
                                  std::string(c.expectedLine).find(crawler) != std::string::npos;
            EXPECT_EQ(request.find(crawler) != Text::npos, expected) << crawler;
        }
        // One agent only: the crawler's line replaces the program's own.
        EXPECT_EQ(request.find("User-Agent:"), request.rfind("User-Agent:")) << request;
    }
}

}  // namespace
}  // namespace crawlerview::platform
