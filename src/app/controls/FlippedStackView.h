#pragma once

#include <QList>
#include <QWidget>

class QVBoxLayout;

namespace varnholt {

// A vertical stack whose content starts at the top, however tall the view is.
class FlippedStackView : public QWidget {
    Q_OBJECT
public:
    explicit FlippedStackView(int spacing = 0, const QMargins& margins = {},
                              QWidget* parent = nullptr);

    QVBoxLayout* stackLayout() const { return m_layout; }
    // Left alignment keeps a view at its natural width; none stretches it.
    void addArrangedSubview(QWidget* view, Qt::Alignment alignment = {});
    QList<QWidget*> arrangedSubviews() const;

private:
    QVBoxLayout* m_layout;
};

}  // namespace varnholt
