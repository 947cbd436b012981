#include "DesktopNotifier.h"

namespace varnholt {

// The tray's message is the macOS user notification already, so there is no
// service to try first.
DesktopNotifier::DesktopNotifier(Fallback fallback, QString busName, QObject* parent)
    : QObject(parent), m_fallback(std::move(fallback)), m_busName(std::move(busName)) {}

void DesktopNotifier::notify(const QString& text) {
    fallBack(text);
}

void DesktopNotifier::fallBack(const QString& text) {
    if (m_fallback) {
        m_fallback(QStringLiteral("Varnholt Control"), text);
    }
    emit fellBack();
}

}  // namespace varnholt
