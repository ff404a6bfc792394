// Linux back-end of the main window: Qt 6 Widgets configured from windowDesign(), so that focus,
// keyboard navigation, the radio group and the hyperlink behave like the Windows controls do.
#include "platform/main_window.hpp"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QUrl>
#include <QWindow>

#include <limits>
#include <optional>
#include <vector>

#include "platform/code_page.hpp"
#include "platform/event_loop.hpp"
#include "platform/linux/main_window_qt.hpp"
#include "platform/linux/program_state.hpp"
#include "platform/shell.hpp"

// Resources compiled into a static library register only when asked to, from the global namespace.
static void registerIcons() {
    Q_INIT_RESOURCE(crawlerview);
}

namespace crawlerview::platform {
namespace {

QString fromUtf8(std::u8string_view s) {
    return QString::fromUtf8(reinterpret_cast<const char*>(s.data()),
                             static_cast<qsizetype>(s.size()));
}

QColor toQColor(Rgb c) {
    return QColor(c.red, c.green, c.blue);
}

void setTextColour(QWidget* widget, Rgb colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, toQColor(colour));
    palette.setColor(QPalette::ButtonText, toQColor(colour));
    widget->setPalette(palette);
}

std::size_t indexOf(ControlName name) {
    return static_cast<std::size_t>(name);
}

bool isRadio(ControlName name) {
    return controlDesign(name).kind == ControlKind::RadioBox;
}

// The program's own user guide, installed beside the executable, as a file:// address.
Text guideAddress() {
    const QString path =
        QDir(QCoreApplication::applicationDirPath()).filePath(fromUtf8(windowDesign().linkTarget));
    const QByteArray encoded = QUrl::fromLocalFile(path).toEncoded();
    return Text(encoded.constData(), static_cast<std::size_t>(encoded.size()));
}

}  // namespace

QString localToQString(const Text& text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    // A GBK byte never decodes to more than one UTF-16 unit, so one pass into a buffer of the
    // byte count does; a sizing pass first would decode a multi-megabyte page twice.
    const auto length = static_cast<std::int32_t>(text.size());
    QString wide(length, Qt::Uninitialized);
    const std::int32_t written = multiByteToWide(kLocalCodePage, text.data(), length,
                                                 reinterpret_cast<char16_t*>(wide.data()), length);
    wide.truncate(written);
    return wide;
}

Text qStringToLocal(const QString& text) {
    if (text.isEmpty()) {
        return {};
    }
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    const auto length = static_cast<std::int32_t>(text.size());
    const std::int32_t needed = wideToMultiByte(kLocalCodePage, units, length, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    Text bytes(static_cast<std::size_t>(needed), '\0');
    const std::int32_t written =
        wideToMultiByte(kLocalCodePage, units, length, bytes.data(), needed);
    bytes.resize(static_cast<std::size_t>(written));
    return bytes;
}

HyperlinkLabel::HyperlinkLabel(const QString& caption, Text target, QWidget* parent)
    : QLabel(caption, parent), target_(std::move(target)), opener_(openAddress) {
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);  // a plain caption draws no underline
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    showColour();
}

void HyperlinkLabel::showColour() {
    const LinkColours& colours = windowDesign().linkColours;
    setTextColour(this, hovered_ ? colours.hover : opened_ ? colours.visited : colours.normal);
}

void HyperlinkLabel::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    showColour();
    QLabel::enterEvent(event);
}

void HyperlinkLabel::leaveEvent(QEvent* event) {
    hovered_ = false;
    showColour();
    QLabel::leaveEvent(event);
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    if (opener_ && opener_(target_)) {
        opened_ = true;
        showColour();
    }
    event->accept();
}

MainWindow::MainWindow()
    : MainWindow([](const FetchRequest& request) { return fetchPage(request); }) {}

MainWindow::MainWindow(PageFetch fetch) : fetch_(std::move(fetch)) {
    registerIcons();
    const WindowDesign& design = windowDesign();
    setWindowTitle(fromUtf8(design.title));
    setWindowIcon(QIcon(QStringLiteral(":/crawlerview/icon.ico")));
    // A fixed frame with close and minimise boxes only: the controls never move.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);

    radioGroup_ = new QButtonGroup(this);
    radioGroup_->setExclusive(true);
    // Created in the design's order, which Qt also takes as the focus chain.
    for (const ControlDesign& c : design.controls) {
        QWidget* widget = nullptr;
        const QString caption = fromUtf8(c.caption);
        switch (c.kind) {
            case ControlKind::EditBox:
                if (c.multiLine) {
                    outputBox_ = new QPlainTextEdit(this);
                    // Wrapped at the box's width, so only a vertical scroll bar.
                    outputBox_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                    outputBox_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
                    outputBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                    outputBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                    outputBox_->setTabChangesFocus(true);   // Tab leaves, Enter breaks the line
                    outputBox_->setUndoRedoEnabled(false);  // no copy of a multi-megabyte page
                    connect(outputBox_, &QPlainTextEdit::textChanged, this, [this] {
                        if (!writing_) {
                            outputContent_.editedSince = true;
                        }
                    });
                    widget = outputBox_;
                } else {
                    urlBox_ = new QLineEdit(this);
                    urlBox_->setMaxLength(std::numeric_limits<int>::max());
                    connect(urlBox_, &QLineEdit::textChanged, this, [this] {
                        if (!writing_) {
                            urlContent_.editedSince = true;
                        }
                    });
                    widget = urlBox_;
                }
                break;
            case ControlKind::Button:
                visitButton_ = new QPushButton(caption, this);
                visitButton_->setAutoDefault(false);
                visitButton_->setDefault(false);
                // Runs inside the dispatch of the click; a second click during its fetch nests.
                connect(visitButton_, &QPushButton::clicked, this,
                        [this] { VisitCommand(*this, fetch_); });
                widget = visitButton_;
                break;
            case ControlKind::RadioBox: {
                auto* radio = new QRadioButton(caption, this);
                radio->setChecked(c.checkedAtStart);
                radio->installEventFilter(this);
                radioGroup_->addButton(radio);
                radios_[indexOf(c.name) - indexOf(ControlName::单选框1)] = radio;
                widget = radio;
                break;
            }
            case ControlKind::HyperLinker:
                link_ = new HyperlinkLabel(caption, guideAddress(), this);
                widget = link_;
                break;
        }
        widget->setObjectName(fromUtf8(c.identifier));
        widget->setGeometry(c.left, c.top, c.width, c.height);
        if (c.kind != ControlKind::HyperLinker) {
            setTextColour(widget, c.textColour);
        }
        controls_[indexOf(c.name)] = widget;
    }

    // Esc closes from whichever control has the focus; nothing asks first.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

MainWindow::~MainWindow() = default;

void MainWindow::showCentred() {
    const WindowDesign& design = windowDesign();
    // The design's size includes the frame, which the window manager draws around the client area.
    winId();
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    setFixedSize(design.outerWidth - frame.left() - frame.right(),
                 design.outerHeight - frame.top() - frame.bottom());
    const QScreen* screen =
        this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - design.outerWidth) / 2,
             area.top() + (area.height() - design.outerHeight) / 2);
    }
    urlBox_->setFocus(Qt::OtherFocusReason);
    show();
    activateWindow();
    urlBox_->setFocus(Qt::OtherFocusReason);
}

MainWindow::BoxContent& MainWindow::content(ControlName editBox) {
    return editBox == ControlName::编辑框2 ? outputContent_ : urlContent_;
}

const MainWindow::BoxContent& MainWindow::content(ControlName editBox) const {
    return editBox == ControlName::编辑框2 ? outputContent_ : urlContent_;
}

std::int32_t MainWindow::checkedState(ControlName radioButton) const {
    const QRadioButton* r = radio(radioButton);
    return r != nullptr && r->isChecked() ? 1 : 0;
}

Text MainWindow::text(ControlName editBox) const {
    const BoxContent& box = content(editBox);
    if (!box.editedSince) {
        return box.written;
    }
    return qStringToLocal(editBox == ControlName::编辑框2 ? outputBox_->toPlainText()
                                                          : urlBox_->text());
}

void MainWindow::setText(ControlName editBox, const Text& text) {
    if (editBox != ControlName::编辑框1 && editBox != ControlName::编辑框2) {
        return;
    }
    BoxContent& box = content(editBox);
    box.written = text;
    box.editedSince = false;
    QString shown = localToQString(text);
    writing_ = true;
    if (editBox == ControlName::编辑框2) {
        // Pages arrive with CR LF line ends; Qt breaks lines at LF alone. The bytes written are
        // kept above, so this changes only how the page looks.
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        outputBox_->setPlainText(shown);
    } else {
        urlBox_->setText(shown);
    }
    writing_ = false;
}

void MainWindow::processPendingEvents() {
    platform::processPendingEvents();
}

QWidget* MainWindow::control(ControlName name) const {
    return controls_[indexOf(name)];
}

QRadioButton* MainWindow::radio(ControlName name) const {
    if (!isRadio(name)) {
        return nullptr;
    }
    return radios_[indexOf(name) - indexOf(ControlName::单选框1)];
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A visit may still be waiting for its fetch further down the stack: this object stays alive
    // until the event loop returns, and the visit sees isOpen() false and touches nothing.
    open_ = false;
    noteProgramEnding();
    event->accept();
}

// The design's order, with every tab stop and only those: Qt's own chain would skip the unchecked
// radio buttons of an exclusive group.
bool MainWindow::focusNextPrevChild(bool next) {
    std::vector<QWidget*> stops;
    for (const ControlDesign& c : windowDesign().controls) {
        if (c.tabStop) {
            stops.push_back(control(c.name));
        }
    }
    const QWidget* focused = focusWidget();
    std::size_t at = 0;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        if (stops[i] == focused || stops[i]->isAncestorOf(focused)) {
            at = i;
            break;
        }
    }
    const std::size_t n = stops.size();
    const std::size_t to = next ? (at + 1) % n : (at + n - 1) % n;
    stops[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

// Arrow keys on a radio button move the check and the focus to the next or previous one, round
// the group, as a Windows radio group does.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* radio = qobject_cast<QRadioButton*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (radio != nullptr && key->modifiers() == Qt::NoModifier) {
            switch (key->key()) {
                case Qt::Key_Right:
                case Qt::Key_Down:
                    moveRadioCheck(radio, 1);
                    return true;
                case Qt::Key_Left:
                case Qt::Key_Up:
                    moveRadioCheck(radio, -1);
                    return true;
                default:
                    break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::moveRadioCheck(QRadioButton* from, int step) {
    const auto n = static_cast<int>(radios_.size());
    int at = 0;
    while (at < n && radios_[static_cast<std::size_t>(at)] != from) {
        ++at;
    }
    QRadioButton* to = radios_[static_cast<std::size_t>(((at + step) % n + n) % n)];
    to->setChecked(true);
    to->setFocus(Qt::OtherFocusReason);
}

int runMainWindow(int argc, char** argv) {
    // A test may already have its application object; the program never does.
    std::optional<QApplication> application;
    if (QApplication::instance() == nullptr) {
        application.emplace(argc, argv);
    }
    MainWindow window;
    window.showCentred();
    QApplication::exec();
    // Closing the window is the one way out, and it is no failure.
    return 0;
}

}  // namespace crawlerview::platform
