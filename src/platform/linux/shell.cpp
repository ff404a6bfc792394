// Linux shell: the desktop's "open" action through Qt, and as the fallback the application that
// xdg-mime registers for HTML files (the .htm handler), started detached with the address appended.
#include "platform/shell.hpp"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#include "platform/linux/main_window_qt.hpp"

namespace crawlerview::platform {
namespace {

// The Exec line of a .desktop file's [Desktop Entry] group, or empty.
QString execLine(const QString& desktopFile) {
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == QStringLiteral("[Desktop Entry]");
        } else if (inEntry && line.startsWith(QStringLiteral("Exec="))) {
            return line.mid(5);
        }
    }
    return {};
}

// The command line without its field codes (%u, %F, ...): the address goes at the end instead.
QStringList commandWithoutFieldCodes(const QString& exec) {
    QStringList words;
    for (const QString& word : QProcess::splitCommand(exec)) {
        if (word.size() == 2 && word.startsWith(u'%') && word != QStringLiteral("%%")) {
            continue;
        }
        QString kept = word;
        kept.replace(QStringLiteral("%%"), QStringLiteral("%"));
        words.push_back(kept);
    }
    return words;
}

bool openWithHtmlHandler(const QString& address) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(5000) || query.exitCode() != 0) {
        return false;
    }
    const QString desktopName = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    if (desktopName.isEmpty()) {
        return false;
    }
    const QString desktopFile =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopName);
    QStringList command = commandWithoutFieldCodes(execLine(desktopFile));
    if (command.isEmpty()) {
        return false;
    }
    const QString program = command.takeFirst();
    command.push_back(address);
    return QProcess::startDetached(program, command);
}

}  // namespace

bool openAddress(const Text& address) {
    if (address.empty()) {
        return false;
    }
    const QString text = localToQString(address);
    if (QDesktopServices::openUrl(QUrl(text, QUrl::TolerantMode))) {
        return true;
    }
    return openWithHtmlHandler(text);
}

}  // namespace crawlerview::platform
