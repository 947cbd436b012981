#pragma once

#include <QFrame>

#include <optional>

#include "app/controls/QrCode.h"

namespace varnholt {

class ClosureButton;

// A small popup that shows a text as a large QR code, the text under it and a
// Copy button, so a phone on the same network can pick the address up.
class SharePopup : public QFrame {
    Q_OBJECT
public:
    explicit SharePopup(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    const std::optional<QrCode>& code() const { return m_code; }
    // Where the QR card sits, in this widget's coordinates.
    QRect codeRect() const;

    // Shows the popup under the anchor, right edges aligned, kept on screen.
    void showUnder(QWidget* anchor);

    // Without a compositor the rounded corners are cut by a mask, since the
    // translucent pixels around them would show black.
    void setComposited(bool composited);
    bool isComposited() const { return m_composited; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_text;
    std::optional<QrCode> m_code;
    ClosureButton* m_copyButton = nullptr;
    bool m_composited = true;
};

}  // namespace varnholt
