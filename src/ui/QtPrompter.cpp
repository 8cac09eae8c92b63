#include "ui/QtPrompter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

namespace qv {

QString ToQt(const std::string& text)
{
    QString s = QString::fromStdString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

TModalResult TQtPrompter::MessageBox(TMsgKind kind, TMsgButtons buttons, const std::string& text)
{
    if (SessionEnding)
        return TModalResult::mrNone;
    QMessageBox box(FParent);
    box.setWindowTitle(QApplication::applicationName());
    box.setText(ToQt(text));
    switch (kind) {
    case TMsgKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case TMsgKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case TMsgKind::Info:
        box.setIcon(QMessageBox::Information);
        break;
    case TMsgKind::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case TMsgButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case TMsgButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case TMsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    const int answer = box.exec();
    if (SessionEnding)
        return TModalResult::mrNone;
    switch (answer) {
    case QMessageBox::Yes:
        return TModalResult::mrYes;
    case QMessageBox::No:
        return TModalResult::mrNo;
    case QMessageBox::Cancel:
        return TModalResult::mrCancel;
    case QMessageBox::Ok:
        return TModalResult::mrOk;
    default:
        return buttons == TMsgButtons::YesNoCancel ? TModalResult::mrCancel : TModalResult::mrNo;
    }
}

bool InstallItalianTranslations()
{
    static QTranslator* translator = nullptr;
    if (translator)
        return true;
    // Dates, numbers and sizes in Qt's own widgets (file dialogs, date pickers) in Italian forms,
    // like the program's texts, whatever the session's locale (often C) and even without the
    // translations of Qt's own texts.
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}

} // namespace qv
