#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/linux/main_window_qt.hpp"

namespace crawlerview::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

QString fromUtf8(std::u8string_view s) {
    return QString::fromUtf8(reinterpret_cast<const char*>(s.data()),
                             static_cast<qsizetype>(s.size()));
}

std::string nameOf(const QWidget* w) {
    return w == nullptr ? "(none)" : w->objectName().toStdString();
}

ByteBuffer bytesOf(std::string_view s) {
    return ByteBuffer(s.begin(), s.end());
}

void saveScreenshot(QWidget& window, const char* name) {
    QDir().mkpath(CRAWLERVIEW_SCREENSHOTS);
    const QString path = QDir(CRAWLERVIEW_SCREENSHOTS).filePath(name);
    EXPECT_TRUE(window.grab().save(path)) << path.toStdString();
}

// The real window, shown and active, with a fetch that records its requests instead of fetching.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<MainWindow>([this](const FetchRequest& request) {
            requests.push_back(request);
            const std::size_t call = requests.size() - 1;
            if (duringFetch) {
                duringFetch(call);
            }
            return call < answers.size() ? answers[call] : ByteBuffer();
        });
        window->showCentred();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override { window.reset(); }

    QWidget* focused() const { return QApplication::focusWidget(); }
    void press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(target, key, modifiers);
    }
    void clickVisit() { QTest::mouseClick(window->visitButton(), Qt::LeftButton); }

    std::unique_ptr<MainWindow> window;
    std::vector<FetchRequest> requests;
    std::vector<ByteBuffer> answers;
    std::function<void(std::size_t call)> duringFetch;
};

TEST_F(WindowTest, StartsAsDesigned) {
    const WindowDesign& design = windowDesign();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("CrawlerView 蜘蛛视角"));
    EXPECT_EQ(window->frameGeometry().size(), QSize(design.outerWidth, design.outerHeight));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the user cannot resize it";
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Button));
    const QList<QSize> iconSizes = window->windowIcon().availableSizes();
    for (int side : {16, 32, 48}) {
        EXPECT_TRUE(iconSizes.contains(QSize(side, side))) << side;
    }

    ASSERT_EQ(design.controls.size(), 9u);
    for (const ControlDesign& c : design.controls) {
        SCOPED_TRACE(fromUtf8(c.identifier).toStdString());
        QWidget* w = window->control(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), QRect(c.left, c.top, c.width, c.height));
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->isEnabled());
        if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            EXPECT_EQ(radio->text(), fromUtf8(c.caption));
            EXPECT_EQ(radio->isChecked(), c.name == ControlName::单选框1);
            EXPECT_EQ(window->checkedState(c.name), c.name == ControlName::单选框1 ? 1 : 0);
            const QColor expected = c.name == ControlName::单选框5 ? QColor(255, 0, 0) : Qt::black;
            EXPECT_EQ(radio->palette().color(QPalette::WindowText), expected);
        }
    }
    EXPECT_EQ(window->visitButton()->text(), QStringLiteral("访   问"));
    EXPECT_FALSE(window->visitButton()->isDefault());
    EXPECT_FALSE(window->visitButton()->autoDefault());
    EXPECT_EQ(window->link()->text(), QStringLiteral("CrawlerView 使用说明"));
    EXPECT_EQ(focused(), window->urlBox());
    EXPECT_EQ(window->text(ControlName::编辑框1), "");
    EXPECT_EQ(window->text(ControlName::编辑框2), "");
    EXPECT_TRUE(window->urlBox()->text().isEmpty());
    EXPECT_TRUE(window->outputBox()->toPlainText().isEmpty());
    EXPECT_EQ(window->outputBox()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(window->outputBox()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(window->isOpen());
    saveScreenshot(*window, "start.png");
}

TEST_F(WindowTest, TabCyclesTheDesignOrderSkippingTheLink) {
    const std::vector<std::string> forward{"按钮1",   "编辑框2", "单选框1", "单选框2", "单选框3",
                                           "单选框4", "单选框5", "编辑框1", "按钮1"};
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < forward.size(); ++i) {
        press(focused(), Qt::Key_Tab);
        seen.push_back(nameOf(focused()));
    }
    EXPECT_THAT(seen, ElementsAreArray(forward));

    // Now on 按钮1: Shift+Tab walks back round the same ring.
    const std::vector<std::string> backward{"编辑框1", "单选框5", "单选框4", "单选框3", "单选框2",
                                            "单选框1", "编辑框2", "按钮1",   "编辑框1"};
    seen.clear();
    for (std::size_t i = 0; i < backward.size(); ++i) {
        press(focused(), Qt::Key_Tab, Qt::ShiftModifier);
        seen.push_back(nameOf(focused()));
    }
    EXPECT_THAT(seen, ElementsAreArray(backward));
}

TEST_F(WindowTest, EscClosesFromAnyControl) {
    for (ControlName name :
         {ControlName::编辑框1, ControlName::按钮1, ControlName::编辑框2, ControlName::单选框4}) {
        SCOPED_TRACE(fromUtf8(controlDesign(name).identifier).toStdString());
        SetUp();  // a fresh window for each row
        window->control(name)->setFocus();
        press(window->control(name), Qt::Key_Escape);
        EXPECT_FALSE(window->isOpen());
        EXPECT_FALSE(window->isVisible());
    }
}

TEST(RunMainWindow, EscEndsTheProgramWithExitCodeZero) {
    bool closedByEsc = false;
    QTimer::singleShot(0, [&closedByEsc] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* main = dynamic_cast<MainWindow*>(w); main != nullptr && main->isVisible()) {
                // Keys reach the active window only, as they do for a user.
                EXPECT_TRUE(QTest::qWaitForWindowActive(main));
                QTest::keyClick(main->urlBox(), Qt::Key_Escape);
                closedByEsc = !main->isOpen();
            }
        }
    });
    char name[] = "crawlerview";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(runMainWindow(1, argv), 0);
    EXPECT_TRUE(closedByEsc);
}

TEST_F(WindowTest, EnterPressesNothingAndBreaksTheLineOnlyInTheOutputBox) {
    window->setText(ControlName::编辑框1, "http://127.0.0.1/");
    for (ControlName name : {ControlName::编辑框1, ControlName::按钮1, ControlName::单选框2}) {
        SCOPED_TRACE(fromUtf8(controlDesign(name).identifier).toStdString());
        window->control(name)->setFocus();
        press(window->control(name), Qt::Key_Return);
        press(window->control(name), Qt::Key_Enter);
        EXPECT_EQ(focused(), window->control(name));
        EXPECT_TRUE(requests.empty()) << "Enter ran a visit";
    }
    EXPECT_EQ(window->text(ControlName::编辑框1), "http://127.0.0.1/");
    EXPECT_EQ(window->checkedState(ControlName::单选框1), 1);

    window->setText(ControlName::编辑框2, "ab");
    window->outputBox()->setFocus();
    window->outputBox()->moveCursor(QTextCursor::Start);
    window->outputBox()->moveCursor(QTextCursor::NextCharacter);
    press(window->outputBox(), Qt::Key_Return);
    EXPECT_EQ(focused(), window->outputBox());
    EXPECT_EQ(window->text(ControlName::编辑框2), "a\nb");
}

TEST_F(WindowTest, OneRadioButtonCheckedAtATime) {
    QTest::mouseClick(window->radio(ControlName::单选框3), Qt::LeftButton);
    auto checkedNames = [this] {
        std::vector<std::string> names;
        for (ControlName r : {ControlName::单选框1, ControlName::单选框2, ControlName::单选框3,
                              ControlName::单选框4, ControlName::单选框5}) {
            if (window->checkedState(r) == 1) {
                names.push_back(nameOf(window->control(r)));
            }
        }
        return names;
    };
    EXPECT_THAT(checkedNames(), ElementsAre("单选框3"));

    // The arrow keys move the check and the focus together, round the group.
    struct ArrowStep {
        Qt::Key key;
        const char* expected;
    };
    const ArrowStep steps[] = {
        {Qt::Key_Right, "单选框4"}, {Qt::Key_Down, "单选框5"}, {Qt::Key_Right, "单选框1"},
        {Qt::Key_Left, "单选框5"},  {Qt::Key_Up, "单选框4"},   {Qt::Key_Up, "单选框3"},
    };
    window->radio(ControlName::单选框3)->setFocus();
    for (const ArrowStep& step : steps) {
        SCOPED_TRACE(step.expected);
        press(focused(), step.key);
        EXPECT_THAT(checkedNames(), ElementsAre(step.expected));
        EXPECT_EQ(nameOf(focused()), step.expected);
    }
}

TEST_F(WindowTest, EditBoxesHoldLocalCodePageText) {
    struct TextCase {
        const char* name;
        Text bytes;
        QString shown;
    };
    const TextCase cases[] = {
        {"ASCII", "http://127.0.0.1:8080/index.html?q=1", "http://127.0.0.1:8080/index.html?q=1"},
        {"GBK Chinese", "\xD6\xD0\xCE\xC4\xCD\xF8\xD2\xB3", QStringLiteral("中文网页")},
        {"empty", "", ""},
        // Not valid GBK: shown as replacement characters, yet read back byte for byte.
        {"lone lead byte", "ab\x81", QStringLiteral("ab\uFFFD")},
        {"UTF-8 bytes", "\xE4\xB8\xAD", QString()},
    };
    for (ControlName box : {ControlName::编辑框1, ControlName::编辑框2}) {
        for (const TextCase& c : cases) {
            SCOPED_TRACE(fromUtf8(controlDesign(box).identifier).toStdString() + ": " + c.name);
            window->setText(box, c.bytes);
            EXPECT_EQ(window->text(box), c.bytes);
            const QString shown = box == ControlName::编辑框1 ? window->urlBox()->text()
                                                              : window->outputBox()->toPlainText();
            if (!c.shown.isNull()) {
                EXPECT_EQ(shown, c.shown);
            }
        }
    }

    // Once the user edits a box, it reads as what it shows, encoded.
    window->setText(ControlName::编辑框1, "\xD6\xD0");
    window->urlBox()->setFocus();
    window->urlBox()->end(false);
    // Typed as input-method text: a key event that carries the characters.
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("文x"));
    QApplication::sendEvent(window->urlBox(), &typed);
    EXPECT_EQ(window->text(ControlName::编辑框1), "\xD6\xD0\xCE\xC4x");

    window->setText(ControlName::编辑框2, "\xD6\xD0\r\n\x81");
    EXPECT_EQ(window->outputBox()->toPlainText(), QStringLiteral("中\n\uFFFD"));
    window->outputBox()->setFocus();
    window->outputBox()->moveCursor(QTextCursor::End);
    press(window->outputBox(), Qt::Key_Backspace);
    EXPECT_EQ(window->text(ControlName::编辑框2), "\xD6\xD0\n");
}

TEST_F(WindowTest, LinkColoursFollowPointerAndOpening) {
    HyperlinkLabel* link = window->link();
    std::vector<Text> opened;
    bool openSucceeds = false;
    link->setOpener([&](const Text& address) {
        opened.push_back(address);
        return openSucceeds;
    });
    auto colour = [link] { return link->palette().color(QPalette::WindowText); };
    auto hover = [link](bool on) {
        if (on) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), link->mapToGlobal(QPointF(5, 5)));
            QApplication::sendEvent(link, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(link, &leave);
        }
    };
    const QColor blue(0, 0, 255), grey(128, 128, 128), maroon(128, 0, 0);

    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(link->font().underline());
    EXPECT_TRUE(link->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(colour(), blue);
    hover(true);
    EXPECT_EQ(colour(), grey);

    QTest::mouseClick(link, Qt::RightButton);
    EXPECT_TRUE(opened.empty()) << "only the left button opens";
    QTest::mousePress(link, Qt::LeftButton);  // a failed open leaves it unvisited
    ASSERT_EQ(opened.size(), 1u);
    hover(false);
    EXPECT_EQ(colour(), blue);

    openSucceeds = true;
    QTest::mousePress(link, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[1].starts_with("file://")) << opened[1];
    EXPECT_TRUE(opened[1].ends_with("/crawlerview-guide.html")) << opened[1];
    EXPECT_EQ(colour(), maroon);
    hover(true);
    EXPECT_EQ(colour(), grey);
    hover(false);
    EXPECT_EQ(colour(), maroon);
}

TEST_F(WindowTest, VisitButtonShowsTheRedecodedPage) {
    window->setText(ControlName::编辑框1, "http://127.0.0.1/zh.html");
    QTest::mouseClick(window->radio(ControlName::单选框2), Qt::LeftButton);
    answers = {
        bytesOf("<meta charset=\"utf-8\"><h1>\xE8\x9C\x98\xE8\x9B\x9B\xE8\xA7\x86\xE8\xA7"
                "\x92</h1>\r\n<p>\xE4\xB8\xAD\xE6\x96\x87\xE7\xBD\x91\xE9\xA1\xB5</p>")};
    clickVisit();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].url, "http://127.0.0.1/zh.html");
    EXPECT_TRUE(requests[0].headerLines.value_or("").find("Googlebot/2.1") != Text::npos);
    EXPECT_EQ(window->outputBox()->toPlainText(),
              QStringLiteral("<meta charset=\"utf-8\"><h1>蜘蛛视角</h1>\n<p>中文网页</p>"));
    saveScreenshot(*window, "chinese-page.png");
}

TEST_F(WindowTest, SecondClickDuringAFetchNestsAndTheOuterResultWins) {
    duringFetch = [this](std::size_t call) {
        if (call == 0) {
            clickVisit();
        }
    };
    answers = {bytesOf("outer"), bytesOf("inner")};
    clickVisit();
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_EQ(window->text(ControlName::编辑框2), "outer");
}

TEST_F(WindowTest, ClosingDuringAFetchLeavesTheBoxesAlone) {
    window->setText(ControlName::编辑框2, "before");
    duringFetch = [this](std::size_t) { window->close(); };
    answers = {bytesOf("after")};
    clickVisit();
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_FALSE(window->isOpen());
    EXPECT_EQ(window->outputBox()->toPlainText(), QStringLiteral("before"));
}

}  // namespace
}  // namespace crawlerview::platform
