#include "sms/GatewayEditor.h"

#include "core/Functions.h"
#include "core/Strings.h"

namespace qv {

namespace {

// A form's text as the mandatory-field check sees it; the focus goes back to the caller by label.
struct TFormField : IMandatoryField
{
    TFormField(std::string label, std::string text, std::string* focus)
        : FLabel(std::move(label)), FText(std::move(text)), FFocus(focus)
    {
    }
    std::string Text() const override { return FText; }
    void SetFocus() override
    {
        if (FFocus)
            *FFocus = FLabel;
    }
    std::string FLabel, FText;
    std::string* FFocus;
};

std::optional<int> WholeNumber(const std::string& text)
{
    const std::string t = Trim(text);
    if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos || t.size() > 9)
        return std::nullopt;
    return std::stoi(t);
}

} // namespace

bool TGatewayEditor::Refuse(const std::string& reason)
{
    ShowError(FServices.Prompter, "I dati non sono corretti!\r\r" + reason);
    return false;
}

TGatewayEditor::TForm TGatewayEditor::FormOf(std::size_t index)
{
    TGateWayItem& g = FGateWays.GateWays()[index];
    FGateWays.LoadCredentials(g);
    TForm f;
    f.Nome = g.Nome();
    f.HostAddress = g.HostAddress();
    f.Port = std::to_string(g.Port());
    f.MaxLength = std::to_string(g.MaxLength());
    f.Descrizione = g.Descrizione();
    f.CommandSend = g.CommandSend();
    f.SuccessSend = g.SuccessSend();
    f.ReferenceURL = g.ReferenceURL();
    f.RegistrationURL = g.RegistrationURL();
    f.Account = g.Kind() != gkSimple;
    f.UserName = g.UserName;
    f.Password = g.Password;
    f.CommandRegistration = g.CommandRegistration();
    f.SuccessRegistration = g.SuccessRegistration();
    return f;
}

bool TGatewayEditor::Save(int index, const TForm& form, std::string* focus)
{
    if (focus)
        focus->clear();
    std::vector<std::unique_ptr<TFormField>> fields;
    std::vector<std::pair<std::string, IMandatoryField*>> labels;
    const auto need = [&](const char* label, const std::string& text) {
        fields.push_back(std::make_unique<TFormField>(label, text, focus));
        labels.emplace_back(label, fields.back().get());
    };
    need(LabelNome, form.Nome);
    need(LabelHost, form.HostAddress);
    need(LabelMaxLength, form.MaxLength);
    need(LabelPort, form.Port);
    need(LabelCommandSend, form.CommandSend);
    if (form.Account) {
        need(LabelUserName, form.UserName);
        need(LabelPassword, form.Password);
        if (!Trim(form.CommandRegistration).empty()) {
            need(LabelSuccessRegistration, form.SuccessRegistration);
            need(LabelCommandRegistration, form.CommandRegistration);
        }
    }
    std::string missing;
    if (!CheckMandatoryFields(labels, missing))
        return Refuse(missing);
    const std::optional<int> length = WholeNumber(form.MaxLength);
    if (!length || *length < 1 || *length > 160) {
        if (focus)
            *focus = LabelMaxLength;
        return Refuse("La lunghezza massima del messaggio deve essere un numero da 1 a 160");
    }
    const std::optional<int> port = WholeNumber(form.Port);
    if (!port || *port < 1 || *port > 65535) {
        if (focus)
            *focus = LabelPort;
        return Refuse("La porta deve essere un numero da 1 a 65535");
    }
    const THttpSite site = ParseSite(Trim(form.HostAddress), *port);
    if (Trim(site.Host).empty() || (site.Scheme != "http" && site.Scheme != "https")) {
        if (focus)
            *focus = LabelHost;
        return Refuse("L'host deve essere il nome del sito, preceduto se occorre da http:// o https://");
    }
    TGateWayItem& g = index < 0 ? FGateWays.Add(Trim(form.Nome))
                                : FGateWays.GateWays()[static_cast<std::size_t>(index)];
    g.SetNome(Trim(form.Nome));
    g.SetHostAddress(Trim(form.HostAddress));
    g.SetPort(*port);
    g.SetMaxLength(*length);
    g.SetDescrizione(form.Descrizione);
    g.SetCommandSend(Trim(form.CommandSend));
    g.SetSuccessSend(form.SuccessSend);
    g.SetReferenceURL(Trim(form.ReferenceURL));
    g.SetRegistrationURL(Trim(form.RegistrationURL));
    if (form.Account) {
        // A two-request gateway is saved as one with a login, as the editor shows it.
        g.SetKind(gkLogin);
        g.SetCommandRegistration(Trim(form.CommandRegistration));
        g.SetSuccessRegistration(form.SuccessRegistration);
        FGateWays.SetCredentials(g, Trim(form.UserName), form.Password);
        // A changed login is done again at the next send.
        g.SetLogged(false);
        g.LoginRunning = false;
    } else {
        g.SetKind(gkSimple);
    }
    return true;
}

std::vector<std::string> TGatewayEditor::Placeholders(bool account)
{
    std::vector<std::string> out = {"<PrefixInt>", "<PrefixLoc>", "<Number>", "<Msg>"};
    if (account) {
        out.emplace_back("<UserName>");
        out.emplace_back("<Password>");
    }
    return out;
}

std::string TGatewayEditor::RegistrationLink(std::size_t index)
{
    const TGateWayItem& g = FGateWays.GateWays()[index];
    return Trim(g.RegistrationURL()).empty() ? std::string() : "Richiedi un account a " + g.Nome();
}

bool TGatewayEditor::Delete(std::size_t index)
{
    if (index >= FGateWays.GateWays().Count())
        return false;
    // Messages point at their gateway by position: none may be on the way while the list shifts.
    if (FGateWays.Messages().HasOutgoing()) {
        ShowError(FServices.Prompter, "Per eliminare il gateway SMS non devono esserci SMS in uscita!");
        return false;
    }
    if (AskYesNo(FServices.Prompter, "Elimina il gateway SMS «" + FGateWays.GateWays()[index].Nome() + "»?") !=
        TModalResult::mrYes)
        return false;
    FGateWays.DeleteGateWay(index);
    return true;
}

bool TGatewayEditor::FactoryReset()
{
    if (FGateWays.Messages().HasOutgoing()) {
        ShowError(FServices.Prompter, "Per ripristinare le impostazioni predefinite non devono esserci SMS in uscita!");
        return false;
    }
    if (AskYesNo(FServices.Prompter, "Ripristina le impostazioni predefinite dei gateway SMS?") !=
        TModalResult::mrYes)
        return false;
    if (CloseSmsWindow)
        CloseSmsWindow();
    FGateWays.ClearGateWays();
    return true;
}

bool TGatewayEditor::ExportIni(const std::string& file)
{
    try {
        FGateWays.ExportIni(file);
    } catch (const std::exception& e) {
        ShowError(FServices.Prompter, std::string("Esportazione fallita: ") + e.what());
        return false;
    }
    return true;
}

int TGatewayEditor::ImportIni(const std::string& file)
{
    int count = 0;
    try {
        count = FGateWays.ImportIni(file);
    } catch (const std::exception& e) {
        ShowError(FServices.Prompter, std::string("Importazione fallita: ") + e.what());
        return 0;
    }
    if (count > 0)
        ShowInfo(FServices.Prompter, "Importati ben " + std::to_string(count) + " gateway SMS!");
    TellRefused();
    return count;
}

void TGatewayEditor::TellRefused()
{
    if (FGateWays.Refused.empty())
        return;
    std::string text = "Gateway non importati:";
    for (const std::string& r : FGateWays.Refused)
        text += "\r" + r;
    ShowWarning(FServices.Prompter, text);
}

int TGatewayEditor::DropImport(const std::string& file)
{
    if (FGateWays.Messages().HasOutgoing()) {
        ShowError(FServices.Prompter, "Per importare il file di gateway SMS non devono esserci SMS in uscita!");
        return 0;
    }
    if (AskYesNo(FServices.Prompter, "Importare il file di gateway SMS " + file + "?") != TModalResult::mrYes)
        return 0;
    const std::string name = LowerCase(file.substr(file.find_last_of('/') + 1));
    const bool known = name == "webgate.ini" || name == "settings.cfg";
    // Only a file that will be read may empty the list.
    const bool clear = known && AskYesNo(FServices.Prompter, "Eliminare i gateway presenti?") == TModalResult::mrYes;
    if (CloseSmsWindow)
        CloseSmsWindow();
    int count = 0;
    try {
        count = FGateWays.ImportForeign(file, clear);
    } catch (const std::exception& e) {
        ShowError(FServices.Prompter, std::string("Importazione fallita: ") + e.what());
        return 0;
    }
    ShowInfo(FServices.Prompter, "Importati ben " + std::to_string(count) + " gateway SMS!");
    TellRefused();
    return count;
}

std::string TGatewayEditor::AccountText(const TGateWayItem& gateway)
{
    return "Se disponi già di un account valido inserisci Nome utente e password altrimenti procurateli sul sito di " +
           gateway.Nome();
}

bool TGatewayEditor::SaveAccount(TGateWayItem& gateway, const std::string& user, const std::string& password)
{
    if (Trim(user).empty() || Trim(password).empty()) {
        ShowError(FServices.Prompter, "Occorre specificare sia il Nome utente che la Password!");
        return false;
    }
    FGateWays.SetCredentials(gateway, Trim(user), password);
    return true;
}

} // namespace qv
