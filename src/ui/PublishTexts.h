#pragma once

#include <QString>

// The texts of publishing in the user's language (English when a language file lacks one).
enum class PublishText {
    NotPublished = 100500, // reason
    Connected = 100511,    // broker
    Testing = 100512,
};
QString Text(PublishText text);

// The status bar's line when a publish after the import failed.
inline QString PublishProblemText(const QString& reason) {
    return Text(PublishText::NotPublished).arg(reason);
}
