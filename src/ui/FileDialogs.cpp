#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace {

FileDialogHook& Hook() {
    static FileDialogHook hook;
    return hook;
}

std::optional<QString> ShowQtDialog(QWidget* owner, const FileDialogRequest& request) {
    QFileDialog dialog(owner);
    if (request.kind == FileDialogRequest::Kind::Folder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (!request.initialFile.isEmpty())
            dialog.setDirectory(request.initialFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
    const bool open = request.kind == FileDialogRequest::Kind::Open;
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(QStringList{QStringLiteral("%1 (%2)").arg(request.filterName, request.pattern)} +
                          request.moreFilters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        static const QRegularExpression firstExtension(QStringLiteral("\\*\\.(\\w+)"));
        const QRegularExpressionMatch match = firstExtension.match(filter);
        if (match.hasMatch())
            dialog.setDefaultSuffix(match.captured(1));
    });
    // A replaced export needs no question; a recording file that is chosen may be new.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.initialFile.isEmpty())
        dialog.selectFile(request.initialFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::optional<QString> AskForFile(QWidget* owner, const FileDialogRequest& request) {
    if (Hook())
        return Hook()(owner, request);
    return ShowQtDialog(owner, request);
}

void SetFileDialogHook(FileDialogHook hook) {
    Hook() = std::move(hook);
}
