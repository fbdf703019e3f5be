#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {

const char* QtLanguageName(std::uint16_t languageId) {
    switch (languageId) {
    case 1031:
        return "de";
    case 1036:
        return "fr";
    default:
        return nullptr;
    }
}

} // namespace

bool UseQtTranslations(std::uint16_t languageId) {
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    const char* name = QtLanguageName(languageId);
    if (!name)
        return languageId == 1033;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_%1").arg(QLatin1String(name)),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}
