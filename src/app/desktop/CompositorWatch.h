#pragma once

#include <QObject>

#include <memory>

namespace varnholt {

// Says when a compositing manager starts or stops, as it happens, so a
// panel on screen can drop its shadow margin at once (without a compositor
// the margin shows black) and take it back when one starts. On X11 it
// watches the compositing manager's selection; where nothing can change
// (Wayland, macOS) it never speaks.
class CompositorWatch : public QObject {
    Q_OBJECT
public:
    explicit CompositorWatch(QObject* parent = nullptr);
    ~CompositorWatch() override;

    bool isWatching() const { return m_filter != nullptr; }

signals:
    // Ask the desktop again: a compositor came or went.
    void changed();

private:
    class Filter;
    std::unique_ptr<Filter> m_filter;
};

}  // namespace varnholt
