#pragma once

#include <QFileDialog>

namespace varnholt {

// The chooser behind "Open…" (one existing file or folder) and "Change…" (one
// folder). Qt's own dialog, since no platform dialog offers files and folders
// in one chooser. It never blocks: show it with open() and listen to
// itemChosen.
class ItemChooser : public QFileDialog {
    Q_OBJECT
public:
    ItemChooser(bool allowFiles, const QString& confirmText, QWidget* parent = nullptr);

    bool allowsFiles() const { return m_allowFiles; }
    // The existing file or folder the dialog would return now, or the empty
    // text when its selection names nothing usable.
    QString currentChoice() const;

public slots:
    void accept() override;

signals:
    void itemChosen(const QString& path);

private:
    void updateConfirmButton();

    bool m_allowFiles;
};

}  // namespace varnholt
