// The Linux back-end's main window on Qt 6 Widgets, built from windowDesign(). Declared here so
// that the window tests can reach the widgets; the program itself only calls runMainWindow().
#pragma once

#include <QLabel>
#include <QWidget>

#include <array>
#include <functional>

#include "platform/main_window.hpp"
#include "visit/visit_command.hpp"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QButtonGroup;

namespace crawlerview::platform {

// Neither class declares signals or slots of its own, so neither carries Q_OBJECT: moc cannot
// parse the Chinese control names of the design header that this one includes.

// 超级链接框1: a caption that opens its target on a left press, coloured by whether it is under
// the pointer and whether it has been opened. It is no tab stop and raises no event of the program.
class HyperlinkLabel final : public QLabel {
  public:
    using Opener = std::function<bool(const Text& address)>;

    HyperlinkLabel(const QString& caption, Text target, QWidget* parent);

    const Text& target() const { return target_; }
    bool opened() const { return opened_; }
    // The shell by default; tests put a recorder here.
    void setOpener(Opener opener) { opener_ = std::move(opener); }

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void showColour();

    Text target_;
    Opener opener_;
    bool hovered_ = false;
    bool opened_ = false;
};

class MainWindow final : public QWidget, public MainWindowControls {
  public:
    // `fetch` is what the Visit button's command fetches with; tests pass a fake.
    MainWindow();
    explicit MainWindow(PageFetch fetch);
    ~MainWindow() override;

    // Shows the window at the design's outer size, centred on its screen, focus in the URL box.
    void showCentred();

    std::int32_t checkedState(ControlName radioButton) const override;
    Text text(ControlName editBox) const override;
    void setText(ControlName editBox, const Text& text) override;
    bool isOpen() const override { return open_; }
    void processPendingEvents() override;

    QWidget* control(ControlName name) const;
    QLineEdit* urlBox() const { return urlBox_; }
    QPushButton* visitButton() const { return visitButton_; }
    QPlainTextEdit* outputBox() const { return outputBox_; }
    QRadioButton* radio(ControlName name) const;
    HyperlinkLabel* link() const { return link_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // What an edit box was last given, so that it reads back byte for byte until the user edits
    // it: a round trip through UTF-16 would lose bytes that are not valid GBK.
    struct BoxContent {
        Text written;
        bool editedSince = false;
    };
    BoxContent& content(ControlName editBox);
    const BoxContent& content(ControlName editBox) const;
    void moveRadioCheck(QRadioButton* from, int step);

    PageFetch fetch_;
    QLineEdit* urlBox_ = nullptr;
    QPushButton* visitButton_ = nullptr;
    QPlainTextEdit* outputBox_ = nullptr;
    std::array<QRadioButton*, 5> radios_{};
    QButtonGroup* radioGroup_ = nullptr;
    HyperlinkLabel* link_ = nullptr;
    std::array<QWidget*, 9> controls_{};  // indexed by ControlName
    BoxContent urlContent_, outputContent_;
    bool writing_ = false;  // a programmatic write is under way, not an edit
    bool open_ = true;
};

// The bytes of a local-code-page Text shown as Qt text, and Qt text encoded back.
QString localToQString(const Text& text);
Text qStringToLocal(const QString& text);

}  // namespace crawlerview::platform
