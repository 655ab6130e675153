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
    auto* translator = new QTranslator(application);
    translator->setObjectName(kTranslatorName);
    if (!translator->load(QStringLiteral(":/tessapak/translations/qtbase_zh_CN.qm"))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace tessapak::app
