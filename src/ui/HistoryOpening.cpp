#include "ui/HistoryOpening.h"

#include "history/LoadedHistory.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/HistoryAccess.h"
#include "ui/MessageTexts.h"

#include <QFutureWatcher>
#include <QMainWindow>
#include <QStatusBar>
#include <QtConcurrent/QtConcurrentRun>

namespace {

const char* const OpeningName = "historyOpening";

QStatusBar* StatusBarOf(CDataView& view) {
    auto* window = qobject_cast<QMainWindow*>(view.window());
    return window ? window->statusBar() : nullptr;
}

} // namespace

void OpenDisplayedInBackground(CDataView& view, const QString& path, std::function<void(bool read)> done) {
    // The watcher belongs to the view: a read that ends after the window closed is dropped.
    using Watcher = QFutureWatcher<LoadedHistory>;
    for (Watcher* earlier : view.findChildren<Watcher*>(OpeningName, Qt::FindDirectChildrenOnly)) {
        earlier->disconnect();
        earlier->deleteLater();
    }
    auto* watcher = new Watcher(&view);
    watcher->setObjectName(OpeningName);
    if (QStatusBar* bar = StatusBarOf(view))
        bar->showMessage(Text(MessageText::HistoryReading).arg(path));
    QObject::connect(watcher, &Watcher::finished, &view, [&view, watcher, done = std::move(done)] {
        // Taken, not copied: a copy of a large history would hold up the window.
        LoadedHistory loaded = watcher->future().takeResult();
        watcher->deleteLater();
        if (QStatusBar* bar = StatusBarOf(view))
            bar->clearMessage();
        done(view.Model()->History().AdoptDisplayed(std::move(loaded)));
    });
    watcher->setFuture(QtConcurrent::run(LoadHistoryFile, std::filesystem::path(path.toStdString())));
}
