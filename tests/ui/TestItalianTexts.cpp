// The program's questions in Italian: Qt's own buttons read "Sì", "No", "Annulla", "OK" whatever
// the desktop's language.
#include "ui/QtPrompter.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>

using namespace qv;

class TestItalianTexts : public QObject
{
    Q_OBJECT
private slots:
    void standardButtonsAreItalian()
    {
        QVERIFY(InstallItalianTranslations());
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Ok);
        const auto text = [&](QMessageBox::StandardButton b) { return box.button(b)->text().remove('&'); };
        QCOMPARE(text(QMessageBox::Yes), QStringLiteral("Sì"));
        QCOMPARE(text(QMessageBox::No), QStringLiteral("No"));
        QCOMPARE(text(QMessageBox::Cancel), QStringLiteral("Annulla"));
        QCOMPARE(text(QMessageBox::Ok), QStringLiteral("OK"));
    }
};

QTEST_MAIN(TestItalianTexts)
#include "TestItalianTexts.moc"
