#pragma once
// "Skin Editor": the list of skins, new bitmap and classic skins, modify, delete, import, factory
// reset, transparency, and a preview of the main window's labels and buttons that can be dragged,
// given another font and colour or another image, then saved into the skin. The rules are
// TDesignSkinRules'.

#include "skins/DesignSkin.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>

namespace qv {

// The preview: the skin's background with a copy of each label and image button.
class TSkinPreview : public QWidget
{
    Q_OBJECT
public:
    explicit TSkinPreview(QWidget* parent = nullptr);
    void Show(TSkinItemEx* item);
    std::vector<TFormControl> Controls() const;
    QWidget* Control(const QString& name) const;
    // A button's new image (a BMP file image).
    void SetButtonGlyph(QWidget* button, const std::string& bmp);
    // Moves a control as a drag would.
    void MoveControl(QWidget* control, const QPoint& to);
    std::function<void()> OnChange;
    std::function<void(QWidget*)> OnEditFont;
    std::function<void(QWidget*)> OnEditGlyph;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPixmap FPicture;
    QColor FColor;
    std::map<QWidget*, TFormControl> FData;
    QWidget* FDragged = nullptr;
    QPoint FGrab;
};

// "Dati della skin": name, description, and the picture of a bitmap skin or the size and colour of
// a classic one.
class TfmDatiSkin : public QDialog
{
    Q_OBJECT
public:
    TfmDatiSkin(bool classic, QWidget* parent = nullptr);
    QLineEdit* edNome;
    QLineEdit* edDescrizione;
    QPushButton* btImmagine;
    QLabel* lbImmagine;
    QWidget* Sample;
    QLabel* lbDimensioni;
    QPushButton* btColore;
    QPushButton* btColoreTitolo;
    // The picture chosen (a BMP file image), the classic size and colour.
    std::string Picture;
    int SkinWidth = 199;
    int SkinHeight = 14;
    QColor Color = QColor(0, 0, 0x80);
    // A size dragged in the sample area (kept only when accepted).
    void DragSize(int width, int height);
    void ShowColor();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TfmDesignSkin : public QMainWindow
{
    Q_OBJECT
public:
    TfmDesignSkin(TServices& services, TDataSkins& skins, QWidget* parent = nullptr);
    TDesignSkinRules& Rules() { return FRules; }
    void Refresh();
    TSkinItemEx* Selected() const;
    // The dialogs; onOpen runs once they are shown (tests answer through it).
    void NewSkin(bool classic, const std::function<void(TfmDatiSkin&)>& onOpen = {});
    void ModifySkin(const std::function<void(TfmDatiSkin&)>& onOpen = {});

    QListWidget* lvSkins;
    TSkinPreview* Preview;
    QGraphicsView* PreviewView;
    QComboBox* cbZoom;
    QAction* acNuovaBitmap;
    QAction* acNuovaClassica;
    QAction* acModifica;
    QAction* acElimina;
    QAction* acImporta;
    QAction* acEsporta;
    QAction* acRipristina;
    QAction* acTrasparente;
    QAction* acSalva;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowSelected();
    void ApplyZoom();
    TDataSkins& FSkins;
    TDesignSkinRules FRules;
    TSkinItemEx* FShown = nullptr;
};

} // namespace qv
