#include "app/About.h"

#include "core/DateTime.h"
#include "core/Strings.h"

#include <map>

namespace qv {

std::string VersionText(const TAppEnvironment& env)
{
    return "Versione " + env.AppVersion + " (build " + std::to_string(env.AppBuild) + ")";
}

std::string InstalledText(const TSettings& settings)
{
    if (settings.Installation() <= 0)
        return {};
    return "Installato il " + FormatDateTime("d mmmm yyyy", settings.Installation());
}

std::string AnnouncementText(const TSettings& settings)
{
    const std::string last = Trim(settings.LastAnnounce());
    return last.empty() ? BuiltInAnnouncement : last;
}

const std::vector<std::string>& CreditLines()
{
    static const std::vector<std::string> lines = {
        "Quorvanta",
        "conta i secondi così tu non devi farlo.",
        "",
        "Nessun modem è stato maltrattato",
        "durante lo sviluppo di questo programma.",
        "",
        "La fascia ridotta comincia sempre",
        "cinque minuti dopo che hai riattaccato.",
        "",
        "Lo scatto alla risposta",
        "non è un passo di danza.",
        "",
        "Se il modem fischia non è contento:",
        "sta solo negoziando.",
        "",
        "Ogni bolletta ha il suo santo protettore:",
        "controlla il calendario.",
        "",
        "Il tempo è denaro,",
        "soprattutto a tariffa intera.",
        "",
        "Nessuna lira è stata sprecata",
        "per scrivere questi titoli di coda.",
    };
    return lines;
}

const std::vector<THelpTopic>& HelpTopics()
{
    static const std::vector<THelpTopic> topics = {
        {"introduzione", "Per cominciare"},
        {"connessioni", "Connessioni e conteggio"},
        {"tariffe", "Tariffe e fasce orarie"},
        {"statistiche", "Statistiche e stampe"},
        {"budget", "Budget e linea inattiva"},
        {"piani-dati", "Piani dati"},
        {"sms", "Messaggi SMS"},
        {"sms-nessun-gateway", "SMS: nessun gateway configurato"},
        {"popup", "Messaggi popup in rete locale"},
        {"ora", "Ora esatta"},
        {"skin", "Skin"},
        {"riga-di-comando", "La riga di comando"},
        {"dati", "Dove sono i dati"},
    };
    return topics;
}

std::string HelpTopicFor(const std::string& windowName)
{
    static const std::map<std::string, std::string> topics = {
        {"TfmMain", "connessioni"},         {"TfmWaitRas", "connessioni"},       {"TfmDisconnessione", "connessioni"},
        {"TfmInternational", "connessioni"}, {"TfmTariffe", "tariffe"},           {"TfmTariffa", "tariffe"},
        {"TfmFasce", "tariffe"},            {"TfmStatistiche", "statistiche"},   {"TfmDialogDettagli", "statistiche"},
        {"TfmDialogCheapReport", "statistiche"}, {"TfmPopup", "popup"},          {"TfmPopupMsg", "popup"},
        {"TfmPopupSchedule", "popup"},      {"TfmImpostazioni", "introduzione"}, {"TfmSms", "sms"},
        {"TfmSmsCompose", "sms-nessun-gateway"}, {"TfmDesignSkin", "skin"},     {"TfmAbout", "introduzione"},
        {"TfmSanto", "introduzione"},
    };
    const auto it = topics.find(windowName);
    return it == topics.end() ? HelpTopics().front().Id : it->second;
}

} // namespace qv
