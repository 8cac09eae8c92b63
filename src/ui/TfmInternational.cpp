#include "ui/TfmInternational.h"

#include <QApplication>
#include <QLayout>

#include <algorithm>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

namespace qv {

TfmInternational::TfmInternational(TInternationalWarning& warning, QWidget* parent)
    : QDialog(parent), FWarning(warning)
{
    setObjectName(QStringLiteral("TfmInternational"));
    setWindowTitle(QString::fromUtf8(TInternationalWarning::Caption));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    lbTesto = new QLabel(QString::fromStdString(warning.OpeningText()), this);
    lbTesto->setObjectName(QStringLiteral("lbTesto"));
    lbTesto->setWordWrap(true);
    lbTesto->setMinimumWidth(320);
    auto* prefixLabel = new QLabel(QString::fromUtf8(TInternationalWarning::PrefixLabel), this);
    edPrefisso = new QLineEdit(QString::fromStdString(warning.Prefix()), this);
    edPrefisso->setObjectName(QStringLiteral("edPrefisso"));
    edPrefisso->setMaximumWidth(80);
    prefixLabel->setBuddy(edPrefisso);
    btOk = new QPushButton(QStringLiteral("&OK"), this);
    btOk->setDefault(true);

    auto* text = new QHBoxLayout;
    text->addWidget(icon, 0, Qt::AlignTop);
    text->addWidget(lbTesto, 1);
    auto* prefix = new QHBoxLayout;
    prefix->addWidget(prefixLabel);
    prefix->addWidget(edPrefisso);
    prefix->addStretch(1);
    prefix->addWidget(btOk);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(text);
    layout->addLayout(prefix);
    connect(btOk, &QPushButton::clicked, this, [this] {
        if (FWarning.Accept(edPrefisso->text().toStdString()))
            accept();
    });
}

void TfmInternational::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QApplication::beep();
    // The first time the window comes up, the scan's own text replaces the opening one.
    if (!FActivated) {
        FActivated = true;
        lbTesto->setText(QString::fromStdString(FWarning.ActivatedText()));
        layout()->activate();
        resize(width(), std::max(height(), sizeHint().height()));
    }
}

} // namespace qv
