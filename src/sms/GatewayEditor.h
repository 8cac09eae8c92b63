#pragma once
// The gateway editor's rules (new and modify), the account dialog's, and those of the settings page
// that lists the gateways: delete, factory reset, the INI exchange and the foreign files dropped on
// the list. The list is never reordered under queued or outgoing messages, which point at it by position.

#include "core/Services.h"
#include "sms/Gateways.h"

#include <functional>
#include <string>
#include <vector>

namespace qv {

class TGatewayEditor
{
public:
    TGatewayEditor(TServices& services, TGateWayData& gateways) : FServices(services), FGateWays(gateways) {}

    struct TForm
    {
        std::string Nome;
        std::string HostAddress;
        std::string Port = "80";
        std::string MaxLength = "150";
        std::string Descrizione;
        std::string CommandSend = ExampleTemplate;
        std::string SuccessSend;
        std::string ReferenceURL;
        std::string RegistrationURL;
        bool Account = false; // "<richiede autenticazione>"
        std::string UserName;
        std::string Password;
        std::string CommandRegistration;
        std::string SuccessRegistration;
    };
    // The labels of the fields, as the mandatory-field list names them.
    static constexpr const char* LabelNome = "Nome";
    static constexpr const char* LabelHost = "Host";
    static constexpr const char* LabelMaxLength = "Lunghezza massima";
    static constexpr const char* LabelPort = "Porta";
    static constexpr const char* LabelCommandSend = "Comando di invio";
    static constexpr const char* LabelUserName = "Nome utente";
    static constexpr const char* LabelPassword = "Password";
    static constexpr const char* LabelCommandRegistration = "Comando di autenticazione";
    static constexpr const char* LabelSuccessRegistration = "Risposta di autenticazione riuscita";
    static constexpr const char* KindSimple = "<non richiede autenticazione>";
    static constexpr const char* KindLogin = "<richiede autenticazione>";
    static constexpr const char* TemplateHint =
        "Formato: \rURL senza host\r? separatore URL e valori delle variabili del POST\rVariabili del POST separate da &";

    TForm NewForm() const { return TForm{}; }
    // A gateway as the modify dialog shows it (a two-request gateway shows as one with an account).
    TForm FormOf(std::size_t index);
    // Stores the form (index -1: a new gateway) after its checks; false after the refusal, with
    // focus: the label of the first field to correct ("" when none).
    bool Save(int index, const TForm& form, std::string* focus = nullptr);
    // The placeholders offered by the template editors.
    static std::vector<std::string> Placeholders(bool account);
    // The modify dialog's link ("" when the gateway has no registration address).
    std::string RegistrationLink(std::size_t index);

    // ---- the settings page ----
    // Each false when nothing was done (refused or answered no).
    bool Delete(std::size_t index);
    bool FactoryReset();
    bool ExportIni(const std::string& file);
    int ImportIni(const std::string& file);
    // A file dropped on the list: "webgate.ini" or "settings.cfg" of two other programs.
    int DropImport(const std::string& file);
    // Closes the SMS window (and with it the compose dialog) before the list changes under it.
    std::function<void()> CloseSmsWindow;

    // ---- the account dialog ----
    static std::string AccountText(const TGateWayItem& gateway);
    bool SaveAccount(TGateWayItem& gateway, const std::string& user, const std::string& password);

private:
    void TellRefused();
    bool Refuse(const std::string& reason);
    TServices& FServices;
    TGateWayData& FGateWays;
};

} // namespace qv
