#include "ui/TfmGateway.h"

#include "core/Strings.h"
#include "ui/QtPrompter.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QVBoxLayout>

namespace qv {

namespace {

// A "Segnaposto" button whose menu inserts a placeholder at the editor's cursor.
QPushButton* PlaceholderButton(QWidget* parent, QPlainTextEdit* editor, const std::function<bool()>& account)
{
    auto* button = new QPushButton(QStringLiteral("Segna&posto"), parent);
    auto* menu = new QMenu(button);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, editor, account] {
        menu->clear();
        for (const std::string& p : TGatewayEditor::Placeholders(account()))
            menu->addAction(ToQt(p), editor, [editor, p] { editor->insertPlainText(ToQt(p)); });
    });
    button->setMenu(menu);
    return button;
}

QString Link(const std::string& url, const std::string& text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(ToQt(url).toHtmlEscaped(), ToQt(text).toHtmlEscaped());
}

} // namespace

TfmGateway::TfmGateway(TGatewayEditor& editor, int index, QWidget* parent)
    : QDialog(parent), FEditor(editor), FIndex(index)
{
    setObjectName(QStringLiteral("TfmGateway"));
    const TGatewayEditor::TForm f = index < 0 ? editor.NewForm() : editor.FormOf(static_cast<std::size_t>(index));
    setWindowTitle(index < 0 ? QStringLiteral("Nuovo gateway SMS")
                             : QStringLiteral("Modifica il gateway SMS %1").arg(ToQt(f.Nome)));
    Pages = new QTabWidget(this);
    auto* general = new QWidget(Pages);
    edNome = new QLineEdit(ToQt(f.Nome), general);
    edHost = new QLineEdit(ToQt(f.HostAddress), general);
    edHost->setPlaceholderText(QStringLiteral("il nome del sito, per esempio sms.example.org o https://sms.example.org"));
    sePorta = new QSpinBox(general);
    sePorta->setRange(1, 65535);
    sePorta->setValue(ReadInteger(f.Port).value_or(80));
    seLunghezza = new QSpinBox(general);
    seLunghezza->setRange(1, 160);
    seLunghezza->setValue(ReadInteger(f.MaxLength).value_or(150));
    edDescrizione = new QLineEdit(ToQt(f.Descrizione), general);
    cbTipo = new QComboBox(general);
    cbTipo->addItem(QString::fromUtf8(TGatewayEditor::KindSimple));
    cbTipo->addItem(QString::fromUtf8(TGatewayEditor::KindLogin));
    cbTipo->setCurrentIndex(f.Account ? 1 : 0);
    edComandoInvio = new QPlainTextEdit(ToQt(f.CommandSend), general);
    edComandoInvio->setToolTip(ToQt(TGatewayEditor::TemplateHint));
    const auto account = [this] { return cbTipo->currentIndex() == 1; };
    btSegnapostoInvio = PlaceholderButton(general, edComandoInvio, account);
    edSuccessoInvio = new QLineEdit(ToQt(f.SuccessSend), general);
    edSuccessoInvio->setToolTip(QStringLiteral("Testo presente nella risposta quando il messaggio è partito"));
    edReferer = new QLineEdit(ToQt(f.ReferenceURL), general);
    edRegistrazione = new QLineEdit(ToQt(f.RegistrationURL), general);
    lbRichiedi = new QLabel(general);
    lbRichiedi->setOpenExternalLinks(true);
    if (index >= 0 && !editor.RegistrationLink(static_cast<std::size_t>(index)).empty())
        lbRichiedi->setText(Link(f.RegistrationURL, editor.RegistrationLink(static_cast<std::size_t>(index))));
    lbRichiedi->setVisible(!lbRichiedi->text().isEmpty());
    auto* command = new QHBoxLayout;
    command->addWidget(edComandoInvio, 1);
    command->addWidget(btSegnapostoInvio, 0, Qt::AlignTop);
    auto* gf = new QFormLayout(general);
    gf->addRow(QString::fromUtf8(TGatewayEditor::LabelNome), edNome);
    gf->addRow(QString::fromUtf8(TGatewayEditor::LabelHost), edHost);
    gf->addRow(QString::fromUtf8(TGatewayEditor::LabelPort), sePorta);
    gf->addRow(QString::fromUtf8(TGatewayEditor::LabelMaxLength), seLunghezza);
    gf->addRow(QStringLiteral("Descrizione"), edDescrizione);
    gf->addRow(QStringLiteral("Autenticazione"), cbTipo);
    gf->addRow(QString::fromUtf8(TGatewayEditor::LabelCommandSend), command);
    gf->addRow(QStringLiteral("Risposta di invio riuscito"), edSuccessoInvio);
    gf->addRow(QStringLiteral("Referer"), edReferer);
    gf->addRow(QStringLiteral("Indirizzo per richiedere un account"), edRegistrazione);
    gf->addRow(lbRichiedi);
    Pages->addTab(general, QStringLiteral("Gateway"));

    pgAccount = new QWidget(Pages);
    edUtente = new QLineEdit(ToQt(f.UserName), pgAccount);
    edPassword = new QLineEdit(ToQt(f.Password), pgAccount);
    edPassword->setEchoMode(QLineEdit::Password);
    edComandoLogin = new QPlainTextEdit(ToQt(f.CommandRegistration), pgAccount);
    edComandoLogin->setToolTip(ToQt(TGatewayEditor::TemplateHint));
    btSegnapostoLogin = PlaceholderButton(pgAccount, edComandoLogin, account);
    edSuccessoLogin = new QLineEdit(ToQt(f.SuccessRegistration), pgAccount);
    auto* login = new QHBoxLayout;
    login->addWidget(edComandoLogin, 1);
    login->addWidget(btSegnapostoLogin, 0, Qt::AlignTop);
    auto* af = new QFormLayout(pgAccount);
    af->addRow(QString::fromUtf8(TGatewayEditor::LabelUserName), edUtente);
    af->addRow(QString::fromUtf8(TGatewayEditor::LabelPassword), edPassword);
    af->addRow(QString::fromUtf8(TGatewayEditor::LabelCommandRegistration), login);
    af->addRow(QString::fromUtf8(TGatewayEditor::LabelSuccessRegistration), edSuccessoLogin);
    Pages->addTab(pgAccount, QStringLiteral("Account"));

    auto* buttons = new QDialogButtonBox(this);
    btOk = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole);
    auto* v = new QVBoxLayout(this);
    v->addWidget(Pages, 1);
    v->addWidget(buttons);
    resize(620, 520);
    connect(cbTipo, &QComboBox::currentIndexChanged, this, [this] { KindChanged(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        std::string focus;
        if (FEditor.Save(FIndex, Form(), &focus)) {
            accept();
            return;
        }
        if (QWidget* w = FieldOf(focus)) {
            Pages->setCurrentWidget(w->parentWidget() == pgAccount ? pgAccount : Pages->widget(0));
            w->setFocus();
        }
    });
    KindChanged();
}

void TfmGateway::KindChanged()
{
    Pages->setTabEnabled(Pages->indexOf(pgAccount), cbTipo->currentIndex() == 1);
}

TGatewayEditor::TForm TfmGateway::Form() const
{
    TGatewayEditor::TForm f;
    f.Nome = edNome->text().toStdString();
    f.HostAddress = edHost->text().toStdString();
    f.Port = std::to_string(sePorta->value());
    f.MaxLength = std::to_string(seLunghezza->value());
    f.Descrizione = edDescrizione->text().toStdString();
    f.CommandSend = edComandoInvio->toPlainText().toStdString();
    f.SuccessSend = edSuccessoInvio->text().toStdString();
    f.ReferenceURL = edReferer->text().toStdString();
    f.RegistrationURL = edRegistrazione->text().toStdString();
    f.Account = cbTipo->currentIndex() == 1;
    f.UserName = edUtente->text().toStdString();
    f.Password = edPassword->text().toStdString();
    f.CommandRegistration = edComandoLogin->toPlainText().toStdString();
    f.SuccessRegistration = edSuccessoLogin->text().toStdString();
    return f;
}

QWidget* TfmGateway::FieldOf(const std::string& label) const
{
    const std::vector<std::pair<const char*, QWidget*>> fields = {
        {TGatewayEditor::LabelNome, edNome},
        {TGatewayEditor::LabelHost, edHost},
        {TGatewayEditor::LabelPort, sePorta},
        {TGatewayEditor::LabelMaxLength, seLunghezza},
        {TGatewayEditor::LabelCommandSend, edComandoInvio},
        {TGatewayEditor::LabelUserName, edUtente},
        {TGatewayEditor::LabelPassword, edPassword},
        {TGatewayEditor::LabelCommandRegistration, edComandoLogin},
        {TGatewayEditor::LabelSuccessRegistration, edSuccessoLogin},
    };
    for (const auto& [name, widget] : fields)
        if (label == name)
            return widget;
    return nullptr;
}

TfmAccount::TfmAccount(TGatewayEditor& editor, TGateWayItem& gateway, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TfmAccount"));
    setWindowTitle(QStringLiteral("Account di %1").arg(ToQt(gateway.Nome())));
    const std::string text = TGatewayEditor::AccountText(gateway);
    lbTesto = new QLabel(this);
    lbTesto->setWordWrap(true);
    lbTesto->setOpenExternalLinks(true);
    if (Trim(gateway.RegistrationURL()).empty())
        lbTesto->setText(ToQt(text));
    else
        lbTesto->setText(ToQt(text.substr(0, text.size() - gateway.Nome().size())).toHtmlEscaped() +
                         Link(gateway.RegistrationURL(), gateway.Nome()));
    edUtente = new QLineEdit(ToQt(gateway.UserName), this);
    edPassword = new QLineEdit(ToQt(gateway.Password), this);
    edPassword->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Nome utente"), edUtente);
    form->addRow(QStringLiteral("Password"), edPassword);
    auto* buttons = new QDialogButtonBox(this);
    btOk = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole);
    auto* v = new QVBoxLayout(this);
    v->addWidget(lbTesto);
    v->addLayout(form);
    v->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this, &editor, &gateway] {
        if (editor.SaveAccount(gateway, edUtente->text().toStdString(), edPassword->text().toStdString()))
            accept();
    });
}

} // namespace qv
