#include "ItemChooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace varnholt {

ItemChooser::ItemChooser(bool allowFiles, const QString& confirmText, QWidget* parent)
    : QFileDialog(parent), m_allowFiles(allowFiles) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    // Directory mode returns folders; with files still listed, accept() below
    // lets a file through as well.
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, !allowFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setLabelText(QFileDialog::Accept, confirmText);
    // Directory mode would label the pick "Directory:" and list "Directories"
    // although files can be picked too; say what the chooser really takes.
    setLabelText(QFileDialog::FileName,
                 allowFiles ? QStringLiteral("Name:") : QStringLiteral("Folder:"));
    setLabelText(QFileDialog::FileType, QStringLiteral("Shows:"));
    if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        types->clear();
        types->addItem(allowFiles ? QStringLiteral("Files and folders")
                                  : QStringLiteral("Folders"));
    }
    // Picking leaves the panel usable; show() it, never exec() or open().
    setWindowModality(Qt::NonModal);
    if (allowFiles) {
        // Qt enables the confirm button for folders only in this mode; look
        // again once it has had its say.
        auto recheck = [this] { QTimer::singleShot(0, this, &ItemChooser::updateConfirmButton); };
        connect(this, &QFileDialog::currentChanged, this, recheck);
        if (auto* edit = findChild<QLineEdit*>()) {
            connect(edit, &QLineEdit::textChanged, this, recheck);
        }
    }
}

QString ItemChooser::currentChoice() const {
    const QStringList files = selectedFiles();
    if (files.isEmpty()) {
        return {};
    }
    const QFileInfo info(files.first());
    if (!info.exists() || (!m_allowFiles && !info.isDir())) {
        return {};
    }
    QString path = info.absoluteFilePath();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

void ItemChooser::accept() {
    const QString choice = currentChoice();
    if (choice.isEmpty()) {
        QFileDialog::accept();  // lets Qt handle typed folders, "..", errors
        return;
    }
    QDialog::accept();
    emit itemChosen(choice);
}

void ItemChooser::updateConfirmButton() {
    auto* box = findChild<QDialogButtonBox*>();
    QPushButton* confirm = box ? box->button(QDialogButtonBox::Open) : nullptr;
    if (confirm && !currentChoice().isEmpty()) {
        confirm->setEnabled(true);
    }
}

}  // namespace varnholt
