#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "EventLoop.h"
#include "Files.h"
#include "LoopbackHttp.h"
#include "Processes.h"
#include "app/controls/ClosureButton.h"
#include "quickhost/PackageDiscovery.h"
#include "scan/HostScanner.h"

namespace varnholt::test {

// A package folder in the desktop packages folder holding an index page.
inline QString makePackage(const QString& title, const QByteArray& index = "<h1>hello</h1>\n") {
    const QString path = PackageDiscovery::packagesFolder() + QLatin1Char('/') + title;
    writeFile(path + QStringLiteral("/index.html"), index);
    return path;
}

// The buttons of a row, found by their titles.
inline ClosureButton* buttonTitled(QWidget* root, const QString& title) {
    const auto buttons = root->findChildren<ClosureButton*>();
    for (ClosureButton* button : buttons) {
        if (button->text() == title) {
            return button;
        }
    }
    return nullptr;
}

inline QStringList buttonTitles(QWidget* row) {
    QStringList titles;
    for (ClosureButton* button : row->findChildren<ClosureButton*>()) {
        titles << button->text();
    }
    return titles;
}

}  // namespace varnholt::test
