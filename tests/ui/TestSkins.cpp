// The main window under its skins, offscreen: the default strip shapes the window and places the
// labels and buttons, the classic skin is a plain rectangle, a drag of the window is remembered by
// the skin; the skin editor adds a classic skin through its dialog, saves a control moved in the
// preview and asks before closing with unsaved changes.
#include "QtServices.h"
#include "skins/FactorySkins.h"
#include "ui/TfmDesignSkin.h"
#include "ui/TfmMain.h"

#include <QBitmap>
#include <QTemporaryDir>
#include <QtTest>

using namespace qv;

namespace {

struct TProgram : qv::test::TQtServices
{
    explicit TProgram(const QString& folder) : TQtServices(folder)
    {
        skins.SetFileName("Skin.dat");
    }
    TDataSkins skins{services};
};

} // namespace

class TestSkins : public QObject
{
    Q_OBJECT
private slots:
    void theWindowTakesEachFactorySkin()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        TfmMain w;
        p.skins.SetForm(&w.SkinForm());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        p.skins.SelectSkin("<Predefinita>");
        QCOMPARE(w.size(), QSize(221, 16));
        QVERIFY(w.Shaped());
        // The rounded ends are cut, the middle is kept.
        QVERIFY(!w.mask().contains(QPoint(0, 0)));
        QVERIFY(w.mask().contains(QPoint(110, 8)));
        QCOMPARE(w.lbSpesa->pos(), QPoint(131, 2));
        QCOMPARE(w.btStart->size(), QSize(9, 9));
        QVERIFY(!w.btStart->icon().isNull());
        QCOMPARE(w.lbSpesa->alignment() & Qt::AlignRight, Qt::AlignRight);

        p.skins.SelectSkin("Skin old style");
        QCOMPARE(w.size(), QSize(199, 14));
        QVERIFY(!w.Shaped());
        QCOMPARE(w.lbTempoTrascorso->x(), 1);
        QCOMPARE(w.lbSpesa->x(), 131 - 23);

        // Dragged by its background: the skin remembers where.
        w.OnMovedByUser = [&p] { p.skins.RememberPosition(); };
        w.move(100, 100);
        QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(60, 7));
        QMouseEvent move(QEvent::MouseMove, QPointF(90, 27), w.mapToGlobal(QPointF(90, 27)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &move);
        QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(90, 27));
        QCOMPARE(p.skins.Current()->SkinFileEx().LeftForm(), w.x());
        QCOMPARE(p.skins.Current()->SkinFileEx().TopForm(), w.y());
        QVERIFY(w.x() != 100);
    }

    void theEditorAddsSavesAndAsksBeforeClosing()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        TfmDesignSkin editor(p.services, p.skins);
        editor.show();
        QCOMPARE(editor.windowTitle(), QStringLiteral("Skin Editor"));
        QCOMPARE(editor.lvSkins->count(), 2);
        QVERIFY(editor.acTrasparente->isEnabled()); // the first is a bitmap skin
        QVERIFY(editor.acTrasparente->isChecked());

        editor.NewSkin(true, [](TfmDatiSkin& d) {
            QCOMPARE(d.lbDimensioni->text(), QStringLiteral("[199, 14]"));
            d.DragSize(400, 20); // too wide: not taken
            QCOMPARE(d.lbDimensioni->text(), QStringLiteral("[199, 14]"));
            d.DragSize(250, 20);
            QCOMPARE(d.lbDimensioni->text(), QStringLiteral("[250, 20]"));
            d.edNome->setText(QStringLiteral("Larga"));
            d.accept();
        });
        QCOMPARE(editor.lvSkins->count(), 3);
        TSkinItemEx* added = p.skins.FindSkin("Larga");
        QVERIFY(added);
        QCOMPARE(added->SkinFileEx().WidthForm(), 250);
        QCOMPARE(editor.Selected(), added);
        QVERIFY(!editor.acTrasparente->isEnabled());
        QCOMPARE(editor.Preview->size(), QSize(250, 20));

        // A control moved in the preview and saved.
        QWidget* spesa = editor.Preview->Control(QStringLiteral("lbSpesa"));
        QVERIFY(spesa);
        QVERIFY(!editor.acSalva->isEnabled());
        editor.Preview->MoveControl(spesa, QPoint(200, 4));
        QVERIFY(editor.acSalva->isEnabled());
        editor.acSalva->trigger();
        added->SkinFileEx().PrepareData();
        QCOMPARE(added->SkinFileEx().FindControl("lbSpesa")->Left(), 200);

        // Moved again, then closed: the question, Annulla keeps the editor open.
        editor.Preview->MoveControl(spesa, QPoint(10, 4));
        p.prompter.SetNextAnswer(TModalResult::mrCancel);
        QVERIFY(!editor.close());
        QCOMPARE(p.prompter.Shown.back().Text, std::string("Salvare le modifiche?"));
        p.prompter.SetNextAnswer(TModalResult::mrNo);
        QVERIFY(editor.close());
        added->SkinFileEx().PrepareData();
        QCOMPARE(added->SkinFileEx().FindControl("lbSpesa")->Left(), 200);
    }
};

QTEST_MAIN(TestSkins)
#include "TestSkins.moc"
