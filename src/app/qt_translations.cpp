#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QTranslator>

// The catalogue is built into the app library, whose resource object the
// linker would drop without this reference.
static void initQtTranslationResources() {
    Q_INIT_RESOURCE(qt_translations);
}

namespace tessapak::app {

namespace {

const QString kTranslatorName = QStringLiteral("tessapakQtTranslations");

}  // namespace

bool installQtTranslations() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return false;
    }
    if (application->findChild<QTranslator*>(kTranslatorName, Qt::FindDirectChildrenOnly)) {
        return true;
    }
    initQtTranslationResources();
    // Debian's catalogue, then our own for the texts it leaves in English.
    for (const char* catalogue : {"qtbase_zh_CN.qm", "tessapak_qt_zh_CN.qm"}) {
        auto* translator = new QTranslator(application);
        if (!translator->load(QStringLiteral(":/tessapak/translations/") +
                              QLatin1String(catalogue))) {
            delete translator;
            return false;
        }
        if (!QCoreApplication::installTranslator(translator)) {
            delete translator;
            return false;
        }
        translator->setObjectName(kTranslatorName);
    }
    return true;
}

}  // namespace tessapak::app
