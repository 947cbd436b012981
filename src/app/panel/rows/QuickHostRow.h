#pragma once

#include <QList>
#include <QString>

#include <optional>

#include "RowAction.h"
#include "quickhost/QuickHostEntry.h"
#include "quickhost/QuickHostPackage.h"

class QWidget;

namespace varnholt {

class PanelActions;

// A QUICK HOST row: the package's name, its port while it is served, Start
// or Stop, and Remove; its menu opens the server at the LAN address ip.
QWidget* makeQuickHostRow(const QuickHostPackage& package,
                          const std::optional<QuickHostEntry>& running, const QString& ip,
                          PanelActions* actions);

// What the row shows, as one comparable text (see hostedRowKey).
QString quickHostRowKey(const QuickHostPackage& package,
                        const std::optional<QuickHostEntry>& running, const QString& ip);

// The row's menu; the server's commands only while it runs, with its
// sharing choices when actions can carry them out.
QList<RowAction> quickHostRowActions(const QuickHostPackage& package,
                                     const std::optional<QuickHostEntry>& running,
                                     const QString& ip, QWidget* row,
                                     PanelActions* actions = nullptr);

// What follows the name: ":1010", ":1010 · 3 received", or nothing.
QString quickHostPortText(const std::optional<QuickHostEntry>& running);

}  // namespace varnholt
