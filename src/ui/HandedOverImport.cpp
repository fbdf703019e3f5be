#include "ui/HandedOverImport.h"

#include "base/Check.h"
#include "base/FileIdentity.h"
#include "history/HistoryData.h"
#include "publish/Publisher.h"
#include "settings/Options.h"
#include "ui/DataImportDlg.h"
#include "ui/HistoryAccess.h"
#include "ui/MainFrame.h"

HandoverResult RunHandedOverImport(CMainFrame& frame, const HandoverRequest& request,
                                   const std::function<void(const std::optional<CDateTime>&)>& afterImport) {
    const std::string recording = Options().GetRecordingHistoryFile();
    if (!IsSameFile(request.historyFile, recording))
        return {HandoverResult::Kind::Refused,
                {},
                "the desktop program holding the port records into '" + recording + "', not into '" +
                    request.historyFile + "'"};
    if (!frame.Link().IsRunning() || frame.FailedPings() != 0)
        return {HandoverResult::Kind::Failed,
                {},
                "the station does not answer the desktop program: " +
                    (frame.LinkProblem().isEmpty() ? std::string("the link is not running")
                                                   : frame.LinkProblem().toStdString())};

    HandoverResult result;
    frame.RunImport([&] {
        const auto newestBefore = NewestDatasetTime(frame.History().Recording());
        CDataImportDlg dialog(frame.Link(), frame.History().Recording(), &frame);
        dialog.SetOrder({request.whole, request.all, true});
        switch (dialog.exec()) {
        case CDataImportDlg::Succeeded:
            result = {HandoverResult::Kind::Imported, dialog.Summary(), {}};
            if (afterImport)
                afterImport(newestBefore);
            break;
        case CDataImportDlg::Failed:
            result = {HandoverResult::Kind::Failed, {}, dialog.FailureMessage()};
            break;
        default:
            result = {HandoverResult::Kind::Failed, {}, "the import was cancelled in the desktop program"};
            break;
        }
    });
    return result;
}
