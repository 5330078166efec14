#include "Unit1/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

bool TQtDialogs::Execute(TFileDialog& dialog, QWidget* owner)
{
    QFileDialog d(owner, QString(), dialog.InitialDir, dialog.Filter);
    const bool save = dialog.kind == TFileDialog::Save;
    d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    d.setDefaultSuffix(dialog.DefaultExt);
    d.setOption(QFileDialog::DontConfirmOverwrite, !dialog.OverwritePrompt);
    d.setSizeGripEnabled(true);
    if (!dialog.FileName.isEmpty()) d.selectFile(dialog.FileName);
    if (d.exec() != QDialog::Accepted) return false;
    const QStringList files = d.selectedFiles();
    if (files.isEmpty()) return false;
    dialog.FileName = files.first();
    return true;
}

void TQtDialogs::ShowMessage(const QString& text, QWidget* owner)
{
    QMessageBox box(QMessageBox::NoIcon, owner ? owner->window()->windowTitle() : QString(), text,
                    QMessageBox::Ok, owner);
    box.exec();
}
