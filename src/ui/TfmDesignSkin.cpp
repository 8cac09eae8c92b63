#include "ui/TfmDesignSkin.h"

#include "skins/FactorySkins.h"
#include "ui/QtPrompter.h"
#include "ui/FileDialogs.h"
#include "ui/SkinPaint.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCursor>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

namespace {

QFont FontOf(const TSkinFont& f)
{
    QFont font(QString::fromStdString(f.Name()));
    if (f.Height() != 0)
        font.setPixelSize(std::abs(f.Height()));
    font.setBold(f.Style() & fsBold);
    font.setItalic(f.Style() & fsItalic);
    font.setUnderline(f.Style() & fsUnderline);
    font.setStrikeOut(f.Style() & fsStrikeOut);
    return font;
}

void StoreFont(TSkinFont& f, const QFont& font)
{
    f.SetName(font.family().toStdString());
    f.SetHeight(font.pixelSize() > 0 ? -font.pixelSize() : -static_cast<int>(font.pointSizeF() * 96 / 72 + 0.5));
    f.SetStyle((font.bold() ? fsBold : 0) | (font.italic() ? fsItalic : 0) | (font.underline() ? fsUnderline : 0) |
               (font.strikeOut() ? fsStrikeOut : 0));
}

void SetGlyph(QToolButton* b, const std::string& bmp)
{
    const QPixmap pixmap = GlyphPixmap(bmp);
    if (pixmap.isNull())
        return;
    b->setIcon(QIcon(pixmap));
    b->setIconSize(pixmap.size());
    b->setFixedSize(pixmap.size() + QSize(2, 2));
}

// The sample texts of the preview's labels.
QString SampleText(const std::string& name)
{
    if (name == "lbTempoTrascorso")
        return QStringLiteral("0.00.00");
    if (name == "lbSpesa")
        return QStringLiteral("£ 0");
    if (name == "lbQuorvanta")
        return QStringLiteral("00.00");
    return QStringLiteral("0");
}

// The icons of the list: transparent bitmap skin, solid bitmap skin, classic skin.
QIcon SkinIcon(int index)
{
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 2:
        g.setBrush(QColor(0x30, 0x50, 0xC0));
        g.setPen(Qt::NoPen);
        g.drawRoundedRect(QRectF(0.5, 4.5, 15, 7), 3.5, 3.5);
        break;
    case 4:
        g.fillRect(QRect(0, 4, 16, 8), QColor(0x30, 0x50, 0xC0));
        break;
    default:
        g.fillRect(QRect(0, 4, 16, 8), QColor(0, 0, 0x80));
        g.setPen(QColor(0xC0, 0xC0, 0xC0));
        g.drawRect(QRect(0, 4, 15, 7));
        break;
    }
    return QIcon(p);
}

} // namespace

// ---- preview ----

TSkinPreview::TSkinPreview(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Preview"));
    setMinimumSize(240, 60);
}

void TSkinPreview::Show(TSkinItemEx* item)
{
    for (auto& [w, d] : FData)
        delete w;
    FData.clear();
    FPicture = QPixmap();
    FColor = QColor();
    if (!item) {
        update();
        return;
    }
    TSkinFileEx& f = item->SkinFileEx();
    try {
        if (f.Kind() == skBitmap) {
            const TBitmap& b = f.Bitmap();
            FPicture = SkinPixmap(b);
            // A transparent skin shows the desktop through its key colour, as the window will.
            if (f.Transparent() && !b.Empty()) {
                const TColorRef k = b.KeyColor();
                FPicture.setMask(FPicture.createMaskFromColor(
                    QColor(static_cast<int>(k & 255), static_cast<int>((k >> 8) & 255), static_cast<int>((k >> 16) & 255)),
                    Qt::MaskInColor));
            }
        }
        else
            FColor = SkinColor(f.ColorForm());
    } catch (const std::exception&) {
        FColor = Qt::gray;
    }
    const QSize size = FPicture.isNull() ? QSize(f.WidthForm(), f.HeightForm()) : FPicture.size();
    setFixedSize(size.expandedTo(QSize(1, 1)));
    // Every label and button of the main window, at the skin's place when the skin has it.
    for (TFormControl c : DefaultDesign()) {
        if (const TControlItem* ci = f.FindControl(c.Name)) {
            c.Left = ci->Left();
            c.Top = ci->Top();
            c.Font = ci->Font();
            if (c.Button && !ci->GlyphData().empty())
                c.Glyph = ci->Glyph();
        }
        QWidget* w = nullptr;
        if (c.Button) {
            auto* b = new QToolButton(this);
            b->setAutoRaise(true);
            SetGlyph(b, c.Glyph);
            w = b;
        } else {
            auto* l = new QLabel(SampleText(c.Name), this);
            l->setFont(FontOf(c.Font));
            // As wide as on the strip, and aligned as there.
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            QPalette p = l->palette();
            p.setColor(QPalette::WindowText, SkinColor(c.Font.Color()));
            l->setPalette(p);
            const QFontMetrics fm(l->font());
            l->setFixedSize(fm.horizontalAdvance(SkinLabelWidestText(c.Name)) + 2, fm.height());
            w = l;
        }
        w->setObjectName(QString::fromStdString(c.Name));
        w->setToolTip(QString::fromStdString(c.Name));
        w->move(c.Left, c.Top);
        w->installEventFilter(this);
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint&) {
            QMenu menu(this);
            if (qobject_cast<QToolButton*>(w))
                menu.addAction(QStringLiteral("Cambia icona..."), this, [this, w] {
                    if (OnEditGlyph)
                        OnEditGlyph(w);
                });
            else
                menu.addAction(QStringLiteral("Cambia font e colore..."), this, [this, w] {
                    if (OnEditFont)
                        OnEditFont(w);
                });
            menu.exec(QCursor::pos()); // the preview may be zoomed: where the pointer is
        });
        // A label placed outside the skin stays hidden, as on the strip.
        w->setVisible(rect().intersects(w->geometry()));
        FData[w] = c;
    }
    update();
}

QWidget* TSkinPreview::Control(const QString& name) const
{
    for (const auto& [w, d] : FData)
        if (w->objectName() == name)
            return w;
    return nullptr;
}

std::vector<TFormControl> TSkinPreview::Controls() const
{
    std::vector<TFormControl> out;
    for (const TFormControl& design : DefaultDesign())
        for (const auto& [w, d] : FData)
            if (d.Name == design.Name) {
                TFormControl c = d;
                c.Left = w->x();
                c.Top = w->y();
                if (auto* l = qobject_cast<QLabel*>(w)) {
                    StoreFont(c.Font, l->font());
                    c.Font.SetColor(SkinColorRef(l->palette().color(QPalette::WindowText)));
                }
                out.push_back(c);
            }
    return out;
}

void TSkinPreview::SetButtonGlyph(QWidget* button, const std::string& bmp)
{
    auto it = FData.find(button);
    auto* b = qobject_cast<QToolButton*>(button);
    if (it == FData.end() || !b)
        return;
    it->second.Glyph = bmp;
    SetGlyph(b, bmp);
}

void TSkinPreview::MoveControl(QWidget* control, const QPoint& to)
{
    control->move(to);
    if (OnChange)
        OnChange();
}

void TSkinPreview::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!FPicture.isNull())
        p.drawPixmap(0, 0, FPicture);
    else if (FColor.isValid())
        p.fillRect(rect(), FColor);
}

bool TSkinPreview::eventFilter(QObject* watched, QEvent* event)
{
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || !FData.count(w))
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() != Qt::LeftButton)
            break;
        FDragged = w;
        FGrab = m->position().toPoint();
        return true;
    }
    case QEvent::MouseMove:
        if (FDragged == w) {
            const QPoint at = w->mapToParent(static_cast<QMouseEvent*>(event)->position().toPoint()) - FGrab;
            MoveControl(w, at);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        FDragged = nullptr;
        return true;
    case QEvent::MouseButtonDblClick:
        if (qobject_cast<QLabel*>(w) && OnEditFont)
            OnEditFont(w);
        else if (OnEditGlyph)
            OnEditGlyph(w);
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- "Dati della skin" ----

TfmDatiSkin::TfmDatiSkin(bool classic, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TfmDatiSkin"));
    setWindowTitle(QStringLiteral("Dati della skin"));
    edNome = new QLineEdit(this);
    edDescrizione = new QLineEdit(this);
    btImmagine = new QPushButton(QStringLiteral("Scegli l'&immagine..."), this);
    lbImmagine = new QLabel(this);
    Sample = new QWidget(this);
    Sample->setObjectName(QStringLiteral("Sample"));
    Sample->setMinimumSize(340, 84);
    Sample->installEventFilter(this);
    Sample->setToolTip(QStringLiteral("Trascina con il mouse per dare le dimensioni alla skin"));
    lbDimensioni = new QLabel(this);
    btColore = new QPushButton(QStringLiteral("&Colore..."), this);
    btColoreTitolo = new QPushButton(QStringLiteral("Usa il colore di evidenziazione del desktop"), this);
    btColoreTitolo->setToolTip(QStringLiteral("Il colore che il tema del desktop usa per le barre del titolo attive "
                                              "e per le selezioni"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Nome"), edNome);
    form->addRow(QStringLiteral("Descrizione"), edDescrizione);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    if (classic) {
        btImmagine->hide();
        lbImmagine->hide();
        auto* colours = new QHBoxLayout;
        colours->addWidget(lbDimensioni);
        colours->addStretch();
        colours->addWidget(btColore);
        colours->addWidget(btColoreTitolo);
        v->addWidget(Sample);
        v->addLayout(colours);
    } else {
        Sample->hide();
        lbDimensioni->hide();
        btColore->hide();
        btColoreTitolo->hide();
        auto* picture = new QHBoxLayout;
        picture->addWidget(btImmagine);
        picture->addWidget(lbImmagine, 1);
        v->addLayout(picture);
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole);
    v->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btImmagine, &QPushButton::clicked, this, [this] {
        const QString file = OpenFileName(this, QStringLiteral("Scegli l'immagine di sfondo per la skin"), TFileKind::Images,
                                          QStringLiteral("Bitmap RGB (*.bmp)"));
        QFile f(file);
        if (file.isEmpty() || !f.open(QIODevice::ReadOnly))
            return;
        const QByteArray bytes = f.readAll();
        Picture.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        lbImmagine->setText(file);
    });
    connect(btColore, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(Color, this);
        if (c.isValid()) {
            Color = c;
            ShowColor();
        }
    });
    connect(btColoreTitolo, &QPushButton::clicked, this, [this] {
        // The colour of the active window's title: the desktop's highlight.
        Color = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
        ShowColor();
    });
    ShowColor();
}

void TfmDatiSkin::DragSize(int width, int height)
{
    if (!TDesignSkinRules::SizeAccepted(width, height))
        return;
    SkinWidth = width;
    SkinHeight = height;
    ShowColor();
}

void TfmDatiSkin::ShowColor()
{
    lbDimensioni->setText(QString::fromStdString(TDesignSkinRules::SizeText(SkinWidth, SkinHeight)));
    Sample->update();
}

bool TfmDatiSkin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Sample) {
        if (event->type() == QEvent::Paint) {
            QPainter p(Sample);
            p.fillRect(Sample->rect(), palette().color(QPalette::Base));
            p.fillRect(QRect(0, 0, SkinWidth, SkinHeight), Color);
            p.setPen(Qt::DashLine);
            p.drawRect(QRect(0, 0, 333, 79));
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton)
                DragSize(at.x(), at.y());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- the editor ----

TfmDesignSkin::TfmDesignSkin(TServices& services, TDataSkins& skins, QWidget* parent)
    : QMainWindow(parent), FSkins(skins), FRules(services, skins)
{
    setObjectName(QStringLiteral("TfmDesignSkin"));
    setWindowTitle(QStringLiteral("Skin Editor"));
    QToolBar* bar = addToolBar(QStringLiteral("Skin"));
    bar->setMovable(false);
    acNuovaBitmap = bar->addAction(QStringLiteral("Nuova skin &bitmap..."));
    acNuovaClassica = bar->addAction(QStringLiteral("Nuova skin &classica..."));
    acModifica = bar->addAction(QStringLiteral("&Modifica..."));
    acElimina = bar->addAction(QStringLiteral("&Elimina"));
    acElimina->setShortcut(QKeySequence::Delete);
    bar->addSeparator();
    acTrasparente = bar->addAction(QStringLiteral("&Trasparente"));
    acTrasparente->setCheckable(true);
    acSalva = bar->addAction(QStringLiteral("&Salva la skin"));
    acSalva->setEnabled(false);
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    acImporta = fileMenu->addAction(QStringLiteral("&Importa..."));
    acEsporta = fileMenu->addAction(QStringLiteral("&Esporta la skin..."));
    acRipristina = fileMenu->addAction(QStringLiteral("Ripristina le skin di fabbrica..."));
    fileMenu->addAction(acNuovaBitmap);
    fileMenu->addAction(acNuovaClassica);

    auto* split = new QSplitter(this);
    lvSkins = new QListWidget(split);
    lvSkins->setObjectName(QStringLiteral("lvSkins"));
    // The preview on a desktop colour, enlarged by the zoom: the strip is small, its labels are
    // dragged into place at any zoom.
    auto* area = new QWidget(split);
    auto* av = new QVBoxLayout(area);
    av->setContentsMargins(0, 0, 0, 0);
    PreviewView = new QGraphicsView(area);
    PreviewView->setScene(new QGraphicsScene(PreviewView));
    PreviewView->setBackgroundBrush(QColor(0x3A, 0x6E, 0xA5));
    PreviewView->setAlignment(Qt::AlignCenter);
    Preview = new TSkinPreview;
    Preview->setAttribute(Qt::WA_TranslucentBackground);
    PreviewView->scene()->addWidget(Preview);
    av->addWidget(PreviewView, 1);
    auto* zoomRow = new QHBoxLayout;
    zoomRow->setContentsMargins(6, 0, 6, 4);
    zoomRow->addStretch();
    zoomRow->addWidget(new QLabel(QStringLiteral("&Zoom"), area));
    cbZoom = new QComboBox(area);
    for (const int z : {100, 200, 300, 400})
        cbZoom->addItem(QStringLiteral("%1%").arg(z), z);
    cbZoom->setCurrentIndex(1);
    static_cast<QLabel*>(zoomRow->itemAt(1)->widget())->setBuddy(cbZoom);
    zoomRow->addWidget(cbZoom);
    av->addLayout(zoomRow);
    connect(cbZoom, &QComboBox::currentIndexChanged, this, [this] { ApplyZoom(); });
    setCentralWidget(split);
    resize(900, 360);

    Preview->OnChange = [this] {
        FRules.PreviewChanged();
        acSalva->setEnabled(true);
    };
    Preview->OnEditFont = [this](QWidget* w) {
        auto* l = qobject_cast<QLabel*>(w);
        if (!l)
            return;
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, l->font(), this);
        if (!ok)
            return;
        const QColor colour = QColorDialog::getColor(l->palette().color(QPalette::WindowText), this);
        l->setFont(font);
        if (colour.isValid()) {
            QPalette p = l->palette();
            p.setColor(QPalette::WindowText, colour);
            l->setPalette(p);
        }
        l->adjustSize();
        Preview->OnChange();
    };
    Preview->OnEditGlyph = [this](QWidget* w) {
        auto* b = qobject_cast<QToolButton*>(w);
        const QString file = OpenFileName(this, QStringLiteral("Cambia la bitmap del pulsante"), TFileKind::Images,
                                          QStringLiteral("Bitmap RGB (*.bmp)"));
        QFile f(file);
        if (!b || file.isEmpty() || !f.open(QIODevice::ReadOnly))
            return;
        const QByteArray bytes = f.readAll();
        TBitmap probe;
        std::string why;
        const std::string bmp(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (!ReadBmp(bmp, probe, why)) {
            ShowError(FRules.Services().Prompter, "Il formato dell'immagine non è supportato!\r\rProva con una bitmap RGB");
            return;
        }
        Preview->SetButtonGlyph(b, bmp);
        Preview->OnChange();
    };
    connect(lvSkins, &QListWidget::currentRowChanged, this, [this] { ShowSelected(); });
    connect(lvSkins, &QListWidget::itemDoubleClicked, this, [this] { ModifySkin(); });
    connect(acNuovaBitmap, &QAction::triggered, this, [this] { NewSkin(false); });
    connect(acNuovaClassica, &QAction::triggered, this, [this] { NewSkin(true); });
    connect(acModifica, &QAction::triggered, this, [this] { ModifySkin(); });
    connect(acElimina, &QAction::triggered, this, [this] {
        if (TSkinItemEx* s = Selected(); s && FRules.Delete(*s)) {
            FShown = nullptr;
            Refresh();
        }
    });
    connect(acImporta, &QAction::triggered, this, [this] {
        const QString file = OpenFileName(this, QStringLiteral("Seleziona il file con le skin"), TFileKind::Documents,
                                          QStringLiteral("Skin di Quorvanta (*.dat)"));
        if (!file.isEmpty()) {
            FRules.Import(file.toStdString());
            Refresh();
        }
    });
    connect(acEsporta, &QAction::triggered, this, [this] {
        TSkinItemEx* s = Selected();
        if (!s)
            return;
        const QString file = SaveFileName(this, QStringLiteral("Esporta la skin"), TFileKind::Documents,
                                          ToQt(s->Nome()).remove(QRegularExpression(QStringLiteral("[<>/\\\\:]"))) +
                                              QStringLiteral(".dat"),
                                          QStringLiteral("Skin di Quorvanta (*.dat)"));
        if (!file.isEmpty())
            FRules.Export(*s, file.toStdString());
    });
    connect(acRipristina, &QAction::triggered, this, [this] {
        if (FRules.FactoryReset())
            close();
    });
    connect(acTrasparente, &QAction::triggered, this, [this] {
        if (TSkinItemEx* s = Selected()) {
            FRules.ToggleTransparent(*s);
            Refresh();
        }
    });
    connect(acSalva, &QAction::triggered, this, [this] {
        if (TSkinItemEx* s = Selected(); s && FRules.SaveSkin(*s, Preview->Controls()))
            acSalva->setEnabled(false);
    });
    Refresh();
}

TSkinItemEx* TfmDesignSkin::Selected() const
{
    const int row = lvSkins->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= FSkins.SkinsEx().Count())
        return nullptr;
    return &FSkins.SkinsEx()[static_cast<std::size_t>(row)];
}

void TfmDesignSkin::Refresh()
{
    int row = lvSkins->currentRow();
    const QSignalBlocker block(lvSkins);
    lvSkins->clear();
    for (std::size_t i = 0; i < FSkins.SkinsEx().Count(); ++i) {
        TSkinItemEx& s = FSkins.SkinsEx()[i];
        auto* item = new QListWidgetItem(SkinIcon(TDesignSkinRules::Icon(s)),
                                         ToQt(s.Nome() + (s.Descrizione().empty() ? "" : " - " + s.Descrizione())), lvSkins);
        if (&s == FSkins.Current() && row < 0)
            row = static_cast<int>(i);
        item->setToolTip(ToQt(s.Descrizione()));
    }
    lvSkins->setCurrentRow(std::clamp(row, 0, lvSkins->count() - 1));
    ShowSelected();
    // The list as wide as its longest name, within reason; the preview takes the rest.
    auto* split = static_cast<QSplitter*>(centralWidget());
    const int listWidth = std::clamp(lvSkins->sizeHintForColumn(0) + 2 * lvSkins->frameWidth() + 8, 200, 420);
    split->setSizes({listWidth, std::max(300, width() - listWidth)});
}

void TfmDesignSkin::ApplyZoom()
{
    const double zoom = cbZoom->currentData().toInt() / 100.0;
    PreviewView->setTransform(QTransform::fromScale(zoom, zoom));
    PreviewView->scene()->setSceneRect(QRectF(QPointF(0, 0), QSizeF(Preview->size())));
}

void TfmDesignSkin::ShowSelected()
{
    TSkinItemEx* s = Selected();
    if (FShown && FShown != s && FShown != FSkins.Current() && FShown->SkinFileEx().Prepared() &&
        std::any_of(FSkins.SkinsEx().begin(), FSkins.SkinsEx().end(), [this](const auto& i) { return i.get() == FShown; }))
        FShown->SkinFileEx().ReleaseData();
    FShown = s;
    Preview->Show(s);
    ApplyZoom();
    const bool bitmap = s && s->SkinFileEx().Kind() == skBitmap;
    acTrasparente->setEnabled(bitmap);
    acTrasparente->setChecked(bitmap && s->SkinFileEx().Transparent());
    acTrasparente->setToolTip(ToQt(TDesignSkinRules::TransparentHint(bitmap && s->SkinFileEx().Transparent())));
    acModifica->setEnabled(s != nullptr);
    acElimina->setEnabled(s != nullptr);
    acEsporta->setEnabled(s != nullptr);
    acSalva->setEnabled(false);
}

void TfmDesignSkin::NewSkin(bool classic, const std::function<void(TfmDatiSkin&)>& onOpen)
{
    TfmDatiSkin dialog(classic, this);
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::string name = dialog.edNome->text().toStdString();
    const std::string description = dialog.edDescrizione->text().toStdString();
    TSkinItemEx* added = classic ? FRules.NewClassicSkin(name, description, dialog.SkinWidth, dialog.SkinHeight,
                                                         SkinColorRef(dialog.Color))
                                 : FRules.NewBitmapSkin(name, description, dialog.Picture);
    if (!added)
        return;
    Refresh();
    lvSkins->setCurrentRow(lvSkins->count() - 1);
}

void TfmDesignSkin::ModifySkin(const std::function<void(TfmDatiSkin&)>& onOpen)
{
    TSkinItemEx* s = Selected();
    if (!s)
        return;
    TSkinFileEx& f = s->SkinFileEx();
    const bool classic = f.Kind() == skForm;
    TfmDatiSkin dialog(classic, this);
    dialog.setWindowTitle(ToQt(TDesignSkinRules::ModifyCaption(s->Nome())));
    dialog.edNome->setText(ToQt(s->Nome()));
    dialog.edDescrizione->setText(ToQt(s->Descrizione()));
    dialog.SkinWidth = f.WidthForm();
    dialog.SkinHeight = f.HeightForm();
    dialog.Color = SkinColor(f.ColorForm());
    dialog.ShowColor();
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (FRules.Modify(*s, dialog.edNome->text().toStdString(), dialog.edDescrizione->text().toStdString(),
                      dialog.Picture, dialog.SkinWidth, dialog.SkinHeight, SkinColorRef(dialog.Color)))
        Refresh();
}

void TfmDesignSkin::closeEvent(QCloseEvent* event)
{
    if (!FRules.CanClose(Selected(), Preview->Controls())) {
        event->ignore();
        return;
    }
    if (FShown && FShown != FSkins.Current())
        FShown->SkinFileEx().ReleaseData();
    FShown = nullptr;
    QMainWindow::closeEvent(event);
}

} // namespace qv
